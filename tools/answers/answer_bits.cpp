// Records the exact answers of a long, fixed sequence of worksheet calls, so that two builds
// can be compared bit for bit: a change meant to make Kaltra faster must leave every answer
// of every function unchanged.
//
//   kaltra_answer_bits calls              writes the call list (one call a line) to stdout
//   kaltra_answer_bits answers <list>     makes the calls of a list in order and writes each
//                                         answer: kind, bits in hex, the number as %.17g
//   kaltra_answer_bits describe <list>    writes the calls of a list readably, one a line
//
// The list is made once and then replayed by every build under comparison, so the inputs are
// the same bytes whatever the builds compute. It covers all 33 functions, every fluid under
// its name, formula and long name, unknown names, every unit code (0 to 7, and 8, -1, 15 whose
// low bits select a system), states across each fluid's whole range (below Tmin, the dome, its
// edges, the critical point, above Tmax), non-finite and extreme inputs, and calls in a row
// that fall within the coefficient caches' 2^-23 in reduced temperature of each other, the
// saturation functions among them between calls that read what each cache holds. The calls
// run in one process in list order, so what the caches carry from one call to the next is
// compared too. The functions are called through the function table (bench/worksheet_calls.h).
#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "bench/worksheet_calls.h"

namespace {

using namespace kaltra;
using namespace kaltra::bench;

// ---- The call list ------------------------------------------------------------------------
// A line: function, the name's bytes in hex, a and b as bit patterns in hex, units, index.

std::string hexBytes(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex.empty() ? "-" : hex;
}

std::string bytesOfHex(const std::string& hex) {
    std::string bytes;
    if (hex == "-") return bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
    return bytes;
}

std::uint64_t bitsOf(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

double doubleOfBits(std::uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

void writeCall(const char* function, const std::string& name, double a, double b, int units, int index) {
    std::printf("%s %s %016" PRIx64 " %016" PRIx64 " %d %d\n", function, hexBytes(name).c_str(), bitsOf(a), bitsOf(b),
                units, index);
}

// Unit codes: the eight systems, and three codes whose low bits select one of them.
constexpr int kUnitCodes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, -1, 15};

// Inputs outside every range, and of every class a double has.
const double kSpecialValues[] = {
    std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(), -0.0, 0.0, std::numeric_limits<double>::denorm_min(),
    -std::numeric_limits<double>::denorm_min(), 1e308, -1e308, 1e-300, -1e6, 1e6,
};

// A fluid's states in internal units, the lists the call grid walks.
struct Grid {
    std::vector<double> temperatures;        // degF, below Tmin to above Tmax
    std::vector<double> saturationPressures; // psia, for the saturation temperature
    std::vector<double> isobars;             // psia, for temperature from (P, h) or (P, s)
};

Grid gridOf(const RefrigerantRecord& record) {
    const double* k = constantsOf(record);
    const double tmin = k[slot::minTemp], tc = k[slot::critTemp], tmax = record.maxTemp;
    const double pmin = k[slot::minPressure], pc = k[slot::critPressure], pmax = record.maxPressure;
    Grid g;
    g.temperatures = {tmin - 30.0, tmin};
    for (double f : {0.02, 0.1, 0.2, 0.3, 0.45, 0.6, 0.75, 0.85, 0.92, 0.97, 0.99, 0.999})
        g.temperatures.push_back(tmin + f * (tc - tmin));
    for (double d : {-0.02, -0.01, -0.005, 0.0, 0.005, 1.0}) g.temperatures.push_back(tc + d);
    for (double f : {0.1, 0.5, 1.0}) g.temperatures.push_back(tc + f * (tmax - tc));
    g.temperatures.push_back(tmax + 100.0);

    g.saturationPressures = {1e-9, 0.5 * pmin, pmin};
    for (int i = 1; i <= 10; ++i) g.saturationPressures.push_back(pmin * std::pow(pc / pmin, i / 11.0));
    for (double f : {0.999, 1.0, 2.0}) g.saturationPressures.push_back(f * pc);

    g.isobars = {0.5 * pmin, pmin};
    for (int i = 1; i <= 5; ++i) g.isobars.push_back(pmin * std::pow(pc / pmin, i / 6.0));
    for (double f : {0.99, 1.0, 1.5}) g.isobars.push_back(f * pc);
    g.isobars.push_back(pmax);
    g.isobars.push_back(2.0 * pmax);
    return g;
}

// Pressures at a temperature: far below, around the saturation pressure, critical, maximum.
std::vector<double> pressuresAt(const RefrigerantRecord& record, double t) {
    const double* k = constantsOf(record);
    const double ps = saturationPressure(record, std::max(std::min(t, k[slot::critTemp]), k[slot::minTemp]));
    const double pc = k[slot::critPressure];
    return {0.001 * k[slot::minPressure], 0.5 * ps, 0.999 * ps, ps, 1.001 * ps, 2.0 * ps, pc, 1.5 * pc,
            record.maxPressure, 2.0 * record.maxPressure};
}

// Volumes at a temperature: below the quarter-critical bound, around both saturated volumes,
// inside the dome, far out in the vapor.
std::vector<double> volumesAt(const RefrigerantRecord& record, double t) {
    const double vc = constantsOf(record)[slot::critVolume];
    const SaturationState s = saturationState(record, t);
    return {0.2 * vc, 0.3 * vc, s.liquidVolume * (1.0 - 1e-9), s.liquidVolume, s.liquidVolume * 1.01,
            0.5 * (s.liquidVolume + s.vaporVolume), s.vaporVolume, s.vaporVolume * 1.01, 10.0 * s.vaporVolume,
            1000.0 * vc};
}

// Enthalpies (or entropies) on an isobar: below the liquid, at and between the saturated
// values, above the vapor, and far outside on both sides.
std::vector<double> caloricValuesOn(const RefrigerantRecord& record, double p, bool enthalpy) {
    const double* k = constantsOf(record);
    const double pb = std::max(std::min(p, record.maxPressure), k[slot::minPressure]);
    const double ts = saturationTemperature(record, pb);
    const double f = enthalpy ? satLiquidEnthalpy(record, ts) : satLiquidEntropy(record, ts);
    const double g = enthalpy ? satVaporEnthalpy(record, ts) : satVaporEntropy(record, ts);
    const double step = enthalpy ? 20.0 : 0.02;
    return {f - 5.0 * step, f - step, f, 0.5 * (f + g), g, g + step, g + 5.0 * step, -1e4, 1e4};
}

void writeFluidCalls(const RefrigerantRecord& record, const std::string& name) {
    const Grid g = gridOf(record);
    for (int units : kUnitCodes) {
        for (const char* f : {"KaltMW", "KaltZc", "KaltIndex"}) writeCall(f, name, 0, 0, units, 0);
        for (const char* f : {"KaltTmax", "KaltPmax"}) writeCall(f, name, 0, 0, units, 0);
        for (double t : g.temperatures) {
            const double tu = temperatureOut(units, t);
            for (const char* f : {"KaltPsat", "KaltVf", "KaltVg", "KaltHf", "KaltHg", "KaltSf", "KaltSg", "KaltSt"})
                writeCall(f, name, tu, 0, units, 0);
            for (double p : pressuresAt(record, t)) {
                const double pu = pressureOut(units, p);
                for (const char* f : {"KaltVofTP", "KaltZofTP", "KaltHofTP", "KaltSofTP", "KaltCpofTP", "KaltCvofTP",
                                      "KaltMUofTP", "KaltNUofTP", "KaltTKofTP"})
                    writeCall(f, name, tu, pu, units, 0);
            }
            for (double v : volumesAt(record, t)) {
                const double vu = volumeOut(units, v);
                for (const char* f : {"KaltPofTV", "KaltZofTV", "KaltHofTV", "KaltSofTV"})
                    writeCall(f, name, tu, vu, units, 0);
            }
        }
        for (double p : g.saturationPressures) writeCall("KaltTsat", name, pressureOut(units, p), 0, units, 0);
        for (double p : g.isobars) {
            const double pu = pressureOut(units, p);
            for (double h : caloricValuesOn(record, p, true)) writeCall("KaltTofPH", name, pu, enthalpyOut(units, h), units, 0);
            for (double s : caloricValuesOn(record, p, false)) writeCall("KaltTofPS", name, pu, entropyOut(units, s), units, 0);
        }
    }
}

// Calls in a row at reduced temperatures within 2^-23 of each other, on one fluid and then
// alternating with another: the answers show what the caches carry over.
void writeCacheCalls(const RefrigerantRecord& a, const RefrigerantRecord& b) {
    const double* k = constantsOf(a);
    const double tcAbs = k[slot::critTemp] + kRankineOffset;
    const double t0 = k[slot::minTemp] + 0.4 * (k[slot::critTemp] - k[slot::minTemp]);
    const double p0 = saturationPressure(a, t0);
    for (double dtr : {0.0, 1e-9, 5e-8, 1.1e-7, 1.3e-7, 1e-6}) {
        const double t = t0 + dtr * tcAbs;
        for (const char* f : {"KaltVofTP", "KaltHofTP", "KaltSofTP", "KaltCpofTP", "KaltMUofTP", "KaltTKofTP"}) {
            writeCall(f, a.name, t, 2.0 * p0, 0, 0);
            writeCall(f, a.name, t0, 0.5 * p0, 0, 0);
            writeCall(f, b.name, t, 2.0 * p0, 0, 0);
            writeCall(f, a.name, t, 0.5 * p0, 0, 0);
        }
        for (const char* f : {"KaltPsat", "KaltVf", "KaltVg", "KaltHf", "KaltHg", "KaltSf", "KaltSg"}) {
            writeCall(f, a.name, t, 0, 0, 0);
            writeCall(f, a.name, t0, 0, 0, 0);
        }
        writeCall("KaltHofTV", a.name, t, 1.5 * k[slot::critVolume], 0, 0);
        writeCall("KaltSofTV", a.name, t0, 1.5 * k[slot::critVolume], 0, 0);
    }
}

// Calls that answer from a saturation state (or, for KaltPsat, from the vapor pressure alone)
// met between calls that show what the four coefficient caches hold. The probe, the enthalpy
// of a vapor at (T, P), reads all four: its density solve the two pressure caches, its
// Helmholtz energy and entropy the two residual caches. A probe lies within 2^-23 in Tr of
// one earlier temperature and outside it of another, so that its bits tell which of the two
// each cache holds:
//   miss    the caches at a far temperature; the call at t0; probe at t0 + 0.6e-7 (in Tr)
//   hit     the caches at t0; the call at t0 + 0.8e-7; probe at t0 - 0.6e-7
//   other   the caches at t0; the call on the other fluid; probe at t0 + 0.6e-7
// A call that left a cache where the full saturation state would not have (or did not move
// one the full state would have) changes the probe's answer.
void writeSaturationCacheCalls(const RefrigerantRecord& a, const RefrigerantRecord& b) {
    struct Shift {
        const RefrigerantRecord& record;
        double t0, tcAbs;
        double at(double dtr) const { return t0 + dtr * tcAbs; }
    };
    auto shiftOf = [](const RefrigerantRecord& r) {
        const double* k = constantsOf(r);
        return Shift{r, k[slot::minTemp] + 0.55 * (k[slot::critTemp] - k[slot::minTemp]), k[slot::critTemp] + kRankineOffset};
    };
    const Shift sa = shiftOf(a), sb = shiftOf(b);
    auto probe = [](const RefrigerantRecord& r, double t) {
        writeCall("KaltHofTP", r.name, t, 0.5 * saturationPressure(r, t), 0, 0);
    };
    // Fills all four caches at exactly t (a compressed liquid's volume and enthalpy), after a
    // call far from t, so that no cache keeps a temperature just short of t.
    auto fill = [](const Shift& s, double t) {
        for (double tf : {s.at(5e-4), t}) writeCall("KaltHofTP", s.record.name, tf, 2.0 * saturationPressure(s.record, tf), 0, 0);
    };
    // The calls under test, at temperature t of a fluid whose saturation state at its t0 is s.
    auto callsAt = [](const RefrigerantRecord& r, double t, const SaturationState& s, auto&& each) {
        for (const char* f : {"KaltPsat", "KaltVf", "KaltVg", "KaltHf", "KaltHg", "KaltSf", "KaltSg"})
            each([=] { writeCall(f, r.name, t, 0, 0, 0); });
        const double volumes[] = {0.9 * s.liquidVolume, s.liquidVolume, 0.5 * (s.liquidVolume + s.vaporVolume),
                                  s.vaporVolume, 3.0 * s.vaporVolume};
        for (const char* f : {"KaltPofTV", "KaltZofTV", "KaltHofTV", "KaltSofTV"})
            for (double v : volumes) each([=] { writeCall(f, r.name, t, v, 0, 0); });
        for (const char* f : {"KaltCpofTP", "KaltCvofTP"})
            for (double p : {2.0 * s.satPressure, 0.5 * s.satPressure}) each([=] { writeCall(f, r.name, t, p, 0, 0); });
        // The saturation temperature of this pressure is t (to the bisection's resolution).
        const double p = saturationPressure(r, t);
        const double hf = satLiquidEnthalpy(r, t), hg = satVaporEnthalpy(r, t);
        const double sf = satLiquidEntropy(r, t), sg = satVaporEntropy(r, t);
        for (double h : {hf - 20.0, 0.5 * (hf + hg), hg + 20.0}) each([=] { writeCall("KaltTofPH", r.name, p, h, 0, 0); });
        for (double x : {sf - 0.02, 0.5 * (sf + sg), sg + 0.02}) each([=] { writeCall("KaltTofPS", r.name, p, x, 0, 0); });
    };
    const SaturationState satA = saturationState(a, sa.t0), satB = saturationState(b, sb.t0);
    callsAt(a, sa.t0, satA, [&](auto&& call) {  // miss
        fill(sa, sa.at(5e-4));
        call();
        probe(a, sa.at(0.6e-7));
    });
    callsAt(a, sa.at(0.8e-7), satA, [&](auto&& call) {  // hit
        fill(sa, sa.t0);
        call();
        probe(a, sa.at(-0.6e-7));
    });
    callsAt(b, sb.t0, satB, [&](auto&& call) {  // other
        fill(sa, sa.t0);
        call();
        probe(a, sa.at(0.6e-7));
        probe(b, sb.at(0.6e-7));
    });
}

void writeCalls() {
    // Catalogue and label functions, every index and unit code and beyond.
    for (int units = -2; units <= 10; ++units)
        for (int index = -2; index <= 12; ++index) writeCall("KaltUnits", "", 0, 0, units, index);
    for (int index = -2; index <= 41; ++index)
        for (const char* f : {"KaltName", "KaltLongName", "KaltForm"}) writeCall(f, "", 0, 0, 0, index);
    for (int index = 32760; index <= 32767; ++index) writeCall("KaltName", "", 0, 0, 0, index);
    writeCall("KaltName", "", 0, 0, 0, -32768);

    // Every record by name for the identity functions, and in full.
    for (int i = 1; i <= kCatalogueSize; ++i) {
        const RefrigerantRecord& r = *recordAt(i);
        for (const char* text : {r.name, r.formula, r.longName})
            for (const char* f : {"KaltIndex", "KaltMW", "KaltZc", "KaltTmax", "KaltPmax"}) writeCall(f, text, 0, 0, 1, 0);
        writeCall("KaltSt", r.name, 0.0, 0, 0, 0);
        writeCall("KaltHofTP", r.name, 50.0, 100.0, 0, 0);
    }
    std::vector<const RefrigerantRecord*> fluids;
    for (int i = 1; i <= kCatalogueSize; ++i) fluids.push_back(findRefrigerant(recordAt(i)->name));
    for (const RefrigerantRecord* record : fluids) writeFluidCalls(*record, record->name);
    // The same fluids by formula and long name, and in another letter case, at a few states.
    for (const RefrigerantRecord* record : fluids) {
        const RefrigerantRecord& r = *record;
        std::string upper = r.longName;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (const std::string& text : {std::string(r.formula), upper})
            for (const char* f : {"KaltPsat", "KaltHg", "KaltSt"}) writeCall(f, text, 20.0, 0, 1, 0);
    }

    // Names that find nothing or find a fluid that cannot answer.
    const std::string names[] = {"", "R", "R134", "R134a ", " R134a", "R718", "R31", std::string(255, 'R'),
                                 std::string(256, 'R'), std::string(10000, 'x'), "R\xba" "134a", "\xff\xfe\x80"};
    for (const std::string& name : names)
        for (const Function& f : functions()) writeCall(f.name, name, 20.0, 10.0, 1, 1);

    // Special inputs in every argument of every property function.
    for (const char* name : {"R134a", "R13b1", "R717"}) {
        for (const Function& f : functions()) {
            for (double x : kSpecialValues)
                for (int units : {0, 1, 3, 7}) {
                    writeCall(f.name, name, x, 100.0, units, 1);
                    writeCall(f.name, name, 50.0, x, units, 1);
                }
        }
    }

    const RefrigerantRecord& r134a = *findRefrigerant("R134a");
    const RefrigerantRecord& r22 = *findRefrigerant("R22");
    const RefrigerantRecord& r13b1 = *findRefrigerant("R13b1");
    writeCacheCalls(r134a, r22);
    writeCacheCalls(r22, r13b1);
    writeCacheCalls(r13b1, r134a);
    // The saturation side's caches: an MBWR fluid after another, each form after the other,
    // and the fluids whose density solve takes its own path (Newton steps or bisection only).
    const char* const pairs[][2] = {{"R134a", "R22"}, {"R22", "R134a"}, {"R717", "R13b1"},
                                    {"R13b1", "R717"}, {"R31", "R704"},  {"R704", "R31"}};
    for (const auto& pair : pairs) writeSaturationCacheCalls(*findRefrigerant(pair[0]), *findRefrigerant(pair[1]));
}

// ---- Replaying a list ---------------------------------------------------------------------

void writeAnswer(const xl::XLOPER* r) {
    if (r == nullptr) {
        std::puts("null");
        return;
    }
    switch (r->xltype) {
        case xl::xltypeNum:
            std::printf("num %016" PRIx64 " %.17g\n", bitsOf(r->val.num), r->val.num);
            return;
        case xl::xltypeInt:
            std::printf("int %d\n", r->val.w);
            return;
        case xl::xltypeErr:
            std::printf("err %d\n", r->val.err);
            return;
        case xl::xltypeStr: {
            const int count = static_cast<unsigned char>(r->val.str[0]);
            std::printf("str %s\n", hexBytes(std::string(r->val.str + 1, count)).c_str());
            return;
        }
        default:
            std::printf("kind %d\n", r->xltype);
    }
}

// One call of a list, read back: the function's name, the name's bytes and the arguments.
struct ListedCall {
    std::string function, name;
    double a, b;
    int units, index;
};

// Reads a list and hands each call to `each` in order; false when the list cannot be read or
// `each` refuses a call.
template <typename Each>
bool forEachCall(const char* path, const Each& each) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return false;
    }
    std::string function, nameHex, aHex, bHex;
    int units = 0, index = 0;
    long line = 0;
    while (in >> function >> nameHex >> aHex >> bHex >> units >> index) {
        ++line;
        const ListedCall call{function, bytesOfHex(nameHex), doubleOfBits(std::strtoull(aHex.c_str(), nullptr, 16)),
                              doubleOfBits(std::strtoull(bHex.c_str(), nullptr, 16)), units, index};
        if (!each(call, line)) return false;
    }
    return true;
}

int replay(const char* path) {
    const bool read = forEachCall(path, [](const ListedCall& call, long line) {
        const Function* f = functionNamed(call.function.c_str());
        if (f == nullptr) {
            std::fprintf(stderr, "line %ld: unknown function %s\n", line, call.function.c_str());
            return false;
        }
        writeAnswer(callTableFunction(*f->function, {call.name.c_str(), call.a, call.b, static_cast<short>(call.units),
                                                     static_cast<short>(call.index)}));
        return true;
    });
    return read ? 0 : 2;
}

// Writes each call of a list as a reader would type it: function, the name's text (a long
// one cut short), the two doubles as %.17g, the unit code and the index.
int describe(const char* path) {
    const bool read = forEachCall(path, [](const ListedCall& call, long) {
        std::string name = call.name;
        if (name.size() > 40) name = name.substr(0, 12) + "...(" + std::to_string(name.size()) + " bytes)";
        std::printf("%s(\"%s\", %.17g, %.17g, units %d, index %d)\n", call.function.c_str(), name.c_str(), call.a,
                    call.b, call.units, call.index);
        return true;
    });
    return read ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "describe") == 0) return describe(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "calls") == 0) {
        writeCalls();
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "answers") == 0) return replay(argv[2]);
    std::fprintf(stderr, "usage: %s calls | answers <call list> | describe <call list>\n", argv[0]);
    return 2;
}
