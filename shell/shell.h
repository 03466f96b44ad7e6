// The add-in shell: the value record every worksheet function answers, the result
// builders, the function table the add-in registers from, the 33 worksheet functions and
// the six add-in entry points Excel calls by name.
#pragma once

#include "shell/xlcall.h"

namespace kaltra {

// ---- Value record -----------------------------------------------------------------------
// One process-wide record that every worksheet function fills and returns; Excel copies it
// before its next call. Text results point at SharedResultText: a count byte, up to 255
// characters and a terminating zero.
extern xl::XLOPER SharedResult;
extern char SharedResultText[257];

xl::LPXLOPER NumberResult(double x);
xl::LPXLOPER IntegerResult(int n);
xl::LPXLOPER ErrorResult(int code);
// Copies a stored text (never used as a format) into SharedResultText.
xl::LPXLOPER TextResult(const char* text);

// ---- Function table ---------------------------------------------------------------------
// A function is an 'R' row, one row per argument ('C' text, 'B' double, 'I' 16-bit
// integer), then an empty row (code 0); a second empty row ends the table.
//
// An R row also carries the exported function itself, so that a host other than Excel can
// call every function from this one table. Its type is the one the argument codes spell:
// the member named by them (ofCBI for a text, a double and an integer) is the one set.
// shell/table_functions.h reads the table that way for the C interface, the tests and the
// benchmarks: this table is the one list of the worksheet functions.
union WorksheetEntryPoint {
    const void* none;  // argument rows and empty rows
    xl::LPXLOPER(KALT_PASCAL* ofI)(short);
    xl::LPXLOPER(KALT_PASCAL* ofII)(short, short);
    xl::LPXLOPER(KALT_PASCAL* ofC)(const char*);
    xl::LPXLOPER(KALT_PASCAL* ofCI)(const char*, short);
    xl::LPXLOPER(KALT_PASCAL* ofCBI)(const char*, double, short);
    xl::LPXLOPER(KALT_PASCAL* ofCBBI)(const char*, double, double, short);
};

struct RegistrationEntry {
    char typeCode;
    const char* entryName;  // function name on an R row, argument name otherwise
    const char* helpText;   // function help on an R row, argument help otherwise
    WorksheetEntryPoint function = {};  // on an R row: the exported function
};

constexpr int kFunctionCount = 33;
extern const RegistrationEntry RegistrationTable[];

// ---- Registration (add-in open) ---------------------------------------------------------
// Limits of a function's registration texts.
constexpr int kMaxArguments = 30;
constexpr int kMaxArgumentHelps32 = 20;  // 32-bit Excel takes at most 20 argument helps

// Builds the registration texts of a table: per function its name, type text, argument
// text, function help, its argument helps (at most maxArgumentHelps, the last then ending
// in ", etc."), a null; one more null ends the list. Null when the table cannot be built.
char** buildRegistrationStrings(const RegistrationEntry* table, int maxArgumentHelps);
void freeRegistrationStrings(char** strings);

// Registers every function of a table with Excel; 1 on success, 0 after an alert.
int registerFunctions(const RegistrationEntry* table, int maxArgumentHelps);

}  // namespace kaltra

// ---- Exported entry points (C linkage, Excel's calling convention) -----------------------
using kaltra_name = const char*;

KALT_EXPORT int KALT_PASCAL xlAutoOpen(void);
KALT_EXPORT int KALT_PASCAL xlAutoClose(void);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL xlAutoRegister(xl::LPXLOPER name);
KALT_EXPORT int KALT_PASCAL xlAutoAdd(void);
KALT_EXPORT int KALT_PASCAL xlAutoRemove(void);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL xlAddInManagerInfo(xl::LPXLOPER action);

// Catalogue, identity and label functions.
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltUnits(short units, short index);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltName(short index);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltLongName(short index);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltForm(short index);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltIndex(kaltra_name name);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltMW(kaltra_name name);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltZc(kaltra_name name);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltTmax(kaltra_name name, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltPmax(kaltra_name name, short units);

// Saturation and P-v-T.
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltPsat(kaltra_name name, double t, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltTsat(kaltra_name name, double p, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltVf(kaltra_name name, double t, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltVg(kaltra_name name, double t, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltPofTV(kaltra_name name, double t, double v, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltVofTP(kaltra_name name, double t, double p, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltZofTV(kaltra_name name, double t, double v, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltZofTP(kaltra_name name, double t, double p, short units);

// Caloric, inverse, specific heats.
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltHf(kaltra_name name, double t, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltHg(kaltra_name name, double t, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltHofTV(kaltra_name name, double t, double v, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltHofTP(kaltra_name name, double t, double p, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltSf(kaltra_name name, double t, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltSg(kaltra_name name, double t, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltSofTV(kaltra_name name, double t, double v, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltSofTP(kaltra_name name, double t, double p, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltTofPH(kaltra_name name, double p, double h, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltTofPS(kaltra_name name, double p, double s, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltCpofTP(kaltra_name name, double t, double p, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltCvofTP(kaltra_name name, double t, double p, short units);

// Transport and surface tension.
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltSt(kaltra_name name, double t, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltMUofTP(kaltra_name name, double t, double p, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltNUofTP(kaltra_name name, double t, double p, short units);
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltTKofTP(kaltra_name name, double t, double p, short units);
