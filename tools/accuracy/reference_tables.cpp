// Reading the reference tables and info.json.
#include "tools/accuracy/reference_tables.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>

namespace kaltra::accuracy {
namespace {

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

std::vector<std::string> splitCommas(const std::string& line) {
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, ',')) cells.push_back(cell);
    if (!line.empty() && line.back() == ',') cells.emplace_back();
    return cells;
}

// The number a cell holds, NaN for an empty or non-numeric cell.
double numberOf(const std::string& cell) {
    if (cell.empty()) return kNoValue;
    char* end = nullptr;
    const double x = std::strtod(cell.c_str(), &end);
    return (end != nullptr && *end == '\0') ? x : kNoValue;
}

// ---- A small JSON reader: enough for info.json (objects, arrays, strings, numbers,
// true, false, null). Object members keep their file order.
struct JsonValue {
    enum Kind { kNull, kBoolean, kNumber, kString, kArray, kObject } kind = kNull;
    bool flag = false;
    double number = 0.0;
    std::string text;
    std::vector<std::string> keys;   // object member names
    std::vector<JsonValue> items;    // object member values, or array items
};

struct JsonReader {
    const std::string& source;
    std::size_t at = 0;
    bool failed = false;
};

void skipBlanks(JsonReader& r) {
    while (r.at < r.source.size() && std::isspace(static_cast<unsigned char>(r.source[r.at]))) ++r.at;
}

bool consume(JsonReader& r, char c) {
    skipBlanks(r);
    if (r.at < r.source.size() && r.source[r.at] == c) {
        ++r.at;
        return true;
    }
    return false;
}

// A string whose opening quote has been consumed; escapes other than \uXXXX keep their
// character, \uXXXX outside ASCII becomes '?'.
std::string readString(JsonReader& r) {
    std::string s;
    while (r.at < r.source.size()) {
        const char c = r.source[r.at++];
        if (c == '"') return s;
        if (c != '\\') {
            s += c;
            continue;
        }
        if (r.at >= r.source.size()) break;
        const char e = r.source[r.at++];
        switch (e) {
            case 'n': s += '\n'; break;
            case 't': s += '\t'; break;
            case 'r': s += '\r'; break;
            case 'b': s += '\b'; break;
            case 'f': s += '\f'; break;
            case 'u': {
                if (r.at + 4 > r.source.size()) {
                    r.failed = true;
                    return s;
                }
                const long code = std::strtol(r.source.substr(r.at, 4).c_str(), nullptr, 16);
                r.at += 4;
                s += (code < 128) ? static_cast<char>(code) : '?';
                break;
            }
            default: s += e; break;
        }
    }
    r.failed = true;
    return s;
}

JsonValue readValue(JsonReader& r, int depth) {
    JsonValue v;
    skipBlanks(r);
    if (depth > 64 || r.at >= r.source.size()) {
        r.failed = true;
        return v;
    }
    const char c = r.source[r.at];
    if (c == '{') {
        ++r.at;
        v.kind = JsonValue::kObject;
        if (consume(r, '}')) return v;
        do {
            if (!consume(r, '"')) {
                r.failed = true;
                return v;
            }
            v.keys.push_back(readString(r));
            if (!consume(r, ':')) {
                r.failed = true;
                return v;
            }
            v.items.push_back(readValue(r, depth + 1));
        } while (!r.failed && consume(r, ','));
        if (!consume(r, '}')) r.failed = true;
    } else if (c == '[') {
        ++r.at;
        v.kind = JsonValue::kArray;
        if (consume(r, ']')) return v;
        do {
            v.items.push_back(readValue(r, depth + 1));
        } while (!r.failed && consume(r, ','));
        if (!consume(r, ']')) r.failed = true;
    } else if (c == '"') {
        ++r.at;
        v.kind = JsonValue::kString;
        v.text = readString(r);
    } else if (r.source.compare(r.at, 4, "true") == 0) {
        r.at += 4;
        v.kind = JsonValue::kBoolean;
        v.flag = true;
    } else if (r.source.compare(r.at, 5, "false") == 0) {
        r.at += 5;
        v.kind = JsonValue::kBoolean;
    } else if (r.source.compare(r.at, 4, "null") == 0) {
        r.at += 4;
    } else {
        char* end = nullptr;
        v.number = std::strtod(r.source.c_str() + r.at, &end);
        const std::size_t length = static_cast<std::size_t>(end - (r.source.c_str() + r.at));
        if (length == 0) r.failed = true;
        r.at += length;
        v.kind = JsonValue::kNumber;
    }
    return v;
}

// Member of an object by name, or null.
const JsonValue* member(const JsonValue& object, const char* name) {
    if (object.kind != JsonValue::kObject) return nullptr;
    for (std::size_t i = 0; i < object.keys.size(); ++i)
        if (object.keys[i] == name) return &object.items[i];
    return nullptr;
}

}  // namespace

bool readTable(const std::string& path, Table& table) {
    std::ifstream in(path);
    if (!in) return false;
    table = Table{};
    std::string line;
    bool haveHeader = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> cells = splitCommas(line);
        if (!haveHeader) {
            table.columns = cells;
            haveHeader = true;
            continue;
        }
        cells.resize(table.columns.size());
        std::vector<double> values;
        for (const std::string& cell : cells) values.push_back(numberOf(cell));
        table.cells.push_back(std::move(cells));
        table.values.push_back(std::move(values));
    }
    return haveHeader;
}

int columnIndex(const Table& table, const char* name) {
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (table.columns[i] == name) return static_cast<int>(i);
    return -1;
}

double valueAt(const Table& table, int row, int column) {
    if (column < 0) return kNoValue;
    return table.values[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

bool readInfo(const std::string& path, ReferenceInfo& info) {
    std::ifstream in(path);
    if (!in) return false;
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string source = buffer.str();
    JsonReader reader{source};
    const JsonValue root = readValue(reader, 0);
    if (reader.failed || root.kind != JsonValue::kObject) return false;

    info = ReferenceInfo{};
    if (const JsonValue* v = member(root, "library")) info.library = v->text;
    if (const JsonValue* v = member(root, "library_version")) info.libraryVersion = v->text;
    if (const JsonValue* v = member(root, "library_git_revision")) info.libraryRevision = v->text;
    if (const JsonValue* v = member(root, "estimated")) info.estimated = v->kind == JsonValue::kBoolean && v->flag;
    if (const JsonValue* v = member(root, "T_critical_K")) info.critTempK = v->number;
    if (const JsonValue* v = member(root, "p_critical_Pa")) info.critPressurePa = v->number;
    if (const JsonValue* v = member(root, "rho_critical_kg_m3")) info.critDensity = v->number;
    if (const JsonValue* v = member(root, "molar_mass_kg_per_mol")) info.molarMass = v->number;
    if (const JsonValue* range = member(root, "requested_range")) {
        if (const JsonValue* v = member(*range, "Tmin_K")) info.rangeTMinK = v->number;
        if (const JsonValue* v = member(*range, "Tmax_K")) info.rangeTMaxK = v->number;
        if (const JsonValue* v = member(*range, "pmax_Pa")) info.rangePMaxPa = v->number;
    }
    if (const JsonValue* state = member(root, "reference_state")) {
        if (const JsonValue* v = member(*state, "name")) info.referenceState = v->text;
        if (const JsonValue* v = member(*state, "description")) info.referenceStateDescription = v->text;
    }
    if (const JsonValue* uncertainty = member(root, "expected_uncertainty")) {
        for (std::size_t i = 0; i < uncertainty->keys.size(); ++i) {
            if (uncertainty->items[i].kind != JsonValue::kString) continue;
            info.uncertaintyGroups.push_back(uncertainty->keys[i]);
            info.uncertaintyTexts.push_back(uncertainty->items[i].text);
        }
    }
    if (const JsonValue* blend = member(root, "blend")) {
        const JsonValue* components = member(*blend, "components");
        const JsonValue* fractions = member(*blend, "mass_fractions");
        if (components != nullptr && fractions != nullptr && components->items.size() == fractions->items.size()) {
            for (std::size_t i = 0; i < components->items.size(); ++i) {
                info.blendComponents.push_back(components->items[i].text);
                info.blendMassFractions.push_back(fractions->items[i].number);
            }
        }
    }
    return true;
}

}  // namespace kaltra::accuracy
