// The stand-in Excel: the callbacks Excel4 and Excel4v for what the add-in asks of Excel
// (xlfRegister, xlGetName, xlFree, xlCoerce, xlcAlert), built as a shared library that the
// add-in links against as it links against Excel's callback library on Windows. On Windows
// it is that library, XLCALL32.DLL, exporting XLCallVer, Excel4, Excel4v and LPenHelper by
// name and by the ordinals 1 to 4.
//
// It remembers every registration and every alert, checks every counted string it is
// handed, and can be told to refuse one registration. This header is its control side,
// used by the kaltra host and the tests; the add-in sees only Excel4 and Excel4v.
#pragma once

#include <string>
#include <vector>

#include "host/platform.h"

namespace standin {

// Positions of the texts of one registration, in the order xlfRegister takes them.
enum RegisterArgument : int {
    fileName = 0,
    procedure = 1,
    typeText = 2,
    functionText = 3,
    argumentText = 4,
    macroType = 5,
    category = 6,
    shortcut = 7,
    helpTopic = 8,
    functionHelp = 9,
    firstArgumentHelp = 10,
};

// One accepted xlfRegister call: every argument as the text its counted string holds.
struct Registration {
    std::vector<std::string> texts;
};

// One xlcAlert call: the text its counted string holds and the alert kind.
struct Alert {
    std::string text;
    int kind;
};

}  // namespace standin

// Forgets registrations, alerts, the call log, the refusal and the malformed count, and
// releases file names never freed. The add-in path is kept.
STANDIN_API void standinReset();

// The full file name xlGetName answers (default "Kaltra64").
STANDIN_API void standinSetAddinPath(const char* path);

// Makes the k-th xlfRegister call from now on fail (1-based); 0 refuses none. A reset
// refuses none again.
STANDIN_API void standinFailRegistration(int k);

// Registrations accepted since the last reset, in call order.
STANDIN_API const std::vector<standin::Registration>& standinRegistrations();

// Alerts shown since the last reset, in order.
STANDIN_API const std::vector<standin::Alert>& standinAlerts();

// Function numbers of every Excel4/Excel4v call since the last reset, in order.
STANDIN_API const std::vector<int>& standinCallLog();

// Texts handed over that were not well-formed counted strings: a null pointer, a value
// that is not text where text belongs, or a zero byte inside the counted characters (a
// count longer than its text).
STANDIN_API int standinMalformedCount();

// File names answered by xlGetName and not yet released with xlFree.
STANDIN_API int standinOutstandingNames();
