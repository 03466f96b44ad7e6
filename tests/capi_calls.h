// The C interface as its tests call it: every scalar entry point found by name in the built
// libkaltra.so (as ctypes finds it) and called with the signature its argument codes give,
// every answer in one comparable form, and the worksheet function's own answer in the same
// form.
//
// The test program links the core itself and also loads libkaltra.so, which holds a copy of
// its own: two value records and two sets of engine caches. The caches make the last bits of
// an answer depend on the call before it, so each test makes the same calls in the same order
// on both copies.
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "capi/kaltra.h"
#include "shell/shell.h"
#include "shell/table_functions.h"

namespace kaltra::test {

// An answer of either side: a number (its bits), an integer, a text (its bytes) or an error value.
struct Answer {
    char kind = '?';  // 'N' number, 'I' integer, 'T' text, 'E' error value
    std::uint64_t bits = 0;
    int code = 0;
    std::string text;

    bool operator==(const Answer&) const = default;
};

inline std::uint64_t bitsOf(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

inline double numberOf(std::uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

inline std::string describe(const Answer& a) {
    char buffer[64];
    switch (a.kind) {
        case 'N': std::snprintf(buffer, sizeof buffer, "number %.17g", numberOf(a.bits)); return buffer;
        case 'I': return "integer " + std::to_string(a.code);
        case 'T': return "text [" + a.text + "]";
        case 'E': return "error value " + std::to_string(a.code);
    }
    return "nothing";
}

inline Answer answerOf(const xl::XLOPER* r) {
    Answer a;
    if (r == nullptr) return a;
    switch (r->xltype) {
        case xl::xltypeNum: a.kind = 'N'; a.bits = bitsOf(r->val.num); break;
        case xl::xltypeInt: a.kind = 'I'; a.code = r->val.w; break;
        case xl::xltypeErr: a.kind = 'E'; a.code = r->val.err; break;
        case xl::xltypeStr:
            a.kind = 'T';
            a.text.assign(r->val.str + 1, static_cast<unsigned char>(r->val.str[0]));
            break;
    }
    return a;
}

// One call's arguments in table order: the fluid text, the doubles and the integers.
struct CallValues {
    const char* fluid = nullptr;
    std::vector<double> numbers;
    std::vector<int> integers;
};

// The worksheet function itself, in the test program's own core, through the table's R row.
inline Answer worksheetAnswer(const TableFunction& f, const CallValues& x) {
    WorksheetArguments call{x.fluid, 0.0, 0.0, 0, 0};
    for (std::size_t k = 0; k < x.numbers.size(); ++k) doubleArgument(call, static_cast<int>(k)) = x.numbers[k];
    for (std::size_t k = 0; k < x.integers.size(); ++k)
        integerArgument(f, call, static_cast<int>(k)) = static_cast<short>(x.integers[k]);
    return answerOf(callTableFunction(f, call));
}

// A scalar entry point of libkaltra.so, found by its name kaltra_<function>.
struct ScalarEntry {
    std::string name;
    std::string codes;
    void* address = nullptr;
};

#ifdef KALTRA_CAPI_PATH
inline void* capiLibrary() {
    static void* library = dlopen(KALTRA_CAPI_PATH, RTLD_NOW);
    return library;
}
#endif

// The entry point's answer: functions without a fluid answer a text or an error code, KaltIndex
// an integer, every other function a double.
inline Answer scalarAnswer(const ScalarEntry& e, const CallValues& x) {
    Answer a;
    if (e.codes.find('C') == std::string::npos) {
        char text[KALTRA_TEXT_SIZE];
        int code = e.codes == "II" ? reinterpret_cast<int (*)(int, int, char*, size_t)>(e.address)(
                                         x.integers[0], x.integers[1], text, sizeof text)
                                   : reinterpret_cast<int (*)(int, char*, size_t)>(e.address)(x.integers[0], text,
                                                                                              sizeof text);
        if (code != 0) {
            a.kind = 'E';
            a.code = code;
        } else {
            a.kind = 'T';
            a.text = text;
        }
        return a;
    }
    if (e.name == "KaltIndex") {
        a.kind = 'I';
        a.code = reinterpret_cast<int (*)(const char*)>(e.address)(x.fluid);
        return a;
    }
    double number = 0.0;
    if (e.codes == "C") number = reinterpret_cast<double (*)(const char*)>(e.address)(x.fluid);
    if (e.codes == "CI") number = reinterpret_cast<double (*)(const char*, int)>(e.address)(x.fluid, x.integers[0]);
    if (e.codes == "CBI")
        number = reinterpret_cast<double (*)(const char*, double, int)>(e.address)(x.fluid, x.numbers[0], x.integers[0]);
    if (e.codes == "CBBI")
        number = reinterpret_cast<double (*)(const char*, double, double, int)>(e.address)(x.fluid, x.numbers[0],
                                                                                           x.numbers[1], x.integers[0]);
    a.kind = 'N';
    a.bits = bitsOf(number);
    return a;
}

// The same call through kaltra_evaluate with no dimensions; its answer is a double.
inline Answer evaluatedAnswer(int function, const std::string& codes, const CallValues& x, int* status = nullptr) {
    std::vector<const void*> arguments;
    std::size_t numbers = 0, integers = 0;
    for (char code : codes) {
        if (code == 'B') arguments.push_back(&x.numbers[numbers++]);
        if (code == 'I') arguments.push_back(&x.integers[integers++]);
    }
    double answer = 0.0;
    int s = kaltra_evaluate(function, x.fluid, 0, nullptr, arguments.data(), nullptr, &answer);
    if (status) *status = s;
    Answer a;
    a.kind = 'N';
    a.bits = bitsOf(answer);
    return a;
}

// A worksheet answer as kaltra_evaluate gives it: an integer as a double, a text or an error as NaN.
inline Answer asEvaluated(const Answer& worksheet) {
    Answer a;
    a.kind = 'N';
    if (worksheet.kind == 'N') a.bits = worksheet.bits;
    else if (worksheet.kind == 'I') a.bits = bitsOf(static_cast<double>(worksheet.code));
    else a.bits = bitsOf(std::numeric_limits<double>::quiet_NaN());
    return a;
}

}  // namespace kaltra::test
