// The stand-in Excel's callbacks and their record.
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/standin_excel.h"
#include "shell/xlcall.h"

namespace {

// Excel takes at most this many arguments in one callback.
constexpr int kMaxCallbackArguments = 255;

// XLCallVer's answer: version 5.0 of the callback interface (major number in the high
// byte), the version of Excel4 and Excel4v.
constexpr int kCallbackVersion = 0x0500;

// The add-in's full file name.
std::string AddinPath = "Kaltra64";

// What has happened since the last reset.
std::vector<standin::Registration> Registrations;
std::vector<standin::Alert> Alerts;
std::vector<int> CallLog;
std::vector<char*> OutstandingNames;
int MalformedCount = 0;
int RegisterCalls = 0;
int RefusedRegistration = 0;

// The characters of a counted string, noting anything malformed about it.
std::string textOf(const xl::XLOPER* value) {
    if (!value || (value->xltype & 0x0FFF) != xl::xltypeStr || !value->val.str) {
        ++MalformedCount;
        return std::string();
    }
    const unsigned char* counted = reinterpret_cast<const unsigned char*>(value->val.str);
    std::size_t count = counted[0];
    const char* characters = value->val.str + 1;
    if (std::memchr(characters, 0, count) != nullptr) {
        // The count runs past the text's end: take the text up to its terminator only.
        ++MalformedCount;
        return std::string(characters);
    }
    return std::string(characters, count);
}

// A value as a 16-bit integer the way xlCoerce does it: numbers truncated toward zero,
// texts read as numbers, booleans as 0 or 1; false when it cannot be done.
bool integerOf(const xl::XLOPER* value, short& result) {
    if (!value) return false;
    double x = 0.0;
    switch (value->xltype & 0x0FFF) {
        case xl::xltypeInt: result = value->val.w; return true;
        case xl::xltypeBool: result = value->val.xbool ? 1 : 0; return true;
        case xl::xltypeNum: x = value->val.num; break;
        case xl::xltypeStr: {
            std::string text = textOf(value);
            char* end = nullptr;
            x = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != 0) return false;
            break;
        }
        default: return false;
    }
    x = std::trunc(x);
    if (!(x >= -32768.0 && x <= 32767.0)) return false;
    result = static_cast<short>(x);
    return true;
}

int registerFunction(xl::LPXLOPER result, int count, xl::LPXLOPER* arguments) {
    if (count < standin::functionText || count > kMaxCallbackArguments) return xl::xlretInvCount;
    ++RegisterCalls;
    standin::Registration registration;
    for (int i = 0; i < count; ++i) registration.texts.push_back(textOf(arguments[i]));
    if (RegisterCalls == RefusedRegistration) return xl::xlretFailed;
    Registrations.push_back(registration);
    if (result) {
        // Excel answers a register id; the add-in does not use it.
        result->val.num = static_cast<double>(Registrations.size());
        result->xltype = xl::xltypeNum;
    }
    return xl::xlretSuccess;
}

int getName(xl::LPXLOPER result) {
    if (!result) return xl::xlretInvXloper;
    std::size_t length = AddinPath.size() > 255 ? 255 : AddinPath.size();
    char* counted = static_cast<char*>(std::malloc(1 + length));
    if (!counted) return xl::xlretFailed;
    counted[0] = static_cast<char>(length);
    std::memcpy(counted + 1, AddinPath.data(), length);
    OutstandingNames.push_back(counted);
    result->val.str = counted;
    result->xltype = xl::xltypeStr;
    return xl::xlretSuccess;
}

int freeValues(int count, xl::LPXLOPER* arguments) {
    for (int i = 0; i < count; ++i) {
        xl::LPXLOPER value = arguments[i];
        if (!value || (value->xltype & 0x0FFF) != xl::xltypeStr) continue;
        for (std::size_t k = 0; k < OutstandingNames.size(); ++k) {
            if (OutstandingNames[k] != value->val.str) continue;
            std::free(OutstandingNames[k]);
            OutstandingNames.erase(OutstandingNames.begin() + static_cast<long>(k));
            value->val.str = nullptr;
            value->xltype = xl::xltypeNil;
            break;
        }
    }
    return xl::xlretSuccess;
}

int coerce(xl::LPXLOPER result, int count, xl::LPXLOPER* arguments) {
    if (count != 2 || !result) return xl::xlretInvCount;
    short wanted = 0;
    if (!integerOf(arguments[1], wanted)) return xl::xlretInvXloper;
    short n = 0;
    if (wanted == xl::xltypeInt && integerOf(arguments[0], n)) {
        result->val.w = n;
        result->xltype = xl::xltypeInt;
        return xl::xlretSuccess;
    }
    if (wanted == xl::xltypeNum && integerOf(arguments[0], n)) {
        result->val.num = n;
        result->xltype = xl::xltypeNum;
        return xl::xlretSuccess;
    }
    result->val.err = xl::xlerrValue;
    result->xltype = xl::xltypeErr;
    return xl::xlretInvXloper;
}

int alert(int count, xl::LPXLOPER* arguments) {
    if (count < 1 || count > 3) return xl::xlretInvCount;
    standin::Alert shown;
    shown.text = textOf(arguments[0]);
    short kind = 2;
    if (count >= 2 && !integerOf(arguments[1], kind)) kind = -1;
    shown.kind = kind;
    Alerts.push_back(shown);
    return xl::xlretSuccess;
}

int dispatch(int xlfn, xl::LPXLOPER result, int count, xl::LPXLOPER* arguments) {
    CallLog.push_back(xlfn);
    if (count < 0 || (count > 0 && !arguments)) return xl::xlretInvCount;
    switch (xlfn) {
        case xl::xlfRegister: return registerFunction(result, count, arguments);
        case xl::xlGetName: return getName(result);
        case xl::xlFree: return freeValues(count, arguments);
        case xl::xlCoerce: return coerce(result, count, arguments);
        case xl::xlcAlert: return alert(count, arguments);
        default: return xl::xlretInvXlfn;
    }
}

}  // namespace

extern "C" STANDIN_API int KALT_CDECL Excel4(int xlfn, xl::LPXLOPER operRes, int count, ...) {
    if (count < 0 || count > kMaxCallbackArguments) return xl::xlretInvCount;
    xl::LPXLOPER arguments[kMaxCallbackArguments];
    va_list list;
    va_start(list, count);
    for (int i = 0; i < count; ++i) arguments[i] = va_arg(list, xl::LPXLOPER);
    va_end(list);
    return dispatch(xlfn, operRes, count, arguments);
}

extern "C" STANDIN_API int KALT_PASCAL Excel4v(int xlfn, xl::LPXLOPER operRes, int count, xl::LPXLOPER opers[]) {
    return dispatch(xlfn, operRes, count, opers);
}

// The version of the callback interface.
extern "C" STANDIN_API int KALT_PASCAL XLCallVer(void) { return kCallbackVersion; }

// Pen input does not exist here.
extern "C" STANDIN_API long KALT_PASCAL LPenHelper(int /*code*/, void* /*data*/) { return xl::xlretFailed; }

STANDIN_API void standinReset() {
    std::vector<standin::Registration>().swap(Registrations);
    std::vector<standin::Alert>().swap(Alerts);
    std::vector<int>().swap(CallLog);
    for (char* name : OutstandingNames) std::free(name);
    std::vector<char*>().swap(OutstandingNames);
    MalformedCount = 0;
    RegisterCalls = 0;
    RefusedRegistration = 0;
}

STANDIN_API void standinSetAddinPath(const char* path) { AddinPath = path ? path : ""; }

STANDIN_API void standinFailRegistration(int k) {
    RefusedRegistration = k;
    RegisterCalls = 0;
}

STANDIN_API const std::vector<standin::Registration>& standinRegistrations() { return Registrations; }

STANDIN_API const std::vector<standin::Alert>& standinAlerts() { return Alerts; }

STANDIN_API const std::vector<int>& standinCallLog() { return CallLog; }

STANDIN_API int standinMalformedCount() { return MalformedCount; }

STANDIN_API int standinOutstandingNames() { return static_cast<int>(OutstandingNames.size()); }
