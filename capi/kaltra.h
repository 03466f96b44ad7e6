/*
 * Kaltra's C interface: the 33 worksheet functions of the add-in as plain C functions, the
 * same functions evaluated over whole arrays in one call, the catalogue of fluids and the
 * function table with its help texts. Every host that is not Excel (Python, LibreOffice Calc,
 * a browser page, a C program) comes through here.
 *
 * Every answer is the one the add-in's exported worksheet function gives: each entry point
 * calls that function and reads the value record it fills, so bounding, unit conversion and
 * the numbers themselves are the add-in's own, bit for bit. Nothing here computes a property.
 *
 * Built as libkaltra.so (Linux) or kaltra.dll (Windows, MinGW-w64); it needs nothing but the
 * C and C++ runtime. Plain C: include it from C or C++.
 *
 * ---- Arguments -------------------------------------------------------------------------------
 * fluid   the fluid's designation, formula or long name, any letter case ("R134a", "CH2FCF3");
 *         zero-terminated ASCII. NULL, or a text that names no fluid, answers the failure mark.
 * units   the unit code: 0 English, 1 SI Common (C, bar, m3/kg, kJ/kg), 2 English Abs.,
 *         3 SI Formal, 4 SI kPa, 5 Metric, 6 MetricFormal, 7 cgs. Passed on as the 16-bit
 *         integer Excel passes; as in Excel only its lowest three bits count (8 acts as 0).
 * index   a 1-based catalogue position (KaltName, KaltLongName, KaltForm) or a label row
 *         (KaltUnits); passed on as a 16-bit integer.
 * Temperatures, pressures, volumes, enthalpies and entropies are in the unit system of the
 * unit code. Out-of-range values are bounded to the fluid's range, never refused.
 *
 * ---- Answers ---------------------------------------------------------------------------------
 * Number functions return the number. KALTRA_FAILURE_MARK (-999) is the add-in's answer when a
 * fluid cannot answer: unknown name, a fluid without transport data (R31's viscosity and
 * conductivity), a non-finite input, a state the equation of state has no answer for.
 * Text functions write the text into a caller's buffer (zero-terminated, cut to fit; a buffer
 * of KALTRA_TEXT_SIZE bytes holds every text) and return 0, or the add-in's error value (2235,
 * 2242, 2249 for a catalogue index outside 1 to kaltra_fluid_count()) with an empty text.
 * Texts are the add-in's bytes, Windows-1252: the degree mark is 0xBA, squared and cubed are
 * 0xB2 and 0xB3 ("\xBAC", "m\xB3/kg").
 *
 * ---- Threads ---------------------------------------------------------------------------------
 * Any thread may call any entry point at any time. The add-in's value record and the engine's
 * caches are process-wide, so one lock serialises every entry point that calls a worksheet
 * function: a scalar call holds it for that call, an array call for the whole array. What a
 * caller may rely on:
 *   - an answer is never torn or mixed with another thread's call;
 *   - an answer is bit for bit what the worksheet function gives after the same earlier
 *     calls. The engine keeps its last fluid and reduced temperature in coefficient caches
 *     and reuses them for a temperature within 2^-23 of it, so the last bits of an answer may
 *     depend on which call came just before, in any thread, exactly as in Excel;
 *   - calls do not run in parallel: two threads take turns, a long array call makes the other
 *     threads wait for its end;
 *   - the function-table entry points and KALTRA_* constants read static data and take no
 *     lock.
 * The library keeps no other state, allocates nothing per call and never ends the process.
 */
#ifndef KALTRA_H
#define KALTRA_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(KALTRA_STATIC)
#define KALTRA_API
#elif defined(_WIN32) && defined(KALTRA_BUILDING_CAPI)
#define KALTRA_API __declspec(dllexport)
#elif defined(_WIN32)
#define KALTRA_API __declspec(dllimport)
#else
#define KALTRA_API __attribute__((visibility("default")))
#endif

/* The add-in's answer when a fluid cannot answer. */
#define KALTRA_FAILURE_MARK (-999.0)
/* A text buffer this long holds every text the add-in answers (255 bytes and the zero). */
#define KALTRA_TEXT_SIZE 256
/* The most dimensions an array call takes. */
#define KALTRA_MAX_DIMENSIONS 32

/* Status of kaltra_evaluate. */
#define KALTRA_OK 0
#define KALTRA_NOT_A_NUMBER 1       /* some element answered a text or an error value: NaN there */
#define KALTRA_BAD_FUNCTION (-1)    /* no function at that table position */
#define KALTRA_BAD_SHAPE (-2)       /* dimensions outside 0..KALTRA_MAX_DIMENSIONS, a negative extent */
#define KALTRA_MISSING_ARRAY (-3)   /* a null argument, stride list or answer array where one is needed */

/* ---- Catalogue, identity and label functions ------------------------------------------- */

/* The label of quantity `index` in unit system `units` (0 pressure, 1 temperature, 2 specific
   volume, 3 enthalpy, 4 entropy, 5 specific heat, 6 dynamic viscosity, 7 kinematic viscosity,
   8 thermal conductivity, 9 surface tension, 10 the system's name); units 8 or out of range
   gives the quantity's name, an index out of range the system's name. Always 0. */
KALTRA_API int kaltra_KaltUnits(int units, int index, char* text, size_t size);
/* Designation, long name, formula of the fluid at a 1-based index; 0, or 2235, 2242, 2249. */
KALTRA_API int kaltra_KaltName(int index, char* text, size_t size);
KALTRA_API int kaltra_KaltLongName(int index, char* text, size_t size);
KALTRA_API int kaltra_KaltForm(int index, char* text, size_t size);
/* The 1-based catalogue index of a fluid, -1 when the text names none. */
KALTRA_API int kaltra_KaltIndex(const char* fluid);
/* Molecular weight; critical compressibility; highest temperature and pressure handled. */
KALTRA_API double kaltra_KaltMW(const char* fluid);
KALTRA_API double kaltra_KaltZc(const char* fluid);
KALTRA_API double kaltra_KaltTmax(const char* fluid, int units);
KALTRA_API double kaltra_KaltPmax(const char* fluid, int units);

/* ---- Saturation and P-v-T ----------------------------------------------------------------- */
KALTRA_API double kaltra_KaltPsat(const char* fluid, double temperature, int units);
KALTRA_API double kaltra_KaltTsat(const char* fluid, double pressure, int units);
KALTRA_API double kaltra_KaltVf(const char* fluid, double temperature, int units);
KALTRA_API double kaltra_KaltVg(const char* fluid, double temperature, int units);
KALTRA_API double kaltra_KaltPofTV(const char* fluid, double temperature, double volume, int units);
KALTRA_API double kaltra_KaltVofTP(const char* fluid, double temperature, double pressure, int units);
KALTRA_API double kaltra_KaltZofTV(const char* fluid, double temperature, double volume, int units);
KALTRA_API double kaltra_KaltZofTP(const char* fluid, double temperature, double pressure, int units);

/* ---- Caloric, inverse and specific heats ---------------------------------------------------- */
KALTRA_API double kaltra_KaltHf(const char* fluid, double temperature, int units);
KALTRA_API double kaltra_KaltHg(const char* fluid, double temperature, int units);
KALTRA_API double kaltra_KaltHofTV(const char* fluid, double temperature, double volume, int units);
KALTRA_API double kaltra_KaltHofTP(const char* fluid, double temperature, double pressure, int units);
KALTRA_API double kaltra_KaltSf(const char* fluid, double temperature, int units);
KALTRA_API double kaltra_KaltSg(const char* fluid, double temperature, int units);
KALTRA_API double kaltra_KaltSofTV(const char* fluid, double temperature, double volume, int units);
KALTRA_API double kaltra_KaltSofTP(const char* fluid, double temperature, double pressure, int units);
KALTRA_API double kaltra_KaltTofPH(const char* fluid, double pressure, double enthalpy, int units);
KALTRA_API double kaltra_KaltTofPS(const char* fluid, double pressure, double entropy, int units);
KALTRA_API double kaltra_KaltCpofTP(const char* fluid, double temperature, double pressure, int units);
KALTRA_API double kaltra_KaltCvofTP(const char* fluid, double temperature, double pressure, int units);

/* ---- Transport and surface tension ----------------------------------------------------------- */
KALTRA_API double kaltra_KaltSt(const char* fluid, double temperature, int units);
KALTRA_API double kaltra_KaltMUofTP(const char* fluid, double temperature, double pressure, int units);
KALTRA_API double kaltra_KaltNUofTP(const char* fluid, double temperature, double pressure, int units);
KALTRA_API double kaltra_KaltTKofTP(const char* fluid, double temperature, double pressure, int units);

/* ---- Catalogue -------------------------------------------------------------------------------
   Names, long names and formulas by index are kaltra_KaltName, kaltra_KaltLongName and
   kaltra_KaltForm; the unit labels kaltra_KaltUnits. */

/* Number of fluids in the catalogue: indexes 1 to this answer a name. */
KALTRA_API int kaltra_fluid_count(void);

/* ---- Function table --------------------------------------------------------------------------
   The worksheet functions in registration order, positions 0 to kaltra_function_count() - 1,
   with the texts Excel registers (ASCII), so that every host builds its help from one table.
   Texts are static: they live as long as the library. Out-of-range positions give NULL, 0 or
   '\0'. */

KALTRA_API int kaltra_function_count(void);
/* Position of a function by name, letters compared regardless of case; -1 if none. */
KALTRA_API int kaltra_function_find(const char* name);
KALTRA_API const char* kaltra_function_name(int function);  /* "KaltPsat" */
KALTRA_API const char* kaltra_function_help(int function);  /* "saturation pressure" */
KALTRA_API int kaltra_argument_count(int function);         /* 3 for KaltPsat */
/* 'C' a text (the fluid), 'B' a double, 'I' an integer (unit code or index). */
KALTRA_API char kaltra_argument_kind(int function, int argument);
KALTRA_API const char* kaltra_argument_name(int function, int argument);  /* "temperature" */
KALTRA_API const char* kaltra_argument_help(int function, int argument);  /* "unit code (0-7)" */

/* ---- Arrays ----------------------------------------------------------------------------------
   Evaluates the function at table position `function` once for every element of an array of
   `dimensions` dimensions (0 for a single call) and extents shape[0..dimensions-1], in one call
   and under one hold of the lock.

   The fluid (the function's 'C' argument, if it has one) is the same for every element. Every
   other argument, in table order, is an array: arguments[k] points at its first element (a
   double for a 'B' argument, an int for an 'I' argument) and strides[k] at its `dimensions`
   strides, counted in elements, not bytes. A stride of 0 repeats the element along that
   dimension, so inputs of different shapes broadcast as NumPy broadcasts them; strides[k] may
   be NULL for an argument that is one value for every element.

   answers receives one double per element, contiguous in row-major (C) order. An integer
   answer (KaltIndex) is stored as a double; a text or an error value as NaN, and the call then
   returns KALTRA_NOT_A_NUMBER. Elements are evaluated in row-major order, each exactly as the
   scalar call with the same arguments. Returns KALTRA_OK, KALTRA_NOT_A_NUMBER or, before any
   evaluation, a negative status. */
KALTRA_API int kaltra_evaluate(int function, const char* fluid, int dimensions, const ptrdiff_t* shape,
                               const void* const* arguments, const ptrdiff_t* const* strides, double* answers);

#ifdef __cplusplus
}
#endif

#endif /* KALTRA_H */
