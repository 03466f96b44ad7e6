// The function table as a caller other than Excel reads it: every function's R row with its
// argument codes, found by position or name, and called through the exported function its R
// row carries. The C interface, the tests and the benchmarks call all 33 functions this way,
// so no list of the functions is written anywhere but in the table. The add-in itself only
// registers the table and needs none of this.
//
// Header-only, on shell.h's table alone: the answer-comparison tool builds it against an
// earlier revision's worksheet layer too.
#pragma once

#include "shell/shell.h"

namespace kaltra {

// How a function is called: the member of its R row's entry point that its argument codes
// name ("CBI" -> ofCBI); `unknown` for codes no member takes.
enum class CallShape { ofI, ofII, ofC, ofCI, ofCBI, ofCBBI, unknown };

struct TableFunction {
    const RegistrationEntry* row;  // the R row; the function's argument rows follow it
    const char* name;              // the exported and registered name, "KaltPsat"
    int arguments;                 // how many argument rows
    int doubles;                   // how many of them are 'B'
    char codes[kMaxArguments + 1]; // the argument rows' type codes, "CBI"
    CallShape shape;
};

struct FunctionTable {
    int count;
    TableFunction function[kFunctionCount];
};

inline CallShape callShapeOf(const char* codes) {
    struct Named {
        const char* codes;
        CallShape shape;
    };
    static constexpr Named kShapes[] = {{"I", CallShape::ofI},     {"II", CallShape::ofII},   {"C", CallShape::ofC},
                                        {"CI", CallShape::ofCI},   {"CBI", CallShape::ofCBI}, {"CBBI", CallShape::ofCBBI}};
    for (const Named& named : kShapes) {
        int i = 0;
        while (codes[i] != '\0' && codes[i] == named.codes[i]) ++i;
        if (codes[i] == named.codes[i]) return named.shape;
    }
    return CallShape::unknown;
}

// The functions of a table in table order, at most kFunctionCount of them.
inline FunctionTable readFunctionTable(const RegistrationEntry* table) {
    FunctionTable read = {};
    for (const RegistrationEntry* row = table; row->typeCode == 'R' && read.count < kFunctionCount;) {
        TableFunction& f = read.function[read.count++];
        f = {row, row->entryName, 0, 0, {}, CallShape::unknown};
        while (row[1 + f.arguments].typeCode != 0) {
            const char code = row[1 + f.arguments].typeCode;
            if (f.arguments < kMaxArguments) f.codes[f.arguments] = code;
            f.doubles += code == 'B';
            ++f.arguments;
        }
        if (f.arguments <= kMaxArguments) f.shape = callShapeOf(f.codes);
        row += f.arguments + 2;
    }
    return read;
}

// The add-in's own table, read at first use.
inline const FunctionTable& functionTable() {
    static const FunctionTable table = readFunctionTable(RegistrationTable);
    return table;
}

// The function at a 0-based position in registration order, or null.
inline const TableFunction* tableFunction(int position) {
    const FunctionTable& table = functionTable();
    return position >= 0 && position < table.count ? &table.function[position] : nullptr;
}

// The function of a name, ASCII letters compared regardless of case as Excel compares them,
// or null.
inline const TableFunction* findTableFunction(const char* name) {
    if (name == nullptr) return nullptr;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    const FunctionTable& table = functionTable();
    for (int i = 0; i < table.count; ++i) {
        const char* a = table.function[i].name;
        const char* b = name;
        while (*a != '\0' && lower(*a) == lower(*b)) ++a, ++b;
        if (*a == '\0' && *b == '\0') return &table.function[i];
    }
    return nullptr;
}

// One call's arguments by what they are: the fluid text, the doubles in argument order, the
// unit code and the catalogue or label index. Each function reads the ones it takes:
// KaltName, KaltLongName and KaltForm the index alone, KaltUnits the unit code and then the
// index, every other function the name, its doubles and (after the name alone for KaltIndex,
// KaltMW and KaltZc) the unit code.
struct WorksheetArguments {
    const char* name;
    double a, b;
    short units, index;
};

// Where the k-th 'I' argument of a function goes (0-based, in argument order).
inline short& integerArgument(const TableFunction& f, WorksheetArguments& x, int k) {
    return f.shape == CallShape::ofI || k == 1 ? x.index : x.units;
}
// Where the k-th 'B' argument goes.
inline double& doubleArgument(WorksheetArguments& x, int k) { return k == 0 ? x.a : x.b; }

// The function's answer (the value record it filled), or null for a function whose codes
// name no entry point.
inline xl::LPXLOPER callTableFunction(const TableFunction& f, const WorksheetArguments& x) {
    const WorksheetEntryPoint& call = f.row->function;
    switch (f.shape) {
        case CallShape::ofI: return call.ofI(x.index);
        case CallShape::ofII: return call.ofII(x.units, x.index);
        case CallShape::ofC: return call.ofC(x.name);
        case CallShape::ofCI: return call.ofCI(x.name, x.units);
        case CallShape::ofCBI: return call.ofCBI(x.name, x.a, x.units);
        case CallShape::ofCBBI: return call.ofCBBI(x.name, x.a, x.b, x.units);
        case CallShape::unknown: break;
    }
    return nullptr;
}

}  // namespace kaltra
