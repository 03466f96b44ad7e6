// Lookup of the refrigerant catalogue by designation, formula or long name.
#include "fluids/fluids.h"

#include <cstring>
#include <functional>

namespace kaltra {
namespace {

// Longest text a lookup compares; Excel's texts are at most 255 bytes.
constexpr int kMaxNameLength = 255;

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
unsigned char asciiUpper(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c; }

// ---- The lookup index ---------------------------------------------------------------------
// Every record's three texts in an open-addressed hash table built once from the catalogue,
// hashed without regard to letter case. A text shared by several records (or twice by one) is
// entered once, for the first record in catalogue order, so the index finds the record a walk
// through the catalogue in order would find. A lookup measures the text, hashes it, probes a
// slot or two and compares the text whole with the key found there: the same few steps for
// every fluid, and nothing allocated.

constexpr int kLookupKeys = 3 * kCatalogueSize;

// A power of two at least four times the number of keys, so that probes stay short and an
// empty slot always ends them.
constexpr int lookupSlotsFor(int keys) {
    int slots = 1;
    while (slots < 4 * keys) slots *= 2;
    return slots;
}
constexpr int kLookupSlots = lookupSlotsFor(kLookupKeys);

struct LookupSlot {
    const char* key;  // the record's text as stored; null for an empty slot
    unsigned hash;    // of the upper-cased key
    int length;
    int position;     // 0-based catalogue position of the first record with this key
};

struct LookupIndex {
    LookupSlot slots[kLookupSlots];
    int longestKey;  // no text longer than this can match
};

// The length of a text, or -1 when it is longer than `longest` bytes. memchr reads no further
// than the terminating zero once it has found it.
int lengthWithin(const char* text, int longest) {
    const void* end = std::memchr(text, '\0', static_cast<std::size_t>(longest) + 1);
    return end == nullptr ? -1 : static_cast<int>(static_cast<const char*>(end) - text);
}

// Hash of a text of the given length from its length and five of its upper-cased letters
// (first, second, middle, second last, last): cheap for long names, and enough to keep
// the catalogue's texts apart; a slot's key is compared whole before it is taken.
unsigned textHash(const char* text, int length) {
    if (length == 0) return 0;
    auto letter = [text](int i) { return static_cast<unsigned>(asciiUpper(static_cast<unsigned char>(text[i]))); };
    unsigned hash = static_cast<unsigned>(length);
    for (int i : {0, 1 % length, length / 2, length - 1 - 1 % length, length - 1}) hash = hash * 31u + letter(i);
    return hash;
}

// Equality of two texts of `length` bytes with ASCII letters matched regardless of case. The
// differences are gathered without an early exit, so that the loop runs over whole words.
bool sameLetters(const char* text, const char* key, int length) {
    unsigned difference = 0;
    for (int i = 0; i < length; ++i)
        difference |= asciiUpper(static_cast<unsigned char>(text[i])) ^ asciiUpper(static_cast<unsigned char>(key[i]));
    return difference == 0;
}

// Enters one key for the record at `position` unless an equal key is entered already (it
// then belongs to an earlier record, or to the same one). A key longer than the longest text
// a lookup compares is never found by a walk either, and is left out.
void enterKey(LookupIndex& index, const char* key, int position) {
    if (key == nullptr) return;
    const int length = lengthWithin(key, kMaxNameLength);
    if (length < 0) return;
    const unsigned hash = textHash(key, length);
    for (int probe = 0; probe < kLookupSlots; ++probe) {
        LookupSlot& slot = index.slots[(hash + probe) & (kLookupSlots - 1)];
        if (slot.key == nullptr) {
            slot = {key, hash, length, position};
            if (length > index.longestKey) index.longestKey = length;
            return;
        }
        if (slot.hash == hash && slot.length == length && sameLetters(key, slot.key, length)) return;
    }
}

LookupIndex buildLookupIndex() {
    LookupIndex index{};
    for (int i = 0; i < kCatalogueSize; ++i) {
        const RefrigerantRecord& record = kCatalogue[i];
        if (record.name == nullptr) break;
        enterKey(index, record.name, i);
        enterKey(index, record.formula, i);
        enterKey(index, record.longName, i);
    }
    return index;
}

// Built at the first lookup, then only read.
const LookupIndex& lookupIndex() {
    static const LookupIndex index = buildLookupIndex();
    return index;
}

// Index (0-based) of the first record whose name, formula or long name equals the text.
int matchIndex(const char* text) {
    if (text == nullptr) return -1;
    const LookupIndex& index = lookupIndex();
    const int length = lengthWithin(text, index.longestKey);
    if (length < 0) return -1;
    const unsigned hash = textHash(text, length);
    for (int probe = 0; probe < kLookupSlots; ++probe) {
        const LookupSlot& slot = index.slots[(hash + probe) & (kLookupSlots - 1)];
        if (slot.key == nullptr) return -1;
        if (slot.hash == hash && slot.length == length && sameLetters(text, slot.key, length)) return slot.position;
    }
    return -1;
}

// The first lookup of a cubic-form record completes its reference state; both reference
// constants are still exactly zero until then. (A row the coefficient fitter has not fitted
// yet holds zeros for its sets and is left incomplete until it has them: the fitter looks it
// up before it fits.)
void completeOnFirstLookup(const RefrigerantRecord& record) {
    const double* k = constantsOf(record);
    if (isCubicForm(record) && k[slot::energyRef] == 0.0 && k[slot::entropyRef] == 0.0 &&
        hasCoefficientSets(record))
        establishReferenceState(record);
}

}  // namespace

// Whole-text comparison: ASCII letters match regardless of case, every other byte must be
// equal, and the lengths must agree. Texts past the longest Excel text never match.
bool sameText(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return false;
    for (int i = 0; i <= kMaxNameLength; ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
        if (a[i] == '\0') return true;
    }
    return false;
}

const RefrigerantRecord* findRefrigerant(const char* text) {
    const int i = matchIndex(text);
    if (i < 0) return nullptr;
    completeOnFirstLookup(kCatalogue[i]);
    return &kCatalogue[i];
}

int refrigerantIndex(const char* text) {
    const int i = matchIndex(text);
    return i < 0 ? -1 : i + 1;
}

const RefrigerantRecord* recordAt(int index) {
    if (index < 1 || index > kCatalogueSize) return nullptr;
    return &kCatalogue[index - 1];
}

int cataloguePosition(const RefrigerantRecord& record) {
    // std::less orders any two pointers, also those into different arrays
    const std::less<const RefrigerantRecord*> before;
    if (before(&record, kCatalogue.data()) || !before(&record, kCatalogue.data() + kCatalogueSize)) return -1;
    return static_cast<int>(&record - kCatalogue.data());
}

// The MBWR form needs its 29 coefficients b1..b29, the cubic form its parameters a0..md;
// a fluid whose fitted sets have not been supplied holds zeros there.
bool hasCoefficientSets(const RefrigerantRecord& record) {
    const double* k = constantsOf(record);
    const int first = isCubicForm(record) ? slot::cubicParams : slot::mbwrCoeffs;
    const int count = isCubicForm(record) ? 7 : 29;
    for (int i = 0; i < count; ++i)
        if (k[first + i] != 0.0) return true;
    return false;
}

}  // namespace kaltra
