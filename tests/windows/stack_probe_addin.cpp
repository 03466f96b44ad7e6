// StackProbe.xll: a test add-in with one worksheet function built twice, once with Excel's
// calling convention (__stdcall) and once, deliberately wrong, with the caller-cleans
// convention (__cdecl). On 32-bit Windows the kaltra host must answer ProbeStdcall and
// catch ProbeCdecl, which leaves its arguments on the stack.
#include <cstring>

#include "shell/xlcall.h"

namespace {

xl::XLOPER Answer;

// The answer of both probes: every argument has a part in it, so a misplaced one shows.
xl::LPXLOPER probeAnswer(const char* text, double a, double b, short n) {
    Answer.val.num = static_cast<double>(std::strlen(text)) + a * b + n;
    Answer.xltype = xl::xltypeNum;
    return &Answer;
}

// A text value: the text copied into a counted string (count byte first).
void setText(xl::XLOPER& value, char (&counted)[256], const char* text) {
    std::size_t length = std::strlen(text);
    counted[0] = static_cast<char>(length);
    std::memcpy(counted + 1, text, length);
    value.val.str = counted;
    value.xltype = xl::xltypeStr;
}

// Registers one probe under its name.
int registerProbe(xl::XLOPER& fileName, const char* name) {
    const char* texts[] = {
        name, "RCBBI", name, "text,a,b,integer", "1", "Stack probe", "", "",
        "len(text) + a * b + integer", "text", "a", "b", "integer",
    };
    constexpr int kTexts = sizeof texts / sizeof texts[0];
    static char counted[kTexts][256];
    xl::XLOPER values[kTexts];
    xl::LPXLOPER arguments[1 + kTexts];
    arguments[0] = &fileName;
    for (int i = 0; i < kTexts; ++i) {
        setText(values[i], counted[i], texts[i]);
        arguments[1 + i] = &values[i];
    }
    xl::XLOPER registerId;
    registerId.xltype = xl::xltypeNil;
    return Excel4v(xl::xlfRegister, &registerId, 1 + kTexts, arguments);
}

}  // namespace

KALT_EXPORT xl::LPXLOPER KALT_PASCAL ProbeStdcall(const char* text, double a, double b, short n) {
    return probeAnswer(text, a, b, n);
}

// Deliberately not Excel's convention.
KALT_EXPORT xl::LPXLOPER KALT_CDECL ProbeCdecl(const char* text, double a, double b, short n) {
    return probeAnswer(text, a, b, n);
}

KALT_EXPORT int KALT_PASCAL xlAutoOpen(void) {
    xl::XLOPER fileName;
    fileName.xltype = xl::xltypeNil;
    Excel4(xl::xlGetName, &fileName, 0);
    bool registered = registerProbe(fileName, "ProbeStdcall") == xl::xlretSuccess &&
                      registerProbe(fileName, "ProbeCdecl") == xl::xlretSuccess;
    Excel4(xl::xlFree, nullptr, 1, &fileName);
    return registered ? 1 : 0;
}
