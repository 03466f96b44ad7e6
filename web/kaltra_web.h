/*
 * The browser page's own entry points into Kaltra's WebAssembly module (kaltra.js), beside the
 * C interface of capi/kaltra.h, which the module exports as it stands.
 *
 * Every number the page shows comes from a worksheet function called here, through the C
 * interface, exactly as the kaltra host calls it from a formula: the fluid as UTF-8 text
 * (turned into the add-in's Windows-1252 bytes as the host turns a formula's text), the other
 * arguments in the function table's order. The log(p)-h chart is the kaltra host's own chart
 * code (host/chart.h), traced through the same calls.
 *
 * Calls are numbered from 0 in the order they are made, the chart's among them. When the page
 * records, every call is also written down as a formula line the kaltra host reads, a tab and
 * the answer as the host prints it, so that a test can replay the page's calls in the host, in
 * the same order, and compare every answer bit for bit (the engine's coefficient caches make
 * the last bits of an answer depend on the call before it).
 *
 * Texts handed back live in the module until the next call of the same entry point.
 */
#ifndef KALTRA_WEB_H
#define KALTRA_WEB_H

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Worksheet calls ------------------------------------------------------------------------ */

/* The number answered by the worksheet function at table position `function` for `fluid`
   (ignored by a function without a fluid) and its other arguments in table order, as many of
   x, y, z as it takes; a unit code or an index is truncated toward zero, as the kaltra host
   passes a number to an integer argument. An integer answer (KaltIndex) comes as a number; NaN
   for a text or an error answer, an unknown position, or an integer argument outside 16 bits
   (a call that is not made). */
double kaltra_web_number(int function, const char* fluid, double x, double y, double z);

/* The text answered by the text function at table position `function` (KaltUnits, KaltName,
   KaltLongName, KaltForm) for its integer arguments x and y, in UTF-8; "" for an error value. */
const char* kaltra_web_text(int function, int x, int y);

/* How many worksheet calls have been made through the two entry points above: the last one
   made is this less one. */
int kaltra_web_call_count(void);

/* Recording of the calls: on (1) or off (0); the lines recorded since the last take, each
   "formula<TAB>answer\n", the recording emptied. */
void kaltra_web_record(int on);
const char* kaltra_web_record_take(void);

/* x as the C library writes it with "%.{digits}g" (digits 1 to 17), as the kaltra host prints
   its answers with 17. */
const char* kaltra_web_format(double x, int digits);

/* ---- The log(p)-h chart ------------------------------------------------------------------------ */

/* Traces the chart of `fluid` (UTF-8) in unit code `units` and keeps it: 1, or 0 when the
   worksheet functions give no chart (the reason in kaltra_web_chart_problem). */
int kaltra_web_chart_trace(const char* fluid, int units);

/* The kept chart as an SVG document, "" when none is kept. */
const char* kaltra_web_chart_svg(void);

/* Why the last tracing gave no chart, in a sentence; "" after a chart was traced. */
const char* kaltra_web_chart_problem(void);

/* Where an enthalpy and a pressure of the kept chart's unit system lie on it, in pixels of its
   page (x from the left, y from the top; NaN when no chart is kept). */
double kaltra_web_chart_x(double enthalpy);
double kaltra_web_chart_y(double pressure);

/* The chart's page and plot rectangle in pixels: 0 page width, 1 page height, 2 plot left,
   3 plot top, 4 plot width, 5 plot height; NaN for any other item. */
double kaltra_web_chart_layout(int item);

#ifdef __cplusplus
}
#endif

#endif /* KALTRA_WEB_H */
