// A small worksheet in CSV: read the cells, order the formulas so that every cell is
// computed after the cells it refers to, compute them, print the grid.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "host/kaltra.h"

namespace kaltra::host {

namespace {

// The cells of one CSV row, as written (UTF-8).
using Row = std::vector<std::string>;

// Reads CSV: fields split by commas, rows by line ends; a field in double quotes may hold
// commas, line ends and doubled quotes. A field that starts with '=' unquoted is a formula
// and runs to the next comma outside its parentheses and texts.
std::vector<Row> readCsv(const std::string& content) {
    std::vector<Row> rows;
    Row row;
    std::string field;
    std::size_t i = 0;
    std::size_t n = content.size();
    bool rowHasField = false;
    while (i < n) {
        char c = content[i];
        if (c == '"' && field.empty()) {
            // Quoted field.
            ++i;
            while (i < n) {
                if (content[i] == '"') {
                    if (i + 1 < n && content[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += content[i++];
            }
            // Anything up to the separator after the closing quote belongs to the field.
            while (i < n && content[i] != ',' && content[i] != '\n' && content[i] != '\r') field += content[i++];
            rowHasField = true;
            continue;
        }
        if (c == '=' && field.empty()) {
            int depth = 0;
            bool inText = false;
            while (i < n && content[i] != '\n' && content[i] != '\r') {
                char d = content[i];
                if (d == '"') inText = !inText;
                if (!inText && d == '(') ++depth;
                if (!inText && d == ')' && depth > 0) --depth;
                if (!inText && depth == 0 && d == ',') break;
                field += d;
                ++i;
            }
            rowHasField = true;
            continue;
        }
        if (c == ',') {
            row.push_back(field);
            field.clear();
            rowHasField = true;
            ++i;
            continue;
        }
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < n && content[i + 1] == '\n') ++i;
            ++i;
            if (rowHasField || !field.empty()) row.push_back(field);
            rows.push_back(row);
            row.clear();
            field.clear();
            rowHasField = false;
            continue;
        }
        field += c;
        rowHasField = true;
        ++i;
    }
    if (rowHasField || !field.empty()) {
        row.push_back(field);
        rows.push_back(row);
    }
    return rows;
}

enum class CellState { unvisited, visiting, done };

// One cell of the worksheet.
struct Cell {
    Value value;              // constant, or the computed formula value
    bool isFormula = false;
    Formula formula;
    bool parsed = false;
    std::vector<int> precedents;  // cells of the grid the formula refers to
    CellState state = CellState::unvisited;
    bool onCycle = false;
};

struct Sheet : CellSource {
    int rows = 0;
    int columns = 0;
    std::vector<Cell> cells;

    int indexOf(int row, int column) const { return row * columns + column; }

    Value cell(int row, int column) const override {
        if (row >= rows || column >= columns) return Value();
        const Cell& c = cells[indexOf(row, column)];
        if (c.isFormula && c.state != CellState::done) return errorValue(kErrorRef);
        return c.value;
    }
};

std::size_t characterCount(const std::string& text) {
    std::size_t characters = 0;
    for (unsigned char c : text) characters += (c & 0xC0) != 0x80;
    return characters;
}

// Appends a text padded with blanks to a width counted in characters.
void appendPadded(std::string& line, const std::string& text, std::size_t width) {
    line += text;
    for (std::size_t characters = characterCount(text); characters < width; ++characters) line += ' ';
}

// Prints a line without the blanks that pad its end.
void printLine(std::string line) {
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::printf("%s\n", line.c_str());
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

void printGrid(const Sheet& sheet, bool asCsv) {
    if (sheet.rows == 0 || sheet.columns == 0) return;
    std::vector<std::string> shown(sheet.cells.size());
    for (std::size_t i = 0; i < sheet.cells.size(); ++i) shown[i] = displayText(sheet.cells[i].value);
    if (asCsv) {
        for (int r = 0; r < sheet.rows; ++r) {
            for (int c = 0; c < sheet.columns; ++c) {
                if (c > 0) std::fputc(',', stdout);
                std::fputs(csvField(shown[sheet.indexOf(r, c)]).c_str(), stdout);
            }
            std::fputc('\n', stdout);
        }
        return;
    }
    // Aligned: a header of column letters, each row led by its number.
    std::size_t rowWidth = std::to_string(sheet.rows).size();
    std::vector<std::size_t> widths(sheet.columns);
    for (int c = 0; c < sheet.columns; ++c) {
        widths[c] = characterCount(cellName(0, c)) - 1;
        for (int r = 0; r < sheet.rows; ++r) {
            std::size_t width = characterCount(shown[sheet.indexOf(r, c)]);
            if (width > widths[c]) widths[c] = width;
        }
    }
    std::string header;
    appendPadded(header, "", rowWidth);
    for (int c = 0; c < sheet.columns; ++c) {
        std::string letters = cellName(0, c);
        letters.pop_back();
        header += "  ";
        appendPadded(header, letters, widths[c]);
    }
    printLine(header);
    for (int r = 0; r < sheet.rows; ++r) {
        std::string line;
        appendPadded(line, std::to_string(r + 1), rowWidth);
        for (int c = 0; c < sheet.columns; ++c) {
            line += "  ";
            appendPadded(line, shown[sheet.indexOf(r, c)], widths[c]);
        }
        printLine(line);
    }
}

}  // namespace

int runSheet(const char* path, const std::vector<AddinFunction>& functions, bool asCsv) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "kaltra: cannot read the worksheet %s\n", path);
        return 2;
    }
    std::stringstream content;
    content << file.rdbuf();
    std::vector<Row> rows = readCsv(content.str());

    Sheet sheet;
    sheet.rows = static_cast<int>(rows.size());
    for (const Row& row : rows) {
        if (static_cast<int>(row.size()) > sheet.columns) sheet.columns = static_cast<int>(row.size());
    }
    if (sheet.rows > kMaxRows || sheet.columns > kMaxColumns) {
        std::fprintf(stderr, "kaltra: %s is larger than a worksheet (%d rows, %d columns)\n", path, kMaxRows, kMaxColumns);
        return 2;
    }
    sheet.cells.resize(static_cast<std::size_t>(sheet.rows) * sheet.columns);

    int problems = 0;
    auto report = [&](int index, const std::string& message) {
        std::string where = cellName(index / sheet.columns, index % sheet.columns);
        std::fprintf(stderr, "kaltra: %s: %s\n", where.c_str(), utf8FromWindows1252(message).c_str());
        ++problems;
    };

    // Constants are what they read as; formulas are parsed once.
    for (int r = 0; r < sheet.rows; ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            int index = sheet.indexOf(r, static_cast<int>(c));
            Cell& cell = sheet.cells[index];
            std::string text = windows1252FromUtf8(rows[r][c]);
            double x = 0.0;
            if (text.find_first_not_of(" \t") == std::string::npos) continue;
            if (text[0] == '=') {
                cell.isFormula = true;
                Problem problem;
                cell.parsed = parseFormula(text, functions, true, cell.formula, problem);
                if (!cell.parsed) {
                    cell.value = errorValue(problem.code);
                    cell.state = CellState::done;
                    report(index, problem.message);
                    continue;
                }
                for (auto [row, column] : referencesOf(cell.formula)) {
                    if (row < sheet.rows && column < sheet.columns) cell.precedents.push_back(sheet.indexOf(row, column));
                }
            } else if (text[0] == '\'') {
                cell.value = textValue(text.substr(1));
            } else if (readNumber(text, x)) {
                cell.value = numberValue(x);
            } else {
                cell.value = textValue(text);
            }
        }
    }

    // Depth-first over the references, without recursion: a cell is computed once all its
    // precedents are; a reference back to a cell still being visited closes a cycle.
    std::vector<std::pair<int, std::size_t>> stack;
    for (int start = 0; start < static_cast<int>(sheet.cells.size()); ++start) {
        Cell& first = sheet.cells[start];
        if (!first.isFormula || first.state != CellState::unvisited) continue;
        first.state = CellState::visiting;
        stack.emplace_back(start, 0);
        while (!stack.empty()) {
            auto& [index, next] = stack.back();
            Cell& cell = sheet.cells[index];
            if (next < cell.precedents.size()) {
                int precedent = cell.precedents[next++];
                Cell& other = sheet.cells[precedent];
                if (!other.isFormula || other.state == CellState::done) continue;
                if (other.state == CellState::visiting) {
                    // Every cell on the stack from the precedent up is on the cycle.
                    std::string path;
                    bool inCycle = false;
                    for (auto& [member, unused] : stack) {
                        (void)unused;
                        inCycle = inCycle || member == precedent;
                        if (!inCycle) continue;
                        sheet.cells[member].onCycle = true;
                        path += cellName(member / sheet.columns, member % sheet.columns) + " -> ";
                    }
                    path += cellName(precedent / sheet.columns, precedent % sheet.columns);
                    report(precedent, "circular reference " + path);
                    continue;
                }
                other.state = CellState::visiting;
                stack.emplace_back(precedent, 0);
                continue;
            }
            // All precedents are computed, or are on a cycle with this cell.
            cell.value = cell.onCycle ? errorValue(kErrorRef) : evaluate(cell.formula, functions, &sheet);
            cell.state = CellState::done;
            stack.pop_back();
        }
    }

    printGrid(sheet, asCsv);
    return problems > 0 ? 1 : 0;
}

}  // namespace kaltra::host
