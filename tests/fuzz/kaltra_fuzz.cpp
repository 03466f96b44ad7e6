// libFuzzer target: bytes become one worksheet call and its arguments, and the answer must be
// well formed whatever the arguments.
//
// Arguments drawn from the bytes:
//   function   any of the 33
//   name       a catalogue text with letters in any case, any bytes of any length up to 300,
//              exactly 0, 255, 256 or 10,000 bytes of one byte value, a catalogue text with
//              any bytes after it (high bytes included), or a text of any length up to 12,000
//   doubles    NaN, +-infinity, the smallest denormals and any denormal, +-1e308, -0.0 and 0,
//              a value in the range a worksheet uses, or any 8 bytes
//   shorts     any 16-bit value
//
// The answer must be the shared value record of one of the four kinds; a number must be
// finite (the failure mark -999 included) and, when a double argument was not finite, exactly
// -999; a text must be the shared text buffer holding a counted string whose count byte equals
// the length of its characters; an error must be one of the three index errors; an integer
// only from KaltIndex, -1 or a catalogue position. A call must take less than a second of
// processor time.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <limits>
#include <string>

#include "fluids/fluids.h"
#include "shell/shell.h"
#include "tests/worksheet_calls.h"

namespace {

using namespace kaltra;

// A call that uses more processor time than this counts as a hang; the slowest (temperature
// from pressure and enthalpy) takes well under a millisecond without sanitizers. Processor
// time of the calling thread, so that a loaded machine does not make a call look slow.
constexpr double kMaxCallSeconds = 1.0;

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

constexpr double kFailureMark = -999.0;

// Error values of the three index functions.
constexpr int kIndexErrors[] = {2235, 2242, 2249};

using test::Arguments;
using Function = test::WorksheetFunction;

// ---- Arguments from bytes -------------------------------------------------------------------

// One of the catalogue texts (three per fluid).
std::string catalogueText(FuzzedDataProvider& bytes) {
    const RefrigerantRecord& r = *recordAt(bytes.ConsumeIntegralInRange<int>(1, kCatalogueSize));
    switch (bytes.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: return r.name;
        case 1: return r.formula;
        default: return r.longName;
    }
}

std::string nameOf(FuzzedDataProvider& bytes) {
    switch (bytes.ConsumeIntegralInRange<int>(0, 4)) {
        case 0: {
            // a catalogue text, each letter's case flipped or not
            std::string text = catalogueText(bytes);
            for (char& c : text)
                if (std::isalpha(static_cast<unsigned char>(c)) && bytes.ConsumeBool()) c ^= 0x20;
            return text;
        }
        case 1: return bytes.ConsumeBytesAsString(bytes.ConsumeIntegralInRange<std::size_t>(0, 300));
        case 2: {
            // the lengths at and past the limits of a counted string and far beyond
            constexpr std::size_t kLengths[] = {0, 255, 256, 10000};
            const std::size_t length = kLengths[bytes.ConsumeIntegralInRange<int>(0, 3)];
            return std::string(length, static_cast<char>(bytes.ConsumeIntegral<std::uint8_t>()));
        }
        case 3: return catalogueText(bytes) + bytes.ConsumeBytesAsString(bytes.ConsumeIntegralInRange<std::size_t>(0, 8));
        default: return bytes.ConsumeRandomLengthString(12000);
    }
}

double doubleOf(FuzzedDataProvider& bytes) {
    switch (bytes.ConsumeIntegralInRange<int>(0, 12)) {
        case 0: return std::numeric_limits<double>::quiet_NaN();
        case 1: return std::numeric_limits<double>::infinity();
        case 2: return -std::numeric_limits<double>::infinity();
        case 3: return std::numeric_limits<double>::denorm_min();
        case 4: return -std::numeric_limits<double>::denorm_min();
        case 5: {
            // any denormal of either sign: exponent bits zero
            std::uint64_t bits = bytes.ConsumeIntegral<std::uint64_t>() & 0x800fffffffffffffULL;
            double x;
            std::memcpy(&x, &bits, sizeof x);
            return x;
        }
        case 6: return 1e308;
        case 7: return -1e308;
        case 8: return -0.0;
        case 9: return 0.0;
        case 10: {
            // any 8 bytes, every class of double included
            std::uint64_t bits = bytes.ConsumeIntegral<std::uint64_t>();
            double x;
            std::memcpy(&x, &bits, sizeof x);
            return x;
        }
        default: return bytes.ConsumeFloatingPointInRange<double>(-500.0, 5000.0);
    }
}

// ---- Checks ---------------------------------------------------------------------------------

[[noreturn]] void fail(const Function& f, const std::string& name, const Arguments& x, const char* why) {
    std::fprintf(stderr, "%s(name of %zu bytes, %.17g, %.17g, units %d, index %d): %s\n", f.name, name.size(), x.a,
                 x.b, x.units, x.index, why);
    std::abort();
}

void check(const Function& f, const std::string& name, const Arguments& x, const xl::XLOPER* r) {
    if (r != &SharedResult) fail(f, name, x, "the answer is not the shared value record");
    switch (r->xltype) {
        case xl::xltypeNum: {
            if (!std::isfinite(r->val.num)) fail(f, name, x, "a number that is not finite");
            const bool nonFinite = (f.doubles >= 1 && !std::isfinite(x.a)) || (f.doubles == 2 && !std::isfinite(x.b));
            if (nonFinite && r->val.num != kFailureMark) fail(f, name, x, "a non-finite input did not answer -999");
            return;
        }
        case xl::xltypeStr: {
            if (r->val.str != SharedResultText) fail(f, name, x, "a text outside the shared text buffer");
            const std::size_t count = static_cast<unsigned char>(r->val.str[0]);
            if (std::strlen(r->val.str + 1) != count) fail(f, name, x, "the count byte differs from the text's length");
            return;
        }
        case xl::xltypeInt:
            if (std::strcmp(f.name, "KaltIndex") != 0) fail(f, name, x, "an integer from a function other than KaltIndex");
            if (r->val.w != -1 && (r->val.w < 1 || r->val.w > kCatalogueSize)) fail(f, name, x, "an index outside -1 and the catalogue");
            return;
        case xl::xltypeErr:
            for (int code : kIndexErrors)
                if (r->val.err == code) return;
            fail(f, name, x, "an error value other than the three index errors");
        default:
            fail(f, name, x, "a value record of a fifth kind");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider bytes(data, size);
    const Function& f = test::worksheetFunctions()[bytes.ConsumeIntegralInRange<int>(0, kFunctionCount - 1)];
    const std::string name = nameOf(bytes);
    Arguments x{name.c_str(), doubleOf(bytes), doubleOf(bytes), bytes.ConsumeIntegral<short>(),
                bytes.ConsumeIntegral<short>()};
    const double start = threadSeconds();
    const xl::XLOPER* r = callTableFunction(f, x);
    const double seconds = threadSeconds() - start;
    check(f, name, x, r);
    if (seconds > kMaxCallSeconds) fail(f, name, x, "the call took more than a second");
    return 0;
}
