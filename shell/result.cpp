// The value record every worksheet function answers, and the builders that fill it.
// One record and one text buffer serve every call; Excel copies the value before its
// next call, so nothing is allocated and nothing is handed back to be freed.
#include <cstring>

#include "shell/shell.h"

// The core is compiled without exceptions (KALTRA_CORE_OPTIONS, CMakeLists.txt): a failure is
// a fixed answer, and no exception may ever reach Excel's C interface.
#if defined(__cpp_exceptions)
#error "the core is compiled with -fno-exceptions"
#endif

namespace kaltra {

xl::XLOPER SharedResult;
char SharedResultText[257];

namespace {

// The most characters a counted string can hold: its count is one byte.
constexpr std::size_t kMaxTextLength = 255;

}  // namespace

xl::LPXLOPER NumberResult(double x) {
    SharedResult = xl::XLOPER{};
    SharedResult.val.num = x;
    SharedResult.xltype = xl::xltypeNum;
    return &SharedResult;
}

xl::LPXLOPER IntegerResult(int n) {
    SharedResult = xl::XLOPER{};
    SharedResult.val.w = static_cast<short>(n);
    SharedResult.xltype = xl::xltypeInt;
    return &SharedResult;
}

xl::LPXLOPER ErrorResult(int code) {
    SharedResult = xl::XLOPER{};
    SharedResult.val.err = static_cast<xl::WORD>(code);
    SharedResult.xltype = xl::xltypeErr;
    return &SharedResult;
}

// The text is copied as it stands (it is never read as a format), cut at 255 bytes; the
// count byte comes first and a zero byte follows the characters.
xl::LPXLOPER TextResult(const char* text) {
    const std::size_t length = text == nullptr ? 0 : strnlen(text, kMaxTextLength);
    if (length > 0) std::memcpy(SharedResultText + 1, text, length);
    SharedResultText[length + 1] = '\0';
    SharedResultText[0] = static_cast<char>(static_cast<unsigned char>(length));
    SharedResult = xl::XLOPER{};
    SharedResult.val.str = SharedResultText;
    SharedResult.xltype = xl::xltypeStr;
    return &SharedResult;
}

}  // namespace kaltra
