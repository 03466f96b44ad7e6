// The C interface: every entry point takes the lock, calls the add-in's exported worksheet
// function and reads the value record that function filled. The array entry point and the
// function-table entry points are driven by the registration table, whose R rows carry the
// exported functions.
#include "capi/kaltra.h"

#include <cstring>
#include <limits>
#include <mutex>

#include "shell/shell.h"

namespace {

using kaltra::RegistrationEntry;
using kaltra::RegistrationTable;
using kaltra::WorksheetEntryPoint;

// The value record and the engine's caches are process-wide: one worksheet call at a time.
std::mutex WorksheetLock;

using Guard = std::lock_guard<std::mutex>;

// ---- Reading the value record ----------------------------------------------------------------

// A number answer as it stands, an integer answer as a double, anything else NaN.
double numberOf(const xl::XLOPER* result) {
    if (result->xltype == xl::xltypeNum) return result->val.num;
    if (result->xltype == xl::xltypeInt) return static_cast<double>(result->val.w);
    return std::numeric_limits<double>::quiet_NaN();
}

// Copies a text answer (a counted string) into the caller's buffer, cut to fit, and answers
// 0; an error value leaves the buffer empty and answers its code.
int textOf(const xl::XLOPER* result, char* text, size_t size) {
    const bool room = text != nullptr && size > 0;
    if (result->xltype != xl::xltypeStr) {
        if (room) text[0] = '\0';
        return result->xltype == xl::xltypeErr ? static_cast<int>(result->val.err) : static_cast<int>(xl::xlerrValue);
    }
    if (!room) return 0;
    const unsigned char* counted = reinterpret_cast<const unsigned char*>(result->val.str);
    size_t length = counted[0];
    if (length > size - 1) length = size - 1;
    std::memcpy(text, counted + 1, length);
    text[length] = '\0';
    return 0;
}

// The worksheet's 16-bit integer argument, as Excel passes it.
short integerArgument(int x) { return static_cast<short>(x); }

// ---- The function table ------------------------------------------------------------------

// How a function is called: the member of its R row's entry point its argument codes name.
enum class Shape { ofI, ofII, ofC, ofCI, ofCBI, ofCBBI, unknown };

struct TableFunction {
    const RegistrationEntry* row;  // the R row; its arguments follow it
    int arguments;
    Shape shape;
};

struct FunctionTable {
    int count;
    TableFunction function[kaltra::kFunctionCount];
};

Shape shapeOf(const char* codes) {
    struct Named {
        const char* codes;
        Shape shape;
    };
    static const Named kShapes[] = {{"I", Shape::ofI},     {"II", Shape::ofII},   {"C", Shape::ofC},
                                    {"CI", Shape::ofCI},   {"CBI", Shape::ofCBI}, {"CBBI", Shape::ofCBBI}};
    for (const Named& named : kShapes)
        if (std::strcmp(codes, named.codes) == 0) return named.shape;
    return Shape::unknown;
}

// The table's functions in registration order, read once.
FunctionTable readTable() {
    FunctionTable table = {};
    for (const RegistrationEntry* row = RegistrationTable; row->typeCode == 'R' && table.count < kaltra::kFunctionCount;) {
        char codes[kaltra::kMaxArguments + 1] = {};
        int n = 0;
        while (row[1 + n].typeCode != 0) {
            if (n < kaltra::kMaxArguments) codes[n] = row[1 + n].typeCode;
            ++n;
        }
        table.function[table.count++] = {row, n, n <= kaltra::kMaxArguments ? shapeOf(codes) : Shape::unknown};
        row += n + 2;
    }
    return table;
}

const FunctionTable& functionTable() {
    static const FunctionTable table = readTable();
    return table;
}

const TableFunction* tableFunction(int function) {
    const FunctionTable& table = functionTable();
    return function >= 0 && function < table.count ? &table.function[function] : nullptr;
}

const RegistrationEntry* argumentRow(int function, int argument) {
    const TableFunction* f = tableFunction(function);
    return f != nullptr && argument >= 0 && argument < f->arguments ? f->row + 1 + argument : nullptr;
}

bool sameName(const char* a, const char* b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (lower(*a) != lower(*b)) return false;
    return *a == *b;
}

// ---- One call through the table ------------------------------------------------------------

// A call's arguments sorted by kind, each kind in argument order.
struct CallArguments {
    const char* text;
    double numbers[2];
    short integers[2];
};

xl::LPXLOPER callFunction(const TableFunction& f, const CallArguments& x) {
    const WorksheetEntryPoint& call = f.row->function;
    switch (f.shape) {
        case Shape::ofI: return call.ofI(x.integers[0]);
        case Shape::ofII: return call.ofII(x.integers[0], x.integers[1]);
        case Shape::ofC: return call.ofC(x.text);
        case Shape::ofCI: return call.ofCI(x.text, x.integers[0]);
        case Shape::ofCBI: return call.ofCBI(x.text, x.numbers[0], x.integers[0]);
        case Shape::ofCBBI: return call.ofCBBI(x.text, x.numbers[0], x.numbers[1], x.integers[0]);
        case Shape::unknown: break;
    }
    return nullptr;
}

// ---- Arrays --------------------------------------------------------------------------------

// An array argument: where its current element is, and how it moves along each dimension.
struct ArrayArgument {
    char kind;  // 'B' or 'I'
    const char* at;
    const ptrdiff_t* strides;  // in elements; null when every stride is 0
    size_t elementSize;
};

// Fills the call's arguments from the arrays' current elements.
void readElements(const ArrayArgument* arrays, int count, CallArguments& x) {
    int numbers = 0, integers = 0;
    for (int k = 0; k < count; ++k) {
        if (arrays[k].kind == 'B') {
            double value;
            std::memcpy(&value, arrays[k].at, sizeof value);
            if (numbers < 2) x.numbers[numbers++] = value;
        } else {
            int value;
            std::memcpy(&value, arrays[k].at, sizeof value);
            if (integers < 2) x.integers[integers++] = integerArgument(value);
        }
    }
}

// Moves to the next element in row-major order: the last dimension steps, and a dimension
// that wraps steps the one before it.
void advance(ArrayArgument* arrays, int count, int dimensions, const ptrdiff_t* shape, ptrdiff_t* index) {
    for (int d = dimensions - 1; d >= 0; --d) {
        const bool wraps = ++index[d] == shape[d];
        for (int k = 0; k < count; ++k) {
            if (arrays[k].strides == nullptr) continue;
            const ptrdiff_t step = wraps ? -(shape[d] - 1) * arrays[k].strides[d] : arrays[k].strides[d];
            arrays[k].at += step * static_cast<ptrdiff_t>(arrays[k].elementSize);
        }
        if (!wraps) return;
        index[d] = 0;
    }
}

}  // namespace

// ---- Catalogue, identity and label functions -------------------------------------------------

extern "C" {

int kaltra_KaltUnits(int units, int index, char* text, size_t size) {
    Guard guard(WorksheetLock);
    return textOf(KaltUnits(integerArgument(units), integerArgument(index)), text, size);
}
int kaltra_KaltName(int index, char* text, size_t size) {
    Guard guard(WorksheetLock);
    return textOf(KaltName(integerArgument(index)), text, size);
}
int kaltra_KaltLongName(int index, char* text, size_t size) {
    Guard guard(WorksheetLock);
    return textOf(KaltLongName(integerArgument(index)), text, size);
}
int kaltra_KaltForm(int index, char* text, size_t size) {
    Guard guard(WorksheetLock);
    return textOf(KaltForm(integerArgument(index)), text, size);
}
int kaltra_KaltIndex(const char* fluid) {
    Guard guard(WorksheetLock);
    return static_cast<int>(numberOf(KaltIndex(fluid)));
}
double kaltra_KaltMW(const char* fluid) {
    Guard guard(WorksheetLock);
    return numberOf(KaltMW(fluid));
}
double kaltra_KaltZc(const char* fluid) {
    Guard guard(WorksheetLock);
    return numberOf(KaltZc(fluid));
}
double kaltra_KaltTmax(const char* fluid, int units) {
    Guard guard(WorksheetLock);
    return numberOf(KaltTmax(fluid, integerArgument(units)));
}
double kaltra_KaltPmax(const char* fluid, int units) {
    Guard guard(WorksheetLock);
    return numberOf(KaltPmax(fluid, integerArgument(units)));
}

}  // extern "C"

// ---- Property functions ------------------------------------------------------------------------
// One shape for the functions of one double, one for those of two.

#define KALTRA_OF_ONE_DOUBLE(function)                                                  \
    extern "C" double kaltra_##function(const char* fluid, double x, int units) {       \
        Guard guard(WorksheetLock);                                                     \
        return numberOf(function(fluid, x, integerArgument(units)));                    \
    }
#define KALTRA_OF_TWO_DOUBLES(function)                                                          \
    extern "C" double kaltra_##function(const char* fluid, double x, double y, int units) {      \
        Guard guard(WorksheetLock);                                                              \
        return numberOf(function(fluid, x, y, integerArgument(units)));                          \
    }

KALTRA_OF_ONE_DOUBLE(KaltPsat)
KALTRA_OF_ONE_DOUBLE(KaltTsat)
KALTRA_OF_ONE_DOUBLE(KaltVf)
KALTRA_OF_ONE_DOUBLE(KaltVg)
KALTRA_OF_TWO_DOUBLES(KaltPofTV)
KALTRA_OF_TWO_DOUBLES(KaltVofTP)
KALTRA_OF_TWO_DOUBLES(KaltZofTV)
KALTRA_OF_TWO_DOUBLES(KaltZofTP)
KALTRA_OF_ONE_DOUBLE(KaltHf)
KALTRA_OF_ONE_DOUBLE(KaltHg)
KALTRA_OF_TWO_DOUBLES(KaltHofTV)
KALTRA_OF_TWO_DOUBLES(KaltHofTP)
KALTRA_OF_ONE_DOUBLE(KaltSf)
KALTRA_OF_ONE_DOUBLE(KaltSg)
KALTRA_OF_TWO_DOUBLES(KaltSofTV)
KALTRA_OF_TWO_DOUBLES(KaltSofTP)
KALTRA_OF_TWO_DOUBLES(KaltTofPH)
KALTRA_OF_TWO_DOUBLES(KaltTofPS)
KALTRA_OF_TWO_DOUBLES(KaltCpofTP)
KALTRA_OF_TWO_DOUBLES(KaltCvofTP)
KALTRA_OF_ONE_DOUBLE(KaltSt)
KALTRA_OF_TWO_DOUBLES(KaltMUofTP)
KALTRA_OF_TWO_DOUBLES(KaltNUofTP)
KALTRA_OF_TWO_DOUBLES(KaltTKofTP)

// ---- Catalogue and function table ----------------------------------------------------------------

extern "C" {

// Counted once through KaltName: the first index it refuses ends the catalogue.
int kaltra_fluid_count(void) {
    static int count = -1;
    Guard guard(WorksheetLock);
    if (count < 0) {
        int n = 0;
        while (n < std::numeric_limits<short>::max() && KaltName(integerArgument(n + 1))->xltype == xl::xltypeStr) ++n;
        count = n;
    }
    return count;
}

int kaltra_function_count(void) { return functionTable().count; }

int kaltra_function_find(const char* name) {
    if (name == nullptr) return -1;
    const FunctionTable& table = functionTable();
    for (int i = 0; i < table.count; ++i)
        if (sameName(table.function[i].row->entryName, name)) return i;
    return -1;
}

const char* kaltra_function_name(int function) {
    const TableFunction* f = tableFunction(function);
    return f != nullptr ? f->row->entryName : nullptr;
}

const char* kaltra_function_help(int function) {
    const TableFunction* f = tableFunction(function);
    return f != nullptr ? f->row->helpText : nullptr;
}

int kaltra_argument_count(int function) {
    const TableFunction* f = tableFunction(function);
    return f != nullptr ? f->arguments : 0;
}

char kaltra_argument_kind(int function, int argument) {
    const RegistrationEntry* row = argumentRow(function, argument);
    return row != nullptr ? row->typeCode : '\0';
}

const char* kaltra_argument_name(int function, int argument) {
    const RegistrationEntry* row = argumentRow(function, argument);
    return row != nullptr ? row->entryName : nullptr;
}

const char* kaltra_argument_help(int function, int argument) {
    const RegistrationEntry* row = argumentRow(function, argument);
    return row != nullptr ? row->helpText : nullptr;
}

// ---- Arrays --------------------------------------------------------------------------------------

int kaltra_evaluate(int function, const char* fluid, int dimensions, const ptrdiff_t* shape,
                    const void* const* arguments, const ptrdiff_t* const* strides, double* answers) {
    const TableFunction* f = tableFunction(function);
    if (f == nullptr || f->shape == Shape::unknown) return KALTRA_BAD_FUNCTION;
    if (dimensions < 0 || dimensions > KALTRA_MAX_DIMENSIONS || (dimensions > 0 && shape == nullptr))
        return KALTRA_BAD_SHAPE;
    ptrdiff_t elements = 1;
    for (int d = 0; d < dimensions; ++d) {
        if (shape[d] < 0) return KALTRA_BAD_SHAPE;
        if (shape[d] > 0 && elements > std::numeric_limits<ptrdiff_t>::max() / shape[d]) return KALTRA_BAD_SHAPE;
        elements *= shape[d];
    }

    // The array arguments: every argument but the fluid text, in table order.
    ArrayArgument arrays[kaltra::kMaxArguments];
    int count = 0;
    for (int a = 0; a < f->arguments; ++a) {
        const char kind = f->row[1 + a].typeCode;
        if (kind == 'C') continue;
        if (arguments == nullptr || arguments[count] == nullptr) return KALTRA_MISSING_ARRAY;
        arrays[count] = {kind, static_cast<const char*>(arguments[count]),
                         strides != nullptr && dimensions > 0 ? strides[count] : nullptr,
                         kind == 'B' ? sizeof(double) : sizeof(int)};
        ++count;
    }
    if (elements == 0) return KALTRA_OK;
    if (answers == nullptr) return KALTRA_MISSING_ARRAY;

    ptrdiff_t index[KALTRA_MAX_DIMENSIONS] = {};
    CallArguments x = {fluid, {0.0, 0.0}, {0, 0}};
    int status = KALTRA_OK;
    Guard guard(WorksheetLock);
    for (ptrdiff_t i = 0; i < elements; ++i) {
        readElements(arrays, count, x);
        const xl::XLOPER* result = callFunction(*f, x);
        answers[i] = numberOf(result);
        if (result->xltype != xl::xltypeNum && result->xltype != xl::xltypeInt) status = KALTRA_NOT_A_NUMBER;
        advance(arrays, count, dimensions, shape, index);
    }
    return status;
}

}  // extern "C"
