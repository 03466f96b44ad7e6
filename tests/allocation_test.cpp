// Heap use at the Excel boundary: no worksheet call allocates, whatever its arguments, and the
// registration at open allocates only its own texts and argument arrays, which it keeps until
// the next open releases them.
//
// Every allocation of the process is counted twice over: operator new and delete are replaced,
// and malloc, calloc, realloc, the aligned allocators and free are interposed in front of the
// C library's own (glibc's __libc_ entry points), so that an allocation made by C code or by
// the C++ library underneath is seen as well. Under AddressSanitizer, which interposes the
// allocator itself, only operator new is counted.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "fluids/fluids.h"
#include "host/standin_excel.h"
#include "shell/shell.h"
#include "tests/worksheet_calls.h"
#include "thermo/thermo.h"

// ---- Counting every allocation ----------------------------------------------------------

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || __has_feature(thread_sanitizer)
#define KALTRA_ALLOCATOR_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KALTRA_ALLOCATOR_SANITIZED 1
#endif
#if defined(__GLIBC__) && !defined(KALTRA_ALLOCATOR_SANITIZED)
#define KALTRA_COUNT_MALLOC 1
#endif

namespace {

// Counts since the start of the process; plain integers, the test runs on one thread.
struct HeapCounts {
    unsigned long long news;     // operator new, every form
    unsigned long long deletes;  // operator delete of a block, every form
    unsigned long long mallocs;  // malloc, calloc, realloc of a new block, aligned allocators
    unsigned long long frees;    // free (and realloc to zero) of a block
};
HeapCounts heap{};

// Kept out of line: inlined into a test body, the malloc inside operator new and the free
// inside operator delete would look to the compiler like a mismatched pair.
[[gnu::noinline]] void* counted(std::size_t size) {
    ++heap.news;
    return std::malloc(size ? size : 1);
}

[[gnu::noinline]] void* countedAligned(std::size_t size, std::align_val_t alignment) {
    ++heap.news;
    const std::size_t a = static_cast<std::size_t>(alignment);
    return std::aligned_alloc(a, (size + a - 1) / a * a);
}

[[gnu::noinline]] void uncounted(void* block) {
    if (block == nullptr) return;
    ++heap.deletes;
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
    void* block = counted(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}
void* operator new[](std::size_t size) {
    void* block = counted(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return counted(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return counted(size); }
void* operator new(std::size_t size, std::align_val_t a) {
    void* block = countedAligned(size, a);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}
void* operator new[](std::size_t size, std::align_val_t a) {
    void* block = countedAligned(size, a);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}
void operator delete(void* block) noexcept { uncounted(block); }
void operator delete[](void* block) noexcept { uncounted(block); }
void operator delete(void* block, std::size_t) noexcept { uncounted(block); }
void operator delete[](void* block, std::size_t) noexcept { uncounted(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { uncounted(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { uncounted(block); }
void operator delete(void* block, std::align_val_t) noexcept { uncounted(block); }
void operator delete[](void* block, std::align_val_t) noexcept { uncounted(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { uncounted(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { uncounted(block); }

#ifdef KALTRA_COUNT_MALLOC
// The C library's own allocator, under the names it keeps for those who stand in front of it.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* block);

void* malloc(std::size_t size) {
    ++heap.mallocs;
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    ++heap.mallocs;
    return __libc_calloc(count, size);
}
void* realloc(void* block, std::size_t size) {
    if (block == nullptr) ++heap.mallocs;
    if (block != nullptr && size == 0) ++heap.frees;
    return __libc_realloc(block, size);
}
void free(void* block) {
    if (block != nullptr) ++heap.frees;
    __libc_free(block);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    ++heap.mallocs;
    return __libc_memalign(alignment, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
    ++heap.mallocs;
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** block, std::size_t alignment, std::size_t size) {
    ++heap.mallocs;
    *block = __libc_memalign(alignment, size);
    return *block != nullptr ? 0 : ENOMEM;
}
}  // extern "C"
#endif

namespace {

using namespace kaltra;

unsigned long long allocations() { return heap.news + heap.mallocs; }
unsigned long long releases() { return heap.deletes + heap.frees; }

using kaltra::test::Arguments;
using kaltra::test::WorksheetFunction;
using kaltra::test::worksheetFunctions;

// ---- Arguments: fluids, states, unit codes, bad input -------------------------------------

constexpr short kUnitCodes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, -1};

const double kSpecialValues[] = {
    std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(), -0.0, std::numeric_limits<double>::denorm_min(), 1e308, -1e308,
};

// Names at and past the longest text Excel passes, built before any count.
const std::string kName255(255, 'R');
const std::string kName256(256, 'R');
const std::string kName10000(10000, 'x');

// Every fluid by each of its texts, names that find nothing, and, for every fluid, its whole
// range in every unit code: below minTemp to above maxTemp,
// pressures around the saturation pressure, volumes around the saturated volumes, and
// enthalpies and entropies on and off the dome.
std::vector<Arguments> manyArguments() {
    std::vector<Arguments> all;
    for (int i = 1; i <= kCatalogueSize; ++i) {
        const RefrigerantRecord& r = *recordAt(i);
        for (const char* text : {r.name, r.formula, r.longName})
            all.push_back({text, 20.0, 10.0, 1, static_cast<short>(i)});
    }
    for (short index : {-1, 0, 11, 40, 54, 55, 32767}) all.push_back({"", 0.0, 0.0, index, index});
    for (const std::string* name : {&kName255, &kName256, &kName10000}) all.push_back({name->c_str(), 20.0, 10.0, 1, 1});
    for (const char* name : {"", "R134", "R134a ", "\xba\xb2\xb3", "nonsense"}) all.push_back({name, 20.0, 10.0, 1, 1});

    for (int i = 1; i <= kCatalogueSize; ++i) {
        const RefrigerantRecord& r = *recordAt(i);
        const double* k = constantsOf(r);
        const double tmin = k[slot::minTemp], tc = k[slot::critTemp];
        for (short units : kUnitCodes) {
            for (double f : {-0.1, 0.0, 0.3, 0.7, 0.98, 1.0, 1.2}) {
                const double t = f < 1.0 ? tmin + f * (tc - tmin) : tc + (f - 1.0) * (r.maxTemp - tc) * 5.0;
                const SaturationState sat = saturationState(r, t);
                const double tu = temperatureOut(units, t);
                for (double p : {0.001 * k[slot::minPressure], 0.5 * sat.satPressure, sat.satPressure,
                                 2.0 * sat.satPressure, 2.0 * r.maxPressure})
                    all.push_back({r.name, tu, pressureOut(units, p), units, 1});
                for (double v : {0.2 * k[slot::critVolume], sat.liquidVolume, 0.5 * (sat.liquidVolume + sat.vaporVolume),
                                 sat.vaporVolume * 3.0})
                    all.push_back({r.name, tu, volumeOut(units, v), units, 1});
                const double hf = enthalpyTV(r, t, sat.liquidVolume), hg = enthalpyTV(r, t, sat.vaporVolume);
                for (double h : {hf - 30.0, 0.5 * (hf + hg), hg + 30.0})
                    all.push_back({r.name, pressureOut(units, sat.satPressure), enthalpyOut(units, h), units, 1});
            }
        }
        for (double x : kSpecialValues) {
            all.push_back({r.name, x, 10.0, 1, 1});
            all.push_back({r.name, 20.0, x, 1, 1});
        }
    }
    return all;
}

// Calls one function with every argument set; each call must leave the counts unchanged.
// Only after a call has allocated is anything built for the message.
void expectNoAllocation(const WorksheetFunction& f, const std::vector<Arguments>& arguments, int& calls) {
    for (const Arguments& x : arguments) {
        const unsigned long long before = allocations(), releasedBefore = releases();
        callTableFunction(f, x);
        const unsigned long long made = allocations() - before, released = releases() - releasedBefore;
        ++calls;
        if (made != 0 || released != 0) {
            ADD_FAILURE() << f.name << "(\"" << std::string(x.name).substr(0, 40) << "\", " << x.a << ", " << x.b
                          << ", units " << x.units << ", index " << x.index << ") allocated " << made
                          << " blocks and released " << released;
        }
    }
}

// ---- Tests --------------------------------------------------------------------------------

// The counts must see an allocation when there is one, or the tests below could not fail.
TEST(HeapCount, SeesAnAllocationByNewAndByMalloc) {
    const unsigned long long news = heap.news;
    std::string* text = new std::string(100, 'x');
    EXPECT_GE(heap.news, news + 2) << "a string object and its characters";
    delete text;
#ifdef KALTRA_COUNT_MALLOC
    const unsigned long long mallocs = heap.mallocs, frees = heap.frees;
    char* copy = strdup("a text the C library copies");
    EXPECT_EQ(heap.mallocs, mallocs + 1) << "strdup allocates through malloc";
    std::free(copy);
    EXPECT_EQ(heap.frees, frees + 1);
#endif
}

// The catalogue's lookup index is built at the first lookup of the process, in static storage:
// run in file order, this is that first lookup (any later one allocates nothing either).
TEST(HeapCount, TheFirstLookupBuildsItsIndexWithoutAllocating) {
    const unsigned long long before = allocations(), releasedBefore = releases();
    const RefrigerantRecord* r = findRefrigerant("r1270");
    const int index = refrigerantIndex("CHLORODIFLUOROMETHANE");
    EXPECT_EQ(allocations(), before) << "the first lookups allocated";
    EXPECT_EQ(releases(), releasedBefore) << "the first lookups released";
    EXPECT_EQ(r, recordAt(39));
    EXPECT_EQ(index, 7);
}

TEST(HeapCount, NoWorksheetCallAllocates) {
    const std::vector<Arguments> arguments = manyArguments();
    // The first lookup of a cubic-form record completes its reference state; make that happen
    // inside the count as well.
    for (int i = 1; i <= kCatalogueSize; ++i) {
        const RefrigerantRecord& r = *recordAt(i);
        if (!isCubicForm(r)) continue;
        const unsigned long long before = allocations();
        establishReferenceState(r);
        EXPECT_EQ(allocations(), before) << "completing " << r.name << " allocated";
    }
    int calls = 0;
    for (const WorksheetFunction& f : worksheetFunctions()) expectNoAllocation(f, arguments, calls);
    EXPECT_EQ(calls, static_cast<int>(worksheetFunctions().size() * arguments.size()));
    EXPECT_GT(arguments.size(), 2000u);
}

// The registration texts: one block for the list and one per text, all released again.
TEST(HeapCount, RegistrationStringsAreOneBlockPerTextAndAreAllReleased) {
    const unsigned long long before = allocations(), releasedBefore = releases();
    char** strings = buildRegistrationStrings(RegistrationTable, kMaxArguments);
    ASSERT_NE(strings, nullptr);
    int texts = 0;
    for (char** group = strings; *group != nullptr;) {
        int size = 0;
        while (group[size] != nullptr) ++size;
        texts += size;
        group += size + 1;
    }
    const unsigned long long made = allocations() - before;
    // The list is counted once by new and once by the malloc underneath, and so is every text.
#ifdef KALTRA_COUNT_MALLOC
    EXPECT_EQ(made, 2u * (1u + texts)) << texts << " texts";
#else
    EXPECT_EQ(made, 1u + texts) << texts << " texts";
#endif
    freeRegistrationStrings(strings);
    EXPECT_EQ(releases() - releasedBefore, made) << "every block built is released";
}

// Opening the add-in allocates the same each time, releases the previous open's blocks, and
// leaves the worksheet calls after it allocation-free.
TEST(HeapCount, EveryOpenAllocatesAlikeAndCallsAfterItAllocateNothing) {
    standinReset();
    ASSERT_EQ(xlAutoOpen(), 1);
    standinReset();
    unsigned long long made[2], live[2];
    for (int open = 0; open < 2; ++open) {
        const unsigned long long before = allocations();
        ASSERT_EQ(xlAutoOpen(), 1);
        made[open] = allocations() - before;
        standinReset();
        live[open] = allocations() - releases();
    }
    EXPECT_GT(made[0], 0u) << "the open builds its registration texts";
    EXPECT_EQ(made[1], made[0]) << "a second open allocates as the first";
    EXPECT_EQ(live[1], live[0]) << "a second open leaves no more blocks behind than the first";

    const Arguments after[] = {{"R134a", 25.0, 10.0, 1, 15}, {"R13b1", -10.0, 3.0, 1, 4}};
    int calls = 0;
    for (const WorksheetFunction& f : worksheetFunctions())
        expectNoAllocation(f, std::vector<Arguments>(std::begin(after), std::end(after)), calls);
}

// The entry points Excel calls besides open answer from static storage.
TEST(HeapCount, CloseAndRegisterAllocateNothing) {
    const unsigned long long before = allocations();
    EXPECT_EQ(xlAutoClose(), 1);
    xl::XLOPER name{};
    name.xltype = xl::xltypeNil;
    const xl::XLOPER* answer = xlAutoRegister(&name);
    EXPECT_EQ(answer->xltype, xl::xltypeErr);
    EXPECT_EQ(allocations(), before);
}

}  // namespace
