// Values and the function-call layer: a registered worksheet function called by name
// through the stand-in Excel, its arguments converted by its type text the way Excel
// converts them, its answer copied out of the add-in's shared record.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/kaltra.h"
#include "host/platform.h"
#include "shell/xlcall.h"

namespace kaltra::host {

// ---- Values and their display -----------------------------------------------------------

Value numberValue(double x) { return Value{ValueKind::number, x, 0, std::string()}; }
Value textValue(const std::string& text) { return Value{ValueKind::text, 0.0, 0, text}; }
Value errorValue(int code) { return Value{ValueKind::error, 0.0, code, std::string()}; }

namespace {

Value integerValue(int n) { return Value{ValueKind::integer, 0.0, n, std::string()}; }

// Excel's own error codes and how it shows them.
struct ErrorName {
    int code;
    const char* shown;
};
constexpr ErrorName kErrorNames[] = {
    {kErrorNull, "#NULL!"}, {kErrorDivZero, "#DIV/0!"}, {kErrorValue, "#VALUE!"}, {kErrorRef, "#REF!"},
    {kErrorName, "#NAME?"}, {kErrorNum, "#NUM!"},       {kErrorNA, "#N/A"},
};

}  // namespace

std::string displayText(const Value& value) {
    char buffer[64];
    switch (value.kind) {
        case ValueKind::blank: return std::string();
        case ValueKind::number: std::snprintf(buffer, sizeof buffer, "%.17g", value.number); return buffer;
        case ValueKind::integer: std::snprintf(buffer, sizeof buffer, "%d", value.code); return buffer;
        case ValueKind::text: return utf8FromWindows1252(value.text);
        case ValueKind::error:
            for (const ErrorName& error : kErrorNames) {
                if (error.code == value.code) return error.shown;
            }
            std::snprintf(buffer, sizeof buffer, "#ERR(%d)", value.code);
            return buffer;
    }
    return std::string();
}

bool readNumber(const std::string& text, double& x) {
    std::size_t first = text.find_first_not_of(" \t");
    std::size_t last = text.find_last_not_of(" \t");
    if (first == std::string::npos) return false;
    std::string trimmed = text.substr(first, last - first + 1);
    if (trimmed.find_first_not_of("0123456789.eE+-") != std::string::npos) return false;
    char* end = nullptr;
    x = std::strtod(trimmed.c_str(), &end);
    return *end == 0 && std::isfinite(x);
}

bool numberOf(const Value& value, double& x) {
    switch (value.kind) {
        case ValueKind::blank: x = 0.0; return true;
        case ValueKind::number: x = value.number; return true;
        case ValueKind::integer: x = value.code; return true;
        case ValueKind::text: return readNumber(value.text, x);
        case ValueKind::error: return false;
    }
    return false;
}

// ---- Calling the add-in -----------------------------------------------------------------

int findFunction(const std::vector<AddinFunction>& functions, const std::string& name) {
    for (std::size_t i = 0; i < functions.size(); ++i) {
        const std::string& candidate = functions[i].name;
        if (candidate.size() != name.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < name.size() && same; ++k) {
            same = std::tolower(static_cast<unsigned char>(candidate[k])) == std::tolower(static_cast<unsigned char>(name[k]));
        }
        if (same) return static_cast<int>(i);
    }
    return -1;
}

namespace {

// A value as the text a text argument receives.
std::string textOf(const Value& value) {
    char buffer[64];
    switch (value.kind) {
        case ValueKind::number: std::snprintf(buffer, sizeof buffer, "%.15g", value.number); return buffer;
        case ValueKind::integer: std::snprintf(buffer, sizeof buffer, "%d", value.code); return buffer;
        case ValueKind::text: return value.text;
        default: return std::string();
    }
}

// The add-in's answer, copied out of its shared record before the next call.
Value valueOfResult(const xl::XLOPER* result) {
    if (!result) return errorValue(kErrorValue);
    switch (result->xltype & 0x0FFF) {
        case xl::xltypeNum: return std::isfinite(result->val.num) ? numberValue(result->val.num) : errorValue(kErrorNum);
        case xl::xltypeInt: return integerValue(result->val.w);
        case xl::xltypeErr: return errorValue(result->val.err);
        case xl::xltypeStr: {
            if (!result->val.str) return errorValue(kErrorValue);
            unsigned char count = static_cast<unsigned char>(result->val.str[0]);
            return textValue(std::string(result->val.str + 1, count));
        }
        default: return errorValue(kErrorValue);
    }
}

}  // namespace

Value callFunction(const AddinFunction& function, const std::vector<Value>& arguments) {
    int count = static_cast<int>(function.typeText.size()) - 1;
    if (!function.callable || !function.address || count != static_cast<int>(arguments.size())) return errorValue(kErrorValue);

    std::vector<std::string> texts(arguments.size());
    std::vector<PassedArgument> passed(arguments.size() + 1);
    for (int i = 0; i < count; ++i) {
        const Value& argument = arguments[i];
        if (argument.kind == ValueKind::error) return argument;
        PassedArgument& p = passed[i];
        double x = 0.0;
        switch (function.typeText[1 + i]) {
            case 'C':
                texts[i] = textOf(argument);
                if (texts[i].size() > 255) return errorValue(kErrorValue);
                break;
            case 'B':
                if (!numberOf(argument, x)) return errorValue(kErrorValue);
                p.number = x;
                break;
            case 'I':
                // Truncated toward zero; a 16-bit integer must hold the result.
                if (!numberOf(argument, x)) return errorValue(kErrorValue);
                x = std::trunc(x);
                if (x < -32768.0 || x > 32767.0) return errorValue(kErrorValue);
                p.integer = static_cast<short>(x);
                break;
            default: return errorValue(kErrorValue);
        }
    }
    for (int i = 0; i < count; ++i) passed[i].text = texts[i].c_str();
    WorksheetCall call = callWorksheetFunction(function.address, function.typeText.c_str() + 1, passed.data());
    if (!call.conventionKept) {
        // Excel itself would go on with a corrupted stack; nothing the add-in answers after
        // this can be trusted.
        std::fprintf(stderr,
                     "kaltra: %s took %d of its %d bytes of arguments off the stack: it is not __stdcall, "
                     "and Excel would crash calling it\n",
                     function.name.c_str(), call.removedBytes, call.argumentBytes);
        std::exit(kBrokenCallingConvention);
    }
    return valueOfResult(call.result);
}

Value callNamed(const std::vector<AddinFunction>& functions, const std::string& name, const std::vector<Value>& arguments) {
    int at = findFunction(functions, name);
    if (at < 0) return errorValue(kErrorName);
    return callFunction(functions[at], arguments);
}

}  // namespace kaltra::host
