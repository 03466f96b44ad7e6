// kaltra_fit: fits, checks and writes the coefficient sets of the catalogue fluids that have
// no published sets (the rows whose sets are fitted).
//
//   kaltra_fit [--reference DIR] [--output FILE] [--only R12,R50,...] [--write] [--check]
//              [--published] [--selftest]
//
// Without --only every fluid is refitted. A fluid that is not refitted keeps the set compiled
// into this program (the committed one). A refitted set replaces the old one only when it
// meets every exact condition and soundness rule; otherwise the old set is kept. --write
// writes the header atomically; --check only checks and measures the compiled-in sets;
// --published does the same for the published MBWR-form sets; --selftest compares the term
// rows the fit is built on with the engine's own evaluation (exit status 0 when they agree).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <utility>

#include "thermo/thermo.h"
#include "tools/fit/fit.h"
#include "tools/fit/mbwr_terms.h"

using namespace kaltra;
using namespace kaltra::fit;

namespace {

struct SummaryRow {
    std::string name, form;
    AccuracyReport a;
    std::string verdict;
};

// Slots 10 on of the block, in the layout of the fluid's form.
std::vector<double> setOf(const RefrigerantRecord& record, bool cubic) {
    const double* k = constantsOf(record);
    const int size = cubic ? slot::cubicSlots - 10 : slot::mbwrSlots - 10;
    return std::vector<double>(k + 10, k + 10 + size);
}

void restoreSet(const RefrigerantRecord& record, const std::vector<double>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) record.constants->slots[10 + i] = values[i];
}

// maxTemp, maxPressure and the ten scalars, as the generated header holds a fluid's constants.
std::vector<double> constantsOfRecord(const RefrigerantRecord& record) {
    std::vector<double> c = {record.maxTemp, record.maxPressure};
    c.insert(c.end(), constantsOf(record), constantsOf(record) + 10);
    return c;
}

void applyConstants(RefrigerantRecord& work, const double* constants) {
    work.maxTemp = constants[0];
    work.maxPressure = constants[1];
    std::copy(constants + 2, constants + 12, work.constants->slots);
    resetCoefficientCaches();
}

void printSpread(const char* label, const Spread& s) {
    std::printf("    %-22s median %8.4f %%  95th %8.4f %%  max %9.4f %%  (%d)\n", label, s.median, s.p95, s.max, s.count);
}

// Agreement of the fitter's term rows with the engine, on every MBWR-form set of the catalogue
// (the published ones and the fitted ones, so every gamma in use): the pressure, its slope, the
// residual Helmholtz energy, entropy and enthalpy, relative to their size (plus 1e-3).
int selfTest() {
    double worst = 0;
    const char* worstFluid = "";
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord& record = *recordAt(index);
        if (isCubicForm(record) || !hasCoefficientSets(record)) continue;
        const double* k = constantsOf(record);
        const double* b = k + slot::mbwrCoeffs;
        const double gamma = k[slot::gamma], zc = k[slot::critZ];
        for (double tr : {0.45, 0.8, 1.0, 1.7}) {
            for (double rho : {0.01, 0.5, 1.0, 2.2, 3.1}) {
                resetCoefficientCaches();
                const MbwrState s = mbwrState(b, tr, rho, gamma);
                const double p = mbwrPressure(record, tr, rho) * zc;
                const double slope = mbwrPressureSlope(record, tr, rho) * zc;
                const double i = mbwrResidual(record, tr, rho);
                const double di = mbwrResidualDT(record, tr, rho);
                // A_res/(R Tc) = Tr rho I; s_res/R = -rho (I + Tr dI/dTr); h_res/(R Tc) = A_res +
                // Tr s_res + Pr Zc/rho - Tr
                const double ar = tr * rho * i;
                const double sr = -rho * (i + tr * di);
                const double hr = -tr * tr * rho * di + p / rho - tr;
                for (const auto& [row, engine] : {std::pair{s.prZc, p}, std::pair{s.slope, slope},
                                                 std::pair{s.helmholtz, ar}, std::pair{s.entropy, sr},
                                                 std::pair{s.enthalpy, hr}}) {
                    const double e = std::fabs(row - engine) / (std::fabs(engine) + 1e-3);
                    if (e > worst) {
                        worst = e;
                        worstFluid = record.name;
                    }
                }
            }
        }
        const MbwrState c = mbwrState(b, 1.0, 1.0, gamma);
        std::printf("%-10s gamma %-5g Pr(1,1) Zc %.12g (Zc %.12g), slope %9.2e, curvature %9.2e\n", record.name, gamma,
                    c.prZc, zc, c.slope, c.curvature);
    }
    resetCoefficientCaches();
    std::printf("largest relative disagreement with the engine: %.3g (%s)\n", worst, worstFluid);
    return worst < 1e-9 ? 0 : 1;
}

void printReport(const char* name, const CheckReport& report, const AccuracyReport& accuracy) {
    std::printf("%s\n    exact conditions: %s; soundness: %s\n", name, report.exactFailures ? "FAIL" : "ok",
                report.soundFailures ? "FAIL" : "ok");
    for (const std::string& m : report.messages) std::printf("      %s\n", m.c_str());
    if (report.soundFailures > 0) std::printf("      (%d soundness failures in all)\n", report.soundFailures);
    printSpread("saturation pressure", accuracy.psat);
    printSpread("saturated liquid rho", accuracy.rhoL);
    printSpread("saturated vapor rho", accuracy.rhoV);
    printSpread("heat of vaporization", accuracy.hvap);
    printSpread("single-phase rho", accuracy.rhoSingle);
    printSpread("liquid h differences", accuracy.hLiquid);
    std::fflush(stdout);
}

// The same checks and measures on the published MBWR-form sets, for comparison.
int checkPublished(const std::string& reference) {
    for (int position = 0; position < kCatalogueSize; ++position) {
        const FluidRow& row = kFluidRows[position];
        const RefrigerantRecord& record = kCatalogue[position];
        if (row.sets.source != SetSource::published || isCubicForm(record)) continue;
        ReferenceTables tables;
        std::string message;
        if (!readReferenceTables(reference, record, row.fit.line, tables, message)) continue;
        printReport(row.name, checkRecord(record, row.fit), measureAccuracy(record, tables));
    }
    return 0;
}

// What the command line asks for.
struct Options {
    std::string reference = std::string(KALTRA_SOURCE_DIR) + "/../shared/reference";
    std::string output = std::string(KALTRA_SOURCE_DIR) + "/fluids/fitted_coefficients.h";
    std::set<std::string> only;
    bool write = false, checkOnly = false, published = false, selfTest = false;
};

// False (after the usage line) for an argument it does not know.
bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--reference" && i + 1 < argc) {
            o.reference = argv[++i];
        } else if (arg == "--output" && i + 1 < argc) {
            o.output = argv[++i];
        } else if (arg == "--only" && i + 1 < argc) {
            std::stringstream list(argv[++i]);
            std::string name;
            while (std::getline(list, name, ',')) o.only.insert(name);
        } else if (arg == "--write") {
            o.write = true;
        } else if (arg == "--check") {
            o.checkOnly = true;
        } else if (arg == "--published") {
            o.published = true;
        } else if (arg == "--selftest") {
            o.selfTest = true;
        } else {
            std::fprintf(stderr,
                         "usage: kaltra_fit [--reference DIR] [--output FILE] [--only R12,...] [--write] [--check] "
                         "[--published] [--selftest]\n");
            return false;
        }
    }
    return true;
}

// The sets of a run so far: what the header will hold, the summary rows, the fluids left
// without an accepted set, and the tables' version.
struct Run {
    std::vector<FittedSet> sets;
    std::vector<SummaryRow> rows;
    int failed = 0;
    std::string version;
};

// Fits (or, where the options leave it, only checks and measures) the fluid at a catalogue
// position whose sets are fitted, and adds the set to keep to the run: the new one where it
// passes every check, else the compiled-in one.
void fitFluid(int position, const Options& o, Run& run) {
    const FluidRow& row = kFluidRows[position];
    const FitFacts& facts = row.fit;
    const char* name = row.name;
    const bool generated = row.constants.generated;
    // A fluid whose constants the fitter derives is fitted on a copy of its record, whose
    // limits the fit may raise; its block is the catalogue's own.
    RefrigerantRecord work = kCatalogue[position];
    const RefrigerantRecord& record = generated ? work : kCatalogue[position];
    // every fluid the fitter derives constants for takes the MBWR form (gamma > 0)
    const bool cubic = !generated && isCubicForm(record);
    const std::vector<double> previous = setOf(record, cubic);
    const std::vector<double> previousConstants = constantsOfRecord(record);
    const bool refit = !o.checkOnly && (o.only.empty() || o.only.count(name) > 0);
    const bool hadSet = hasCoefficientSets(record);
    std::string message;
    DerivedConstants derived{};
    if (generated && !deriveConstants(o.reference, name, facts.line, derived, message)) {
        std::printf("%s: %s\n", name, message.c_str());
        run.sets.push_back({name, cubic, previous, generated, previousConstants, ""});
        ++run.failed;
        return;
    }
    if (!refit && !hadSet) {
        run.sets.push_back({name, cubic, previous, generated, previousConstants, derived.source});
        return;
    }
    if (generated && refit) applyConstants(work, derived.values);
    ReferenceTables tables;
    if (!readReferenceTables(o.reference, record, facts.line, tables, message)) {
        std::printf("%s: %s\n", name, message.c_str());
        applyConstants(work, previousConstants.data());
        run.sets.push_back({name, cubic, previous, generated, previousConstants, derived.source});
        ++run.failed;
        return;
    }
    if (run.version.empty()) run.version = tables.version;
    const auto fluidStart = std::chrono::steady_clock::now();
    std::string summary = "compiled-in set";
    if (refit) {
        summary = cubic       ? fitCubic(record, facts, tables)
                  : generated ? fitMbwrGenerated(work, facts, tables)
                              : fitMbwr(record, facts, tables);
    }
    const CheckReport report = checkRecord(record, facts);
    const AccuracyReport accuracy = measureAccuracy(record, tables);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - fluidStart).count();
    const std::string title = std::string(name) + " (" + (cubic ? "cubic" : "MBWR") +
                              (tables.estimated ? ", estimated table" : "") + "): " + summary + "; " +
                              std::to_string(seconds).substr(0, 4) + " s";
    printReport(title.c_str(), report, accuracy);
    run.rows.push_back({name, cubic ? "cubic" : "MBWR", accuracy,
                        report.ok() ? (refit ? "new set accepted" : "ok") : (refit ? "REJECTED, previous set kept" : "FAIL")});
    if (report.ok()) {
        run.sets.push_back({name, cubic, setOf(record, cubic), generated, constantsOfRecord(record), derived.source});
        // entropyRef and energyRef are computed at the first lookup: store them as 0
        if (cubic) run.sets.back().values[slot::entropyRef - 10] = run.sets.back().values[slot::energyRef - 10] = 0.0;
    } else {
        ++run.failed;
        restoreSet(record, previous);
        if (generated) applyConstants(work, previousConstants.data());
        run.sets.push_back({name, cubic, previous, generated, previousConstants, derived.source});
        std::printf("    set rejected; the previous set is kept\n");
    }
}

// The accuracy of every set kept, one line a fluid.
void printSummary(const Run& run, double seconds) {
    std::printf("\nAccuracy of the sets kept, with the engine, below 0.95 Tc for saturation (percent, median / 95th):\n");
    std::printf("%-11s %-5s %-15s %-15s %-15s %-15s %-15s %-15s %s\n", "fluid", "form", "psat", "rho liquid", "rho vapor",
                "h vaporization", "rho single", "liquid h diff.", "checks");
    for (const SummaryRow& row : run.rows)
        std::printf("%-11s %-5s %6.3f / %6.3f %6.3f / %6.3f %6.3f / %6.3f %6.3f / %6.3f %6.4f / %6.3f %6.3f / %6.3f %s\n",
                    row.name.c_str(), row.form.c_str(), row.a.psat.median, row.a.psat.p95, row.a.rhoL.median,
                    row.a.rhoL.p95, row.a.rhoV.median, row.a.rhoV.p95, row.a.hvap.median, row.a.hvap.p95,
                    row.a.rhoSingle.median, row.a.rhoSingle.p95, row.a.hLiquid.median, row.a.hLiquid.p95,
                    row.verdict.c_str());
    std::printf("%d fluid(s) without an accepted set; %.1f s in all\n", run.failed, seconds);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseOptions(argc, argv, o)) return 2;
    if (o.selfTest) return selfTest();
    if (o.published) return checkPublished(o.reference);

    const auto start = std::chrono::steady_clock::now();
    Run run;
    for (int position = 0; position < kCatalogueSize; ++position)
        if (kFluidRows[position].sets.source == SetSource::fitted) fitFluid(position, o, run);
    printSummary(run, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

    if (o.write) {
        const std::string provenance =
            "the reference property tables\n"
            "// ../shared/reference/<fluid>/{sat,single,ideal}.csv and info.json (" + run.version + ",\n"
            "// HEOS backend; the tables of R31, R505 and R506 are estimates by extended corresponding states)";
        std::string message;
        if (!writeFittedHeader(o.output, run.sets, provenance, message)) {
            std::fprintf(stderr, "%s\n", message.c_str());
            return 1;
        }
        std::printf("wrote %s\n", o.output.c_str());
    }
    return 0;
}
