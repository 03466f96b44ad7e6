// Excel's add-in (XLL) callback interface, written from Excel's documented C API: the
// XLOPER value record, the type and function numbers the add-in uses, and the two
// callbacks Excel4 and Excel4v of Excel's callback library.
//
// The layout must equal Excel's own on 64-bit and 32-bit Windows; the static_asserts at
// the end pin it.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define KALT_PASCAL __stdcall
#define KALT_CDECL __cdecl
// A library that links the worksheet functions without being an add-in (the C interface)
// builds them with KALTRA_NO_EXCEL_EXPORTS, so that it does not export them.
#if defined(KALTRA_NO_EXCEL_EXPORTS)
#define KALT_EXPORT extern "C"
#else
#define KALT_EXPORT extern "C" __declspec(dllexport)
#endif
#else
#define KALT_PASCAL
#define KALT_CDECL
#define KALT_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace xl {

using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using BYTE = std::uint8_t;
using DWORD_PTR = std::uintptr_t;

// Value-record kinds (xltype).
enum : WORD {
    xltypeNum = 0x0001,
    xltypeStr = 0x0002,
    xltypeBool = 0x0004,
    xltypeRef = 0x0008,
    xltypeErr = 0x0010,
    xltypeFlow = 0x0020,
    xltypeMulti = 0x0040,
    xltypeMissing = 0x0080,
    xltypeNil = 0x0100,
    xltypeSRef = 0x0400,
    xltypeInt = 0x0800,
    xlbitXLFree = 0x1000,
    xlbitDLLFree = 0x4000,
    xltypeBigData = xltypeStr | xltypeInt,
};

// Excel's error codes.
enum : WORD {
    xlerrNull = 0, xlerrDiv0 = 7, xlerrValue = 15, xlerrRef = 23,
    xlerrName = 29, xlerrNum = 36, xlerrNA = 42,
};

// Function numbers used by the add-in.
enum : int {
    xlFree = 0 | 0x4000,          // 16384
    xlCoerce = 2 | 0x4000,        // 16386
    xlGetName = 9 | 0x4000,       // 16393
    xlfRegister = 149,
    xlcAlert = 118 | 0x8000,      // 32886
};

// Callback return codes.
enum : int {
    xlretSuccess = 0, xlretAbort = 1, xlretInvXlfn = 2, xlretInvCount = 4,
    xlretInvXloper = 8, xlretStackOvfl = 16, xlretFailed = 32, xlretUncalced = 64,
};

struct XLREF {
    WORD rwFirst;
    WORD rwLast;
    BYTE colFirst;
    BYTE colLast;
};

struct XLMREF {
    WORD count;
    XLREF reftbl[1];
};

using IDSHEET = DWORD_PTR;

struct XLOPER {
    union {
        double num;   // xltypeNum
        char* str;    // xltypeStr: counted string, count byte first
        WORD xbool;   // xltypeBool
        WORD err;     // xltypeErr
        short w;      // xltypeInt
        struct {
            WORD count;
            XLREF ref;
        } sref;       // xltypeSRef
        struct {
            XLMREF* lpmref;
            IDSHEET idSheet;
        } mref;       // xltypeRef
        struct {
            XLOPER* lparray;
            WORD rows;
            WORD columns;
        } array;      // xltypeMulti
        struct {
            union {
                int level;
                int tbctrl;
                IDSHEET idSheet;
            } valflow;
            WORD rw;
            BYTE col;
            BYTE xlflow;
        } flow;       // xltypeFlow
        struct {
            union {
                BYTE* lpbData;
                void* hdata;
            } h;
            long cbData;
        } bigdata;    // xltypeBigData
    } val;
    WORD xltype;
};
using LPXLOPER = XLOPER*;

#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(sizeof(XLOPER) == 24, "XLOPER is 24 bytes on 64-bit Windows");
static_assert(offsetof(XLOPER, xltype) == 16, "xltype lies at offset 16 on 64-bit Windows");
#else
static_assert(sizeof(XLOPER) == 16, "XLOPER is 16 bytes on 32-bit Windows");
static_assert(offsetof(XLOPER, xltype) == 8, "xltype lies at offset 8 on 32-bit Windows");
#endif
static_assert(offsetof(XLOPER, val) == 0, "the payload comes first");

}  // namespace xl

// Excel's callbacks, exported by its callback library (XLCall32.dll); on Linux by the
// stand-in Excel. Excel4 is cdecl and variadic; Excel4v is __stdcall on 32-bit Windows.
extern "C" int KALT_CDECL Excel4(int xlfn, xl::LPXLOPER operRes, int count, ...);
extern "C" int KALT_PASCAL Excel4v(int xlfn, xl::LPXLOPER operRes, int count, xl::LPXLOPER opers[]);
