// The chart subcommand of the kaltra host: a pressure-enthalpy chart (log p over h) of one
// fluid, drawn as SVG from the add-in's own worksheet functions, called by name through
// the functions the add-in registered.
#pragma once

#include <string>
#include <vector>

#include "host/kaltra.h"

namespace kaltra::host {

// What `kaltra chart NAME [--units CODE] [-o FILE.svg]` asks for.
struct ChartRequest {
    std::string fluid;       // name, formula or long name, UTF-8
    int units = 1;           // unit code 0-7
    std::string outputPath;  // empty: NAME.svg in the working directory; "-": standard output
};

// Reads the arguments that follow "chart"; false after telling why on stderr.
bool parseChartArguments(int argc, char** argv, ChartRequest& request);

// The usage lines of the chart subcommand.
const char* chartUsage();

// Draws the chart and writes it. Exit status: 0 written, 1 the fluid cannot be charted
// (unknown, or the add-in answers -999 for its saturation properties; told on stderr and
// no file is written), 2 the file cannot be written.
int runChart(const ChartRequest& request, const std::vector<AddinFunction>& functions);

}  // namespace kaltra::host
