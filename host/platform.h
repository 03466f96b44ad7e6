// What differs between the systems the kaltra host and the stand-in Excel run on, kept in
// one place: loading a library and finding its exports (dlopen on Linux, LoadLibrary on
// Windows), the host's own location, byte-exact standard streams, the stand-in's export
// marker, and the call of a worksheet function with Excel's calling convention.
#pragma once

#include <string>

#include "shell/xlcall.h"

// Marks the stand-in Excel's control functions as exports of its library.
#if defined(_WIN32) && defined(KALTRA_BUILDING_STANDIN)
#define STANDIN_API __declspec(dllexport)
#elif defined(_WIN32)
#define STANDIN_API __declspec(dllimport)
#else
#define STANDIN_API __attribute__((visibility("default")))
#endif

namespace kaltra::host {

// File name of the add-in the host loads when told no other, looked for beside the host.
extern const char* const kDefaultAddinFile;

// Loads a library and runs its load-time code; null after putting the system's reason into
// `why`.
void* loadLibrary(const std::string& path, std::string& why);

// Address of a library's export by name, or null.
void* exportedAddress(void* library, const char* name);

// The absolute form of a path naming an existing file, or the path unchanged.
std::string absolutePath(const std::string& path);

// The folder holding the running host program, "." when it cannot be told.
std::string programFolder();

// Puts a folder and a file name together.
std::string pathInFolder(const std::string& folder, const std::string& file);

// Standard input and output carry bytes unchanged: Windows would otherwise write every
// "\n" as "\r\n".
void useBinaryStandardStreams();

// One argument in each of the forms a type code may ask for.
struct PassedArgument {
    const char* text;
    double number;
    short integer;
};

// What a worksheet call left behind. On 32-bit Windows the called function must take its
// own arguments off the stack (__stdcall); a function built with the caller-cleans
// convention (__cdecl) leaves them there, which in Excel corrupts the stack. The host
// measures how many bytes the function removed; on other systems the convention has no
// such difference and the call counts as kept.
struct WorksheetCall {
    xl::LPXLOPER result = nullptr;
    bool conventionKept = true;
    int argumentBytes = 0;  // bytes of arguments the call pushed (32-bit Windows)
    int removedBytes = 0;   // bytes of them the function removed (32-bit Windows)
};

// Calls the worksheet function at `address` with the arguments its type codes describe
// ('C' text, 'B' double, 'I' 16-bit integer; at most kMaxHostArguments of them).
WorksheetCall callWorksheetFunction(void* address, const char* codes, const PassedArgument* arguments);

}  // namespace kaltra::host
