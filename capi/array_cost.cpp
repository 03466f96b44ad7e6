// The cost of an array call of the C interface per element, against the worksheet function's
// own cost: KaltPsat of R134a over 1,000,000 temperatures, called directly in a loop, through
// kaltra_evaluate in one call, and through kaltra_KaltPsat once per element. Prints ns per
// element for each, the best of the repetitions; python/benchmarks/array_cost.py adds the
// Python package's own paths and writes the table of docs/performance.md.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "capi/call_timer.h"
#include "capi/kaltra.h"
#include "shell/shell.h"

int main(int argc, char** argv) {
    const std::size_t elements = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
    // A third argument runs one way alone (direct, array, scalar, or none for the set-up only),
    // for counting its instructions under callgrind.
    const std::string only = argc > 3 ? argv[3] : "";
    auto runs = [&](const char* way) { return only.empty() || only == way; };
    // -40 C to 60 C: every element a temperature the engine's caches do not hold.
    std::vector<double> t(elements), answers(elements);
    for (std::size_t i = 0; i < elements; ++i) t[i] = -40.0 + 100.0 * static_cast<double>(i) / static_cast<double>(elements);
    volatile double sink = 0.0;

    const int units = 1;
    const void* arguments[] = {t.data(), &units};
    const ptrdiff_t shape[] = {static_cast<ptrdiff_t>(elements)}, stride[] = {1};
    const ptrdiff_t* strides[] = {stride, nullptr};
    const int psat = kaltra_function_find("KaltPsat");
    // The three ways in turn within every repetition, so that a change in the machine's load
    // falls on all three alike; the best repetition of each counts.
    double direct = 1e300, array = 1e300, scalar = 1e300;
    for (int r = 0; r < repetitions; ++r) {
        if (runs("direct")) direct = std::min(direct, kaltra::nanosecondsPerElement(elements, [&] {
            for (std::size_t i = 0; i < elements; ++i) answers[i] = KaltPsat("R134a", t[i], 1)->val.num;
            sink = answers[elements / 2];
        }));
        if (runs("array")) array = std::min(array, kaltra::nanosecondsPerElement(elements, [&] {
            kaltra_evaluate(psat, "R134a", 1, shape, arguments, strides, answers.data());
            sink = answers[elements / 2];
        }));
        if (runs("scalar")) scalar = std::min(scalar, kaltra::nanosecondsPerElement(elements, [&] {
            for (std::size_t i = 0; i < elements; ++i) answers[i] = kaltra_KaltPsat("R134a", t[i], 1);
            sink = answers[elements / 2];
        }));
    }
    (void)sink;
    std::printf("worksheet_function\t%.1f\n", direct);
    std::printf("c_array\t%.1f\n", array);
    std::printf("c_scalar\t%.1f\n", scalar);
    return 0;
}
