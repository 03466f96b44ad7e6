// `kaltra chart`: the pressure-enthalpy chart of one fluid (host/chart.h), traced from the
// add-in's worksheet functions called by name through the stand-in Excel, written as SVG.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/chart.h"
#include "host/kaltra.h"

namespace kaltra::host {

namespace {

constexpr int kCharted = 0;
constexpr int kCannotChart = 1;
constexpr int kCannotWrite = 2;

// The worksheet functions as the add-in registered them, called through the stand-in Excel
// with the arguments a worksheet would pass: the fluid as a text in Windows-1252, every
// other argument as a number.
class RegisteredCalls final : public chart::WorksheetCalls {
public:
    explicit RegisteredCalls(const std::vector<AddinFunction>& functions) : functions_(functions) {}

    double number(const char* function, const std::string& fluid, std::initializer_list<double> arguments) const override {
        std::vector<Value> values{textValue(windows1252FromUtf8(fluid))};
        for (double x : arguments) values.push_back(numberValue(x));
        Value answer = callNamed(functions_, function, values);
        if (answer.kind == ValueKind::integer) return answer.code;
        return answer.kind == ValueKind::number ? answer.number : chart::kUnanswered;
    }

    std::string text(const char* function, std::initializer_list<double> arguments) const override {
        std::vector<Value> values;
        for (double x : arguments) values.push_back(numberValue(x));
        Value answer = callNamed(functions_, function, values);
        return answer.kind == ValueKind::text ? utf8FromWindows1252(answer.text) : std::string();
    }

private:
    const std::vector<AddinFunction>& functions_;
};

bool writeFile(const std::string& path, const std::string& content) {
    if (path == "-") return std::fwrite(content.data(), 1, content.size(), stdout) == content.size() && std::fflush(stdout) == 0;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

const char* chartUsage() {
    return "       kaltra [--addin PATH] chart NAME [--units CODE] [-o FILE.svg]\n"
           "                                                draw the log(p)-h chart of a fluid as SVG (unit code\n"
           "                                                0-7, default 1; file NAME.svg by default, - for stdout)\n";
}

bool parseChartArguments(int argc, char** argv, ChartRequest& request) {
    for (int i = 0; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--units") == 0 || std::strcmp(argument, "-o") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "kaltra: chart: %s needs a value\n", argument);
                return false;
            }
            const char* value = argv[++i];
            if (argument[1] == 'o') {
                request.outputPath = value;
                continue;
            }
            char* end = nullptr;
            long units = std::strtol(value, &end, 10);
            if (end == value || *end != '\0' || units < 0 || units > 7) {
                std::fprintf(stderr, "kaltra: chart: the unit code must be a whole number from 0 to 7, not '%s'\n", value);
                return false;
            }
            request.units = static_cast<int>(units);
        } else if (argument[0] == '-' && argument[1] != '\0') {
            std::fprintf(stderr, "kaltra: chart: unknown option %s\n", argument);
            return false;
        } else if (request.fluid.empty()) {
            request.fluid = argument;
        } else {
            std::fprintf(stderr, "kaltra: chart: one fluid at a time (%s and %s given)\n", request.fluid.c_str(), argument);
            return false;
        }
    }
    if (request.fluid.empty()) {
        std::fprintf(stderr, "kaltra: chart: which fluid? e.g. kaltra chart R134a\n");
        return false;
    }
    return true;
}

int runChart(const ChartRequest& request, const std::vector<AddinFunction>& functions) {
    Value index = callNamed(functions, "KaltIndex", {textValue(windows1252FromUtf8(request.fluid))});
    if (index.kind != ValueKind::integer || index.code < 1) {
        std::fprintf(stderr, "kaltra: chart: no fluid is called '%s' (KaltIndex answers %s)\n", request.fluid.c_str(),
                     displayText(index).c_str());
        return kCannotChart;
    }
    RegisteredCalls calls(functions);
    chart::Chart chart;
    std::string problem;
    if (!chart::traceChart(calls, request.fluid, index.code, request.units, chart, problem)) {
        std::fprintf(stderr, "kaltra: chart: %s\n", problem.c_str());
        return kCannotChart;
    }
    std::string path = request.outputPath.empty() ? chart.fluid.name + ".svg" : request.outputPath;
    if (!writeFile(path, chart::chartSvg(chart))) {
        std::fprintf(stderr, "kaltra: chart: cannot write %s\n", path.c_str());
        return kCannotWrite;
    }
    return kCharted;
}

}  // namespace kaltra::host
