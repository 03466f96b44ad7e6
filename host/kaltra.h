// The kaltra host: runs the add-in where Excel is not. It loads the add-in library the
// way Excel does, learns the worksheet functions from what the add-in registered with the
// stand-in Excel, and evaluates Excel formulas and small worksheets with them.
//
// Texts inside the host are Windows-1252 bytes, as the add-in sees and answers them; they
// are converted from and to UTF-8 only where they enter and leave the host.
#pragma once

#include <string>
#include <vector>

namespace kaltra::host {

// ---- Values (host/function_calls.cpp) -----------------------------------------------------
enum class ValueKind { blank, number, integer, text, error };

// A cell's or a formula's value.
struct Value {
    ValueKind kind = ValueKind::blank;
    double number = 0.0;  // number
    int code = 0;         // integer value, or error code
    std::string text;     // text, Windows-1252
};

Value numberValue(double x);
Value textValue(const std::string& text);
Value errorValue(int code);

// Excel's error codes, as the host produces them.
constexpr int kErrorNull = 0;
constexpr int kErrorDivZero = 7;
constexpr int kErrorValue = 15;
constexpr int kErrorRef = 23;
constexpr int kErrorName = 29;
constexpr int kErrorNum = 36;
constexpr int kErrorNA = 42;

// A value as printed: numbers with 17 significant digits, integers as integers, texts in
// UTF-8, error values as Excel shows them or #ERR(n) for the add-in's own codes.
std::string displayText(const Value& value);

// A text read as a number the way Excel reads a typed number: blanks around digits, a
// point, an exponent, a sign; nothing else, and only a finite number.
bool readNumber(const std::string& text, double& x);

// A value as a number for arithmetic and for a number argument: a blank is 0, a text must
// read as a number; false for an error value or a text that does not.
bool numberOf(const Value& value, double& x);

// ---- Texts (host/text_encoding.cpp) -------------------------------------------------------
std::string utf8FromWindows1252(const std::string& text);
// Characters Windows-1252 lacks become '?'; bytes that are not UTF-8 pass unchanged.
std::string windows1252FromUtf8(const std::string& text);

// ---- Registered functions and their calls (host/function_calls.cpp) ----------------------
// A worksheet function as registered: its texts and its address in the add-in.
struct AddinFunction {
    std::string name;       // procedure and function text
    std::string typeText;   // R, then one code per argument: C text, B double, I integer
    std::vector<std::string> argumentNames;
    std::string functionHelp;
    std::vector<std::string> argumentHelps;
    std::string category;
    void* address = nullptr;
    bool callable = false;  // the host can pass its argument kinds
};

// Most arguments the host passes to one function.
constexpr int kMaxHostArguments = 5;

// Index of a function by name, letters compared regardless of case; -1 if absent.
int findFunction(const std::vector<AddinFunction>& functions, const std::string& name);

// Exit status of the host when a worksheet function broke Excel's calling convention.
constexpr int kBrokenCallingConvention = 3;

// Calls a function with arguments converted by its type text the way Excel converts
// them: a number truncated toward zero for an integer argument (#VALUE! outside -32768 to
// 32767), a text that reads as a number for a number, a number written out for a text, a
// blank as 0 or ""; an error argument is the answer without a call. A function that does
// not take its own arguments off the stack on 32-bit Windows ends the host with a message
// and kBrokenCallingConvention.
Value callFunction(const AddinFunction& function, const std::vector<Value>& arguments);

// Calls the registered function of that name (letters in any case) as callFunction does;
// #NAME? when the add-in registered none.
Value callNamed(const std::vector<AddinFunction>& functions, const std::string& name, const std::vector<Value>& arguments);

// ---- Formulas (host/formula.cpp) ---------------------------------------------------------
enum class NodeKind { number, text, reference, missing, call, negate, identity, add, subtract, multiply, divide, power };

struct Node {
    NodeKind kind = NodeKind::number;
    double number = 0.0;
    std::string text;
    int row = 0;       // reference, 0-based
    int column = 0;    // reference, 0-based
    int function = -1; // call
    std::vector<int> children;
};

// A parsed formula: nodes with the root last.
struct Formula {
    std::vector<Node> nodes;
    int root = -1;
};

// Why a formula cannot be evaluated, and the error value that stands for it.
struct Problem {
    int code = kErrorValue;
    std::string message;
};

// Largest worksheet a reference may point into.
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;

// Parses a formula in Excel syntax (a leading '=' allowed): numbers, texts in double
// quotes, A1 references (when allowed), + - * / ^, unary minus, parentheses and calls of
// registered functions with their own number of arguments.
bool parseFormula(const std::string& source, const std::vector<AddinFunction>& functions,
                  bool referencesAllowed, Formula& formula, Problem& problem);

// Cells a formula refers to.
std::vector<std::pair<int, int>> referencesOf(const Formula& formula);

// Answers a reference while a formula is evaluated.
struct CellSource {
    virtual Value cell(int row, int column) const = 0;

protected:
    ~CellSource() = default;
};

// Evaluates a parsed formula; a blank answer reads as 0.
Value evaluate(const Formula& formula, const std::vector<AddinFunction>& functions, const CellSource* cells);

// "A1" for 0-based row and column.
std::string cellName(int row, int column);

// ---- Worksheets (host/sheet.cpp) ---------------------------------------------------------
// Evaluates a worksheet in CSV and prints its computed grid (aligned, or as CSV). Cells
// hold numbers, texts ('text forces a text) or formulas (=...); an unquoted formula may
// hold commas inside its parentheses and texts. Problems go to stderr, one per cell.
// Returns 0, 1 when a cell had a problem, 2 when the file cannot be read.
int runSheet(const char* path, const std::vector<AddinFunction>& functions, bool asCsv);

// ---- Charts (host/chart.cpp; the drawing itself in host/chart.h) --------------------------
// What `kaltra chart NAME [--units CODE] [-o FILE.svg]` asks for.
struct ChartRequest {
    std::string fluid;       // name, formula or long name, UTF-8
    int units = 1;           // unit code 0-7
    std::string outputPath;  // empty: NAME.svg in the working directory; "-": standard output
};

// Reads the arguments that follow "chart"; false after telling why on stderr.
bool parseChartArguments(int argc, char** argv, ChartRequest& request);

// The usage lines of the chart subcommand.
const char* chartUsage();

// Draws the chart from the registered functions and writes it. Exit status: 0 written, 1
// the fluid cannot be charted (unknown, or the add-in answers -999 for its saturation
// properties; told on stderr and no file is written), 2 the file cannot be written.
int runChart(const ChartRequest& request, const std::vector<AddinFunction>& functions);

}  // namespace kaltra::host
