// The C interface: every entry point takes the lock, calls the add-in's exported worksheet
// function and reads the value record that function filled. The array entry point and the
// function-table entry points are driven by the registration table, whose R rows carry the
// exported functions (shell/table_functions.h).
#include "capi/kaltra.h"

#include <cstring>
#include <limits>
#include <mutex>

#include "shell/shell.h"
#include "shell/table_functions.h"

namespace {

using kaltra::functionTable;
using kaltra::RegistrationEntry;
using kaltra::TableFunction;
using kaltra::tableFunction;

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
short shortArgument(int x) { return static_cast<short>(x); }

// ---- The function table ------------------------------------------------------------------

const RegistrationEntry* argumentRow(int function, int argument) {
    const TableFunction* f = tableFunction(function);
    return f != nullptr && argument >= 0 && argument < f->arguments ? f->row + 1 + argument : nullptr;
}

// ---- Arrays --------------------------------------------------------------------------------

// An array argument: where its current element is, how it moves along each dimension, and
// which argument of the call it fills.
struct ArrayArgument {
    const char* at;
    const ptrdiff_t* strides;  // in elements; null when every stride is 0
    size_t elementSize;
    double* number;  // a 'B' argument's place in the call
    short* integer;  // an 'I' argument's place
};

// Fills the call's arguments from the arrays' current elements.
void readElements(const ArrayArgument* arrays, int count) {
    for (int k = 0; k < count; ++k) {
        if (arrays[k].number != nullptr) {
            std::memcpy(arrays[k].number, arrays[k].at, sizeof(double));
        } else {
            int value;
            std::memcpy(&value, arrays[k].at, sizeof value);
            *arrays[k].integer = shortArgument(value);
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
    return textOf(KaltUnits(shortArgument(units), shortArgument(index)), text, size);
}
int kaltra_KaltName(int index, char* text, size_t size) {
    Guard guard(WorksheetLock);
    return textOf(KaltName(shortArgument(index)), text, size);
}
int kaltra_KaltLongName(int index, char* text, size_t size) {
    Guard guard(WorksheetLock);
    return textOf(KaltLongName(shortArgument(index)), text, size);
}
int kaltra_KaltForm(int index, char* text, size_t size) {
    Guard guard(WorksheetLock);
    return textOf(KaltForm(shortArgument(index)), text, size);
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
    return numberOf(KaltTmax(fluid, shortArgument(units)));
}
double kaltra_KaltPmax(const char* fluid, int units) {
    Guard guard(WorksheetLock);
    return numberOf(KaltPmax(fluid, shortArgument(units)));
}

}  // extern "C"

// ---- Property functions ------------------------------------------------------------------------
// One shape for the functions of one double, one for those of two.

#define KALTRA_OF_ONE_DOUBLE(function)                                                  \
    extern "C" double kaltra_##function(const char* fluid, double x, int units) {       \
        Guard guard(WorksheetLock);                                                     \
        return numberOf(function(fluid, x, shortArgument(units)));                    \
    }
#define KALTRA_OF_TWO_DOUBLES(function)                                                          \
    extern "C" double kaltra_##function(const char* fluid, double x, double y, int units) {      \
        Guard guard(WorksheetLock);                                                              \
        return numberOf(function(fluid, x, y, shortArgument(units)));                          \
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
        while (n < std::numeric_limits<short>::max() && KaltName(shortArgument(n + 1))->xltype == xl::xltypeStr) ++n;
        count = n;
    }
    return count;
}

int kaltra_function_count(void) { return functionTable().count; }

int kaltra_function_find(const char* name) {
    const TableFunction* f = kaltra::findTableFunction(name);
    return f != nullptr ? static_cast<int>(f - functionTable().function) : -1;
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
    if (f == nullptr || f->shape == kaltra::CallShape::unknown) return KALTRA_BAD_FUNCTION;
    if (dimensions < 0 || dimensions > KALTRA_MAX_DIMENSIONS || (dimensions > 0 && shape == nullptr))
        return KALTRA_BAD_SHAPE;
    ptrdiff_t elements = 1;
    for (int d = 0; d < dimensions; ++d) {
        if (shape[d] < 0) return KALTRA_BAD_SHAPE;
        if (shape[d] > 0 && elements > std::numeric_limits<ptrdiff_t>::max() / shape[d]) return KALTRA_BAD_SHAPE;
        elements *= shape[d];
    }

    // The array arguments: every argument but the fluid text, in table order, each with its
    // place in the call.
    kaltra::WorksheetArguments x = {fluid, 0.0, 0.0, 0, 0};
    ArrayArgument arrays[kaltra::kMaxArguments];
    int count = 0, numbers = 0, integers = 0;
    for (int a = 0; a < f->arguments; ++a) {
        const char kind = f->codes[a];
        if (kind == 'C') continue;
        if (arguments == nullptr || arguments[count] == nullptr) return KALTRA_MISSING_ARRAY;
        const bool number = kind == 'B';
        arrays[count] = {static_cast<const char*>(arguments[count]),
                         strides != nullptr && dimensions > 0 ? strides[count] : nullptr,
                         number ? sizeof(double) : sizeof(int),
                         number ? &kaltra::doubleArgument(x, numbers++) : nullptr,
                         number ? nullptr : &kaltra::integerArgument(*f, x, integers++)};
        ++count;
    }
    if (elements == 0) return KALTRA_OK;
    if (answers == nullptr) return KALTRA_MISSING_ARRAY;

    ptrdiff_t index[KALTRA_MAX_DIMENSIONS] = {};
    int status = KALTRA_OK;
    Guard guard(WorksheetLock);
    for (ptrdiff_t i = 0; i < elements; ++i) {
        readElements(arrays, count);
        const xl::XLOPER* result = kaltra::callTableFunction(*f, x);
        answers[i] = numberOf(result);
        if (result->xltype != xl::xltypeNum && result->xltype != xl::xltypeInt) status = KALTRA_NOT_A_NUMBER;
        advance(arrays, count, dimensions, shape, index);
    }
    return status;
}

}  // extern "C"
