// Lookup of the refrigerant catalogue by designation, formula or long name.
#include "fluids/fluids.h"

#include <functional>

namespace kaltra {
namespace {

// Longest text a lookup compares; Excel's texts are at most 255 bytes.
constexpr int kMaxNameLength = 255;

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Index (0-based) of the first record whose name, formula or long name equals the text.
int matchIndex(const char* text) {
    if (text == nullptr) return -1;
    for (int i = 0; i < kCatalogueSize; ++i) {
        const RefrigerantRecord& record = kCatalogue[i];
        if (record.name == nullptr) break;
        if (sameText(text, record.name) || sameText(text, record.formula) || sameText(text, record.longName))
            return i;
    }
    return -1;
}

// The first lookup of a cubic-form record completes its reference state; both reference
// constants are still exactly zero until then.
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
