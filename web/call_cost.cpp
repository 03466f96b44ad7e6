// The native side of the page's benchmark (web/tests/benchmark.mjs): the cost of one worksheet
// call through the C interface in this process, for the calls the benchmark times in the
// browser, over the same inputs. Prints, for each call, ns per call once per element
// (kaltra_KaltXxx) and ns per element of one kaltra_evaluate over the array, the best of the
// repetitions.
//
//   kaltra_web_bench [elements] [repetitions] [KaltPsat|KaltHofTP|KaltTofPH]
//
// With a function named, only its calls once per element, once: what callgrind counts.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "capi/call_timer.h"
#include "capi/kaltra.h"

namespace {

// The i-th of n steps from a to b, as the benchmark in the browser takes them.
double along(double a, double b, std::size_t i, std::size_t n) {
    return a + (b - a) * static_cast<double>(i) / static_cast<double>(n);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 7;
    const std::string only = argc > 3 ? argv[3] : "";
    // KaltPsat of R134a from -40 to 60 C; KaltHofTP at 1 bar from -20 to 80 C; KaltTofPH at
    // 5 bar from 200 to 450 kJ/kg: every element a state the engine's caches do not hold.
    std::vector<double> t(n), tv(n), p1(n, 1.0), p5(n, 5.0), h(n), answers(n);
    for (std::size_t i = 0; i < n; ++i) {
        t[i] = along(-40.0, 60.0, i, n);
        tv[i] = along(-20.0, 80.0, i, n);
        h[i] = along(200.0, 450.0, i, n);
    }
    const int units = 1;
    const ptrdiff_t shape[] = {static_cast<ptrdiff_t>(n)}, stride[] = {1};
    const ptrdiff_t* strides2[] = {stride, nullptr};
    const ptrdiff_t* strides3[] = {stride, stride, nullptr};
    volatile double sink = 0.0;
    struct Way {
        const char* name;
        double scalar = 1e300, array = 1e300;
    } ways[] = {{"KaltPsat"}, {"KaltHofTP"}, {"KaltTofPH"}};
    if (!only.empty()) {
        for (std::size_t i = 0; i < n; ++i) {
            if (only == "KaltPsat") sink = kaltra_KaltPsat("R134a", t[i], 1);
            if (only == "KaltHofTP") sink = kaltra_KaltHofTP("R134a", tv[i], p1[i], 1);
            if (only == "KaltTofPH" && i % 10 == 0) sink = kaltra_KaltTofPH("R134a", p5[i], h[i], 1);
        }
        return 0;
    }
    for (int r = 0; r < repetitions; ++r) {
        ways[0].scalar = std::min(ways[0].scalar, kaltra::nanosecondsPerElement(n, [&] {
            for (std::size_t i = 0; i < n; ++i) answers[i] = kaltra_KaltPsat("R134a", t[i], 1);
            sink = answers[n / 2];
        }));
        ways[0].array = std::min(ways[0].array, kaltra::nanosecondsPerElement(n, [&] {
            const void* arguments[] = {t.data(), &units};
            kaltra_evaluate(kaltra_function_find("KaltPsat"), "R134a", 1, shape, arguments, strides2, answers.data());
            sink = answers[n / 2];
        }));
        ways[1].scalar = std::min(ways[1].scalar, kaltra::nanosecondsPerElement(n, [&] {
            for (std::size_t i = 0; i < n; ++i) answers[i] = kaltra_KaltHofTP("R134a", tv[i], p1[i], 1);
            sink = answers[n / 2];
        }));
        ways[1].array = std::min(ways[1].array, kaltra::nanosecondsPerElement(n, [&] {
            const void* arguments[] = {tv.data(), p1.data(), &units};
            kaltra_evaluate(kaltra_function_find("KaltHofTP"), "R134a", 1, shape, arguments, strides3, answers.data());
            sink = answers[n / 2];
        }));
        ways[2].scalar = std::min(ways[2].scalar, kaltra::nanosecondsPerElement(n / 10, [&] {
            for (std::size_t i = 0; i < n / 10; ++i) answers[i] = kaltra_KaltTofPH("R134a", p5[i], h[i * 10], 1);
            sink = answers[n / 20];
        }));
        ways[2].array = std::min(ways[2].array, kaltra::nanosecondsPerElement(n / 10, [&] {
            const ptrdiff_t tenth[] = {static_cast<ptrdiff_t>(n / 10)}, every10[] = {10};
            const ptrdiff_t* strides[] = {stride, every10, nullptr};
            const void* arguments[] = {p5.data(), h.data(), &units};
            kaltra_evaluate(kaltra_function_find("KaltTofPH"), "R134a", 1, tenth, arguments, strides, answers.data());
            sink = answers[n / 20];
        }));
    }
    (void)sink;
    for (const Way& way : ways) std::printf("%s\t%.1f\t%.1f\n", way.name, way.scalar, way.array);
    return 0;
}
