// The C interface under concurrent callers, as Python calls it with its interpreter lock
// released: several threads call scalar and array entry points at once, and every answer is
// the one the same calls give one thread at a time. Run under ThreadSanitizer by
// tools/threads.sh, which fails on any data race; in the ordinary build it checks the answers.
//
// Each thread works on a fluid of its own at temperatures at least a degree apart, so that no
// answer can depend on which thread's call came just before (the engine's caches are reused
// only for the same fluid within 2^-23 in reduced temperature).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "capi/kaltra.h"

namespace {

const char* const kThreadFluids[] = {"R134a", "R22", "R717", "R744"};
constexpr int kRounds = 3;

std::uint64_t bitsOf(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// One thread's work: scalar calls of several functions, a text, and one array call; every
// answer as bits (a text by its first bytes).
std::vector<std::uint64_t> work(const char* fluid) {
    std::vector<std::uint64_t> answers;
    for (int i = 0; i < 40; ++i) {
        const double t = -30.0 + 1.5 * i;
        answers.push_back(bitsOf(kaltra_KaltPsat(fluid, t, 1)));
        answers.push_back(bitsOf(kaltra_KaltHofTP(fluid, t, 5.0, 1)));
        answers.push_back(bitsOf(kaltra_KaltSofTP(fluid, t, 5.0, 1)));
        answers.push_back(bitsOf(kaltra_KaltVg(fluid, t, 1)));
        answers.push_back(bitsOf(kaltra_KaltCpofTP(fluid, t, 5.0, 1)));
        answers.push_back(bitsOf(kaltra_KaltMUofTP(fluid, t, 5.0, 1)));
        char text[KALTRA_TEXT_SIZE];
        kaltra_KaltUnits(i % 8, i % 11, text, sizeof text);
        std::uint64_t head = 0;
        std::memcpy(&head, text, std::min<std::size_t>(sizeof head, std::strlen(text)));
        answers.push_back(head);
    }
    std::vector<double> temperatures(200), pressures = {2.0, 8.0};
    for (int i = 0; i < 200; ++i) temperatures[i] = -40.0 + 0.5 * i + 0.25;
    const int units = 1;
    const void* arguments[] = {temperatures.data(), pressures.data(), &units};
    const ptrdiff_t shape[] = {200, 2}, ts[] = {1, 0}, ps[] = {0, 1};
    const ptrdiff_t* strides[] = {ts, ps, nullptr};
    std::vector<double> out(400);
    kaltra_evaluate(kaltra_function_find("KaltHofTP"), fluid, 2, shape, arguments, strides, out.data());
    for (double x : out) answers.push_back(bitsOf(x));
    answers.push_back(static_cast<std::uint64_t>(kaltra_fluid_count()));
    return answers;
}

TEST(CapiThreads, ConcurrentCallersGetTheAnswersOfOneCallerAtATime) {
    constexpr int kThreads = sizeof kThreadFluids / sizeof kThreadFluids[0];
    std::vector<std::vector<std::uint64_t>> expected;
    for (const char* fluid : kThreadFluids) expected.push_back(work(fluid));

    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::vector<std::uint64_t>> got(kThreads);
        std::vector<std::thread> threads;
        for (int k = 0; k < kThreads; ++k) threads.emplace_back([&got, k] { got[k] = work(kThreadFluids[k]); });
        for (std::thread& thread : threads) thread.join();
        for (int k = 0; k < kThreads; ++k) {
            ASSERT_EQ(got[k].size(), expected[k].size());
            for (std::size_t i = 0; i < got[k].size(); ++i)
                ASSERT_EQ(got[k][i], expected[k][i]) << "round " << round << ", " << kThreadFluids[k] << ", answer " << i;
        }
    }
}

}  // namespace
