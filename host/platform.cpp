// The host's system-dependent parts: Linux (dlopen) and Windows (LoadLibrary), and the
// checked worksheet call of 32-bit Windows. Everything else of the host is the same source
// on both.
#include "host/platform.h"

#include <cstdint>
#include <cstring>

#include "host/kaltra.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#endif

namespace kaltra::host {

// ---- Libraries, paths and streams ---------------------------------------------------------

#if defined(_WIN32)

#if UINTPTR_MAX == 0xFFFFFFFFu
const char* const kDefaultAddinFile = "Kaltra32.xll";
#else
const char* const kDefaultAddinFile = "Kaltra64.xll";
#endif

void* loadLibrary(const std::string& path, std::string& why) {
    HMODULE library = LoadLibraryA(path.c_str());
    if (library) return reinterpret_cast<void*>(library);
    DWORD error = GetLastError();
    char message[256] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  message, sizeof message, nullptr);
    while (length > 0 && (message[length - 1] == '\n' || message[length - 1] == '\r' || message[length - 1] == ' ')) {
        message[--length] = 0;
    }
    char code[32];
    std::snprintf(code, sizeof code, "error %lu", static_cast<unsigned long>(error));
    why = length > 0 ? std::string(message) + " (" + code + ")" : std::string(code);
    return nullptr;
}

void* exportedAddress(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
}

std::string absolutePath(const std::string& path) {
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full || GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES) return path;
    return full;
}

std::string programFolder() {
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    if (length == 0 || length >= sizeof self) return ".";
    std::string path(self, length);
    std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string(".") : path.substr(0, separator);
}

std::string pathInFolder(const std::string& folder, const std::string& file) { return folder + "\\" + file; }

void useBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

#else

#if UINTPTR_MAX == 0xFFFFFFFFu
const char* const kDefaultAddinFile = "Kaltra32.so";
#else
const char* const kDefaultAddinFile = "Kaltra64.so";
#endif

void* loadLibrary(const std::string& path, std::string& why) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) why = dlerror();
    return library;
}

void* exportedAddress(void* library, const char* name) { return dlsym(library, name); }

std::string absolutePath(const std::string& path) {
    char full[PATH_MAX];
    return realpath(path.c_str(), full) ? std::string(full) : path;
}

std::string programFolder() {
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return ".";
    std::string path(self, static_cast<std::size_t>(length));
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string pathInFolder(const std::string& folder, const std::string& file) { return folder + "/" + file; }

void useBinaryStandardStreams() {}

#endif

// ---- The worksheet call -------------------------------------------------------------------

#if defined(_WIN32) && defined(__i386__)

// Pushes `count` 32-bit words so that words[0] lies lowest on the stack, calls `address`,
// stores in *removed how many bytes the function took off the stack, puts the stack back
// as it was whatever the function did, and answers what the function left in eax.
extern "C" xl::LPXLOPER callWithStackWords(void* address, const std::uint32_t* words, int count, int* removed)
    asm("kaltraCallWithStackWords");

asm(R"(
    .text
    .p2align 4
    .globl kaltraCallWithStackWords
kaltraCallWithStackWords:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    movl  12(%ebp), %esi
    movl  16(%ebp), %ecx
1:  testl %ecx, %ecx
    jz    2f
    decl  %ecx
    pushl (%esi,%ecx,4)
    jmp   1b
2:  movl  %esp, %ebx
    call  *8(%ebp)
    movl  %esp, %ecx
    subl  %ebx, %ecx
    movl  20(%ebp), %edx
    movl  %ecx, (%edx)
    leal  -8(%ebp), %esp
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret
)");

WorksheetCall callWorksheetFunction(void* address, const char* codes, const PassedArgument* arguments) {
    WorksheetCall call;
    // Every argument fills whole 4-byte slots: a text its pointer, a double two slots (low
    // half first), a 16-bit integer one slot, sign-extended.
    std::uint32_t words[2 * kMaxHostArguments];
    int count = 0;
    int passed = 0;
    for (const char* code = codes; *code; ++code, ++arguments) {
        if (++passed > kMaxHostArguments) return call;
        switch (*code) {
            case 'C': words[count++] = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(arguments->text)); break;
            case 'B': {
                std::uint32_t halves[2];
                std::memcpy(halves, &arguments->number, sizeof halves);
                words[count++] = halves[0];
                words[count++] = halves[1];
                break;
            }
            case 'I': words[count++] = static_cast<std::uint32_t>(static_cast<std::int32_t>(arguments->integer)); break;
            default: return call;
        }
    }
    int removed = 0;
    call.result = callWithStackWords(address, words, count, &removed);
    call.argumentBytes = count * 4;
    call.removedBytes = removed;
    call.conventionKept = removed == call.argumentBytes;
    return call;
}

#else

namespace {

// Calls `address` with the arguments the codes describe, building the C signature one
// argument at a time.
template <typename... Passed>
xl::LPXLOPER invoke(void* address, const char* codes, const PassedArgument* arguments, Passed... passed) {
    if (*codes == 0) return reinterpret_cast<xl::LPXLOPER(KALT_PASCAL*)(Passed...)>(address)(passed...);
    if constexpr (sizeof...(Passed) < kMaxHostArguments) {
        switch (*codes) {
            case 'C': return invoke(address, codes + 1, arguments + 1, passed..., arguments->text);
            case 'B': return invoke(address, codes + 1, arguments + 1, passed..., arguments->number);
            case 'I': return invoke(address, codes + 1, arguments + 1, passed..., arguments->integer);
            default: break;
        }
    }
    return nullptr;
}

}  // namespace

WorksheetCall callWorksheetFunction(void* address, const char* codes, const PassedArgument* arguments) {
    WorksheetCall call;
    call.result = invoke(address, codes, arguments);
    return call;
}

#endif

}  // namespace kaltra::host
