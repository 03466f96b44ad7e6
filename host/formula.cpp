// Formulas in Excel syntax: texts and their encodings, values, the parser, the evaluator
// and the calls into the add-in.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/kaltra.h"
#include "host/platform.h"
#include "shell/xlcall.h"

namespace kaltra::host {

// ---- Values and their display -----------------------------------------------------------

Value numberValue(double x) {
    Value value;
    value.kind = ValueKind::number;
    value.number = x;
    return value;
}

Value textValue(const std::string& text) {
    Value value;
    value.kind = ValueKind::text;
    value.text = text;
    return value;
}

Value errorValue(int code) {
    Value value;
    value.kind = ValueKind::error;
    value.code = code;
    return value;
}

namespace {

Value integerValue(int n) {
    Value value;
    value.kind = ValueKind::integer;
    value.code = n;
    return value;
}

// Excel's own error codes and how it shows them.
struct ErrorName {
    int code;
    const char* shown;
};
constexpr ErrorName kErrorNames[] = {
    {kErrorNull, "#NULL!"}, {kErrorDivZero, "#DIV/0!"}, {kErrorValue, "#VALUE!"}, {kErrorRef, "#REF!"},
    {kErrorName, "#NAME?"}, {kErrorNum, "#NUM!"},       {kErrorNA, "#N/A"},
};

// Unicode code points of the Windows-1252 bytes 0x80 to 0x9F; the five bytes the code
// page leaves undefined keep their own value.
constexpr unsigned kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The Windows-1252 byte of a code point, or '?' when the code page lacks it.
char windows1252Of(unsigned code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<char>(code);
    for (unsigned i = 0; i < 32; ++i) {
        if (kHighControls[i] == code) return static_cast<char>(0x80 + i);
    }
    return '?';
}

// Length of the well-formed UTF-8 sequence at `s` and its code point; 0 when none.
std::size_t decodeUtf8(const unsigned char* s, std::size_t available, unsigned& code) {
    unsigned char lead = s[0];
    std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead <= 0xDF ? 2 : 0;
    if (lead >= 0xF5 || length == 0 || length > available) return 0;
    code = lead & (0xFF >> (length + 1));
    for (std::size_t i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0;
        code = (code << 6) | (s[i] & 0x3F);
    }
    bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (overlong || surrogate || code > 0x10FFFF) return 0;
    return length;
}

}  // namespace

std::string utf8FromWindows1252(const std::string& text) {
    std::string out;
    for (unsigned char c : text) appendUtf8(out, c >= 0x80 && c <= 0x9F ? kHighControls[c - 0x80] : c);
    return out;
}

std::string windows1252FromUtf8(const std::string& text) {
    std::string out;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        unsigned code = 0;
        std::size_t length = s[i] < 0x80 ? 0 : decodeUtf8(s + i, text.size() - i, code);
        if (length == 0) {
            out += static_cast<char>(s[i++]);
        } else {
            out += windows1252Of(code);
            i += length;
        }
    }
    return out;
}

std::string displayText(const Value& value) {
    char buffer[64];
    switch (value.kind) {
        case ValueKind::blank: return std::string();
        case ValueKind::number: std::snprintf(buffer, sizeof buffer, "%.17g", value.number); return buffer;
        case ValueKind::integer: std::snprintf(buffer, sizeof buffer, "%d", value.code); return buffer;
        case ValueKind::text: return utf8FromWindows1252(value.text);
        case ValueKind::error:
            for (const ErrorName& error : kErrorNames) {
                if (error.code == value.code) return error.shown;
            }
            std::snprintf(buffer, sizeof buffer, "#ERR(%d)", value.code);
            return buffer;
    }
    return std::string();
}

std::string cellName(int row, int column) {
    std::string letters;
    for (int c = column + 1; c > 0; c = (c - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row + 1);
}

// ---- Calling the add-in -----------------------------------------------------------------

int findFunction(const std::vector<AddinFunction>& functions, const std::string& name) {
    for (std::size_t i = 0; i < functions.size(); ++i) {
        const std::string& candidate = functions[i].name;
        if (candidate.size() != name.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < name.size() && same; ++k) {
            same = std::tolower(static_cast<unsigned char>(candidate[k])) == std::tolower(static_cast<unsigned char>(name[k]));
        }
        if (same) return static_cast<int>(i);
    }
    return -1;
}

namespace {

// A text read as a number the way Excel reads a typed number: digits, a point, an
// exponent, a sign; nothing else.
bool readNumber(const std::string& text, double& x) {
    std::size_t first = text.find_first_not_of(" \t");
    std::size_t last = text.find_last_not_of(" \t");
    if (first == std::string::npos) return false;
    std::string trimmed = text.substr(first, last - first + 1);
    if (trimmed.find_first_not_of("0123456789.eE+-") != std::string::npos) return false;
    char* end = nullptr;
    x = std::strtod(trimmed.c_str(), &end);
    return *end == 0 && std::isfinite(x);
}

// A value as a number for arithmetic and double arguments.
bool numberOf(const Value& value, double& x) {
    switch (value.kind) {
        case ValueKind::blank: x = 0.0; return true;
        case ValueKind::number: x = value.number; return true;
        case ValueKind::integer: x = value.code; return true;
        case ValueKind::text: return readNumber(value.text, x);
        case ValueKind::error: return false;
    }
    return false;
}

// A value as the text a text argument receives.
std::string textOf(const Value& value) {
    char buffer[64];
    switch (value.kind) {
        case ValueKind::number: std::snprintf(buffer, sizeof buffer, "%.15g", value.number); return buffer;
        case ValueKind::integer: std::snprintf(buffer, sizeof buffer, "%d", value.code); return buffer;
        case ValueKind::text: return value.text;
        default: return std::string();
    }
}

// The add-in's answer, copied out of its shared record before the next call.
Value valueOfResult(const xl::XLOPER* result) {
    if (!result) return errorValue(kErrorValue);
    switch (result->xltype & 0x0FFF) {
        case xl::xltypeNum: return std::isfinite(result->val.num) ? numberValue(result->val.num) : errorValue(kErrorNum);
        case xl::xltypeInt: return integerValue(result->val.w);
        case xl::xltypeErr: return errorValue(result->val.err);
        case xl::xltypeStr: {
            if (!result->val.str) return errorValue(kErrorValue);
            unsigned char count = static_cast<unsigned char>(result->val.str[0]);
            return textValue(std::string(result->val.str + 1, count));
        }
        default: return errorValue(kErrorValue);
    }
}

}  // namespace

Value callFunction(const AddinFunction& function, const std::vector<Value>& arguments) {
    int count = static_cast<int>(function.typeText.size()) - 1;
    if (!function.callable || !function.address || count != static_cast<int>(arguments.size())) return errorValue(kErrorValue);

    std::vector<std::string> texts(arguments.size());
    std::vector<PassedArgument> passed(arguments.size() + 1);
    for (int i = 0; i < count; ++i) {
        const Value& argument = arguments[i];
        if (argument.kind == ValueKind::error) return argument;
        PassedArgument& p = passed[i];
        double x = 0.0;
        switch (function.typeText[1 + i]) {
            case 'C':
                texts[i] = textOf(argument);
                if (texts[i].size() > 255) return errorValue(kErrorValue);
                break;
            case 'B':
                if (!numberOf(argument, x)) return errorValue(kErrorValue);
                p.number = x;
                break;
            case 'I':
                // Truncated toward zero; a 16-bit integer must hold the result.
                if (!numberOf(argument, x)) return errorValue(kErrorValue);
                x = std::trunc(x);
                if (x < -32768.0 || x > 32767.0) return errorValue(kErrorValue);
                p.integer = static_cast<short>(x);
                break;
            default: return errorValue(kErrorValue);
        }
    }
    for (int i = 0; i < count; ++i) passed[i].text = texts[i].c_str();
    WorksheetCall call = callWorksheetFunction(function.address, function.typeText.c_str() + 1, passed.data());
    if (!call.conventionKept) {
        // Excel itself would go on with a corrupted stack; nothing the add-in answers after
        // this can be trusted.
        std::fprintf(stderr,
                     "kaltra: %s took %d of its %d bytes of arguments off the stack: it is not __stdcall, "
                     "and Excel would crash calling it\n",
                     function.name.c_str(), call.removedBytes, call.argumentBytes);
        std::exit(kBrokenCallingConvention);
    }
    return valueOfResult(call.result);
}

// ---- Parsing ----------------------------------------------------------------------------

namespace {

// Deepest nesting of parentheses, calls and signs a formula may have.
constexpr int kMaxNesting = 100;

// Longest formula Excel takes, in characters; it also bounds the depth of evaluation.
constexpr std::size_t kMaxFormulaLength = 8192;

enum class Token { end, number, text, name, open, close, comma, plus, minus, times, divide, power, bad };

struct Parser {
    const std::string& source;
    const std::vector<AddinFunction>& functions;
    bool referencesAllowed;
    Formula& formula;
    Problem& problem;
    std::size_t position = 0;
    std::size_t tokenStart = 0;
    Token token = Token::end;
    std::string tokenText;
    double tokenNumber = 0.0;
    int depth = 0;
    bool failed = false;

    Parser(const std::string& source, const std::vector<AddinFunction>& functions, bool referencesAllowed,
           Formula& formula, Problem& problem)
        : source(source), functions(functions), referencesAllowed(referencesAllowed), formula(formula), problem(problem) {}

    // Notes the first problem; answers the node index of a failed parse.
    int fail(int code, const std::string& message) {
        if (!failed) {
            failed = true;
            problem.code = code;
            problem.message = message;
        }
        return -1;
    }

    int add(Node node) {
        formula.nodes.push_back(std::move(node));
        return static_cast<int>(formula.nodes.size()) - 1;
    }

    void skipBlanks() {
        while (position < source.size() && (source[position] == ' ' || source[position] == '\t')) ++position;
    }

    static bool isNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }
    static bool isNamePart(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '$'; }

    // Reads the next token.
    void next() {
        skipBlanks();
        tokenText.clear();
        tokenStart = position;
        if (position >= source.size()) {
            token = Token::end;
            return;
        }
        char c = source[position];
        if (std::isdigit(static_cast<unsigned char>(c)) || (c == '.' && position + 1 < source.size() &&
                                                            std::isdigit(static_cast<unsigned char>(source[position + 1])))) {
            readNumberToken();
            return;
        }
        if (c == '"') {
            readTextToken();
            return;
        }
        if (isNameStart(c)) {
            std::size_t start = position;
            while (position < source.size() && isNamePart(source[position])) ++position;
            tokenText = source.substr(start, position - start);
            token = Token::name;
            return;
        }
        ++position;
        switch (c) {
            case '(': token = Token::open; return;
            case ')': token = Token::close; return;
            case ',': token = Token::comma; return;
            case '+': token = Token::plus; return;
            case '-': token = Token::minus; return;
            case '*': token = Token::times; return;
            case '/': token = Token::divide; return;
            case '^': token = Token::power; return;
            default:
                token = Token::bad;
                tokenText = std::string(1, c);
                return;
        }
    }

    void readNumberToken() {
        std::size_t start = position;
        while (position < source.size() && std::isdigit(static_cast<unsigned char>(source[position]))) ++position;
        if (position < source.size() && source[position] == '.') {
            ++position;
            while (position < source.size() && std::isdigit(static_cast<unsigned char>(source[position]))) ++position;
        }
        if (position < source.size() && (source[position] == 'e' || source[position] == 'E')) {
            std::size_t mark = position++;
            if (position < source.size() && (source[position] == '+' || source[position] == '-')) ++position;
            if (position < source.size() && std::isdigit(static_cast<unsigned char>(source[position]))) {
                while (position < source.size() && std::isdigit(static_cast<unsigned char>(source[position]))) ++position;
            } else {
                position = mark;
            }
        }
        tokenText = source.substr(start, position - start);
        tokenNumber = std::strtod(tokenText.c_str(), nullptr);
        token = std::isfinite(tokenNumber) ? Token::number : Token::bad;
        if (position < source.size() && isNamePart(source[position])) {
            // Digits run into letters: not a number.
            while (position < source.size() && isNamePart(source[position])) ++position;
            tokenText = source.substr(start, position - start);
            token = Token::bad;
        }
    }

    void readTextToken() {
        ++position;  // opening quote
        for (;;) {
            if (position >= source.size()) {
                token = Token::bad;
                tokenText.assign(1, '"');
                return;
            }
            char c = source[position++];
            if (c == '"') {
                if (position < source.size() && source[position] == '"') {
                    tokenText += '"';
                    ++position;
                } else {
                    break;
                }
            } else {
                tokenText += c;
            }
        }
        token = Token::text;
    }

    std::string describeToken() const {
        switch (token) {
            case Token::end: return "end of formula";
            case Token::number: return "number " + tokenText;
            case Token::text: return "text \"" + tokenText + "\"";
            case Token::name: return "name " + tokenText;
            case Token::open: return "'('";
            case Token::close: return "')'";
            case Token::comma: return "','";
            case Token::plus: return "'+'";
            case Token::minus: return "'-'";
            case Token::times: return "'*'";
            case Token::divide: return "'/'";
            case Token::power: return "'^'";
            case Token::bad: break;
        }
        return "'" + tokenText + "'";
    }

    int unexpected() {
        if (token == Token::bad && tokenText == "\"") return fail(kErrorValue, "a text has no closing quote");
        if (token == Token::bad && !tokenText.empty() && std::isdigit(static_cast<unsigned char>(tokenText[0]))) {
            return fail(kErrorValue, "'" + tokenText + "' is not a number");
        }
        if (token == Token::end) return fail(kErrorValue, "unexpected end of formula");
        return fail(kErrorValue, "unexpected " + describeToken() + " at position " + std::to_string(tokenStart + 1));
    }

    // additive := term (('+' | '-') term)*
    int additive() {
        int left = term();
        while (!failed && (token == Token::plus || token == Token::minus)) {
            NodeKind kind = token == Token::plus ? NodeKind::add : NodeKind::subtract;
            next();
            int right = term();
            Node node;
            node.kind = kind;
            node.children = {left, right};
            left = add(node);
        }
        return left;
    }

    // term := power (('*' | '/') power)*
    int term() {
        int left = power();
        while (!failed && (token == Token::times || token == Token::divide)) {
            NodeKind kind = token == Token::times ? NodeKind::multiply : NodeKind::divide;
            next();
            int right = power();
            Node node;
            node.kind = kind;
            node.children = {left, right};
            left = add(node);
        }
        return left;
    }

    // power := unary ('^' unary)*, left to right; a sign binds tighter than '^' as in Excel
    int power() {
        int left = unary();
        while (!failed && token == Token::power) {
            next();
            int right = unary();
            Node node;
            node.kind = NodeKind::power;
            node.children = {left, right};
            left = add(node);
        }
        return left;
    }

    // unary := ('-' | '+') unary | primary
    int unary() {
        if (failed) return -1;
        if (token != Token::minus && token != Token::plus) return primary();
        if (++depth > kMaxNesting) return fail(kErrorValue, "the formula is nested too deeply");
        NodeKind kind = token == Token::minus ? NodeKind::negate : NodeKind::identity;
        next();
        int operand = unary();
        --depth;
        Node node;
        node.kind = kind;
        node.children = {operand};
        return add(node);
    }

    int primary() {
        if (failed) return -1;
        Node node;
        switch (token) {
            case Token::number:
                node.kind = NodeKind::number;
                node.number = tokenNumber;
                next();
                return add(node);
            case Token::text:
                node.kind = NodeKind::text;
                node.text = tokenText;
                next();
                return add(node);
            case Token::open: {
                if (++depth > kMaxNesting) return fail(kErrorValue, "the formula is nested too deeply");
                next();
                int inner = additive();
                if (failed) return -1;
                if (token != Token::close) return unexpected();
                --depth;
                next();
                return inner;
            }
            case Token::name: return nameOrCall();
            default: return unexpected();
        }
    }

    // A name: a call when '(' follows, else a cell reference.
    int nameOrCall() {
        std::string name = tokenText;
        next();
        if (token == Token::open) return call(name);
        int row = 0;
        int column = 0;
        if (!readReference(name, row, column)) {
            if (looksLikeReference(name)) return fail(kErrorRef, "bad cell reference " + name);
            return fail(kErrorName, "unknown name " + name);
        }
        if (!referencesAllowed) return fail(kErrorRef, "cell reference " + name + " needs a worksheet (kaltra sheet FILE.csv)");
        Node node;
        node.kind = NodeKind::reference;
        node.row = row;
        node.column = column;
        return add(node);
    }

    // Letters then digits, each optionally after a '$'.
    static bool looksLikeReference(const std::string& name) {
        std::size_t i = 0;
        if (i < name.size() && name[i] == '$') ++i;
        std::size_t letters = i;
        while (i < name.size() && std::isalpha(static_cast<unsigned char>(name[i]))) ++i;
        if (i == letters) return false;
        if (i < name.size() && name[i] == '$') ++i;
        std::size_t digits = i;
        while (i < name.size() && std::isdigit(static_cast<unsigned char>(name[i]))) ++i;
        return i == name.size() && i > digits;
    }

    // A1 reference within Excel's largest worksheet.
    static bool readReference(const std::string& name, int& row, int& column) {
        if (!looksLikeReference(name)) return false;
        std::size_t i = name[0] == '$' ? 1 : 0;
        // At most three letters and seven digits, so the sums below cannot overflow.
        long c = 0;
        int letters = 0;
        for (; std::isalpha(static_cast<unsigned char>(name[i])); ++i) {
            if (++letters > 3) return false;
            c = c * 26 + (std::toupper(static_cast<unsigned char>(name[i])) - 'A' + 1);
        }
        if (name[i] == '$') ++i;
        long r = 0;
        int digits = 0;
        for (; i < name.size(); ++i) {
            if (++digits > 7) return false;
            r = r * 10 + (name[i] - '0');
        }
        if (c > kMaxColumns || r < 1 || r > kMaxRows) return false;
        row = static_cast<int>(r - 1);
        column = static_cast<int>(c - 1);
        return true;
    }

    int call(const std::string& name) {
        int index = findFunction(functions, name);
        if (index < 0) return fail(kErrorName, "unknown function " + name);
        if (++depth > kMaxNesting) return fail(kErrorValue, "the formula is nested too deeply");
        const AddinFunction& function = functions[index];
        Node node;
        node.kind = NodeKind::call;
        node.function = index;
        next();  // past '('
        if (token != Token::close) {
            for (;;) {
                if (token == Token::comma || token == Token::close) {
                    // An argument left out: Excel passes it as a blank.
                    Node missing;
                    missing.kind = NodeKind::missing;
                    node.children.push_back(add(missing));
                } else {
                    node.children.push_back(additive());
                    if (failed) return -1;
                }
                if (token == Token::close) break;
                if (token != Token::comma) return unexpected();
                next();
            }
        }
        --depth;
        next();  // past ')'
        int expected = static_cast<int>(function.typeText.size()) - 1;
        int given = static_cast<int>(node.children.size());
        if (given != expected) {
            return fail(kErrorValue, function.name + " takes " + std::to_string(expected) + " argument" +
                                         (expected == 1 ? "" : "s") + ", not " + std::to_string(given));
        }
        if (!function.callable) return fail(kErrorValue, function.name + " takes arguments the host cannot pass");
        return add(node);
    }
};

}  // namespace

bool parseFormula(const std::string& source, const std::vector<AddinFunction>& functions,
                  bool referencesAllowed, Formula& formula, Problem& problem) {
    formula = Formula();
    if (source.size() > kMaxFormulaLength) {
        problem.code = kErrorValue;
        problem.message = "formula longer than " + std::to_string(kMaxFormulaLength) + " characters";
        return false;
    }
    Parser parser(source, functions, referencesAllowed, formula, problem);
    parser.skipBlanks();
    if (parser.position < source.size() && source[parser.position] == '=') ++parser.position;
    parser.next();
    if (parser.token == Token::end) {
        problem.code = kErrorValue;
        problem.message = "empty formula";
        return false;
    }
    int root = parser.additive();
    if (!parser.failed && parser.token != Token::end) parser.unexpected();
    if (parser.failed) {
        formula = Formula();
        return false;
    }
    formula.root = root;
    return true;
}

std::vector<std::pair<int, int>> referencesOf(const Formula& formula) {
    std::vector<std::pair<int, int>> cells;
    for (const Node& node : formula.nodes) {
        if (node.kind == NodeKind::reference) cells.emplace_back(node.row, node.column);
    }
    return cells;
}

// ---- Evaluation -------------------------------------------------------------------------

namespace {

Value arithmetic(NodeKind kind, const Value& left, const Value& right) {
    if (left.kind == ValueKind::error) return left;
    if (right.kind == ValueKind::error) return right;
    double x = 0.0;
    double y = 0.0;
    if (!numberOf(left, x) || !numberOf(right, y)) return errorValue(kErrorValue);
    double z = 0.0;
    switch (kind) {
        case NodeKind::add: z = x + y; break;
        case NodeKind::subtract: z = x - y; break;
        case NodeKind::multiply: z = x * y; break;
        case NodeKind::divide:
            if (y == 0.0) return errorValue(kErrorDivZero);
            z = x / y;
            break;
        case NodeKind::power:
            if (x == 0.0 && y == 0.0) return errorValue(kErrorNum);
            if (x == 0.0 && y < 0.0) return errorValue(kErrorDivZero);
            z = std::pow(x, y);
            break;
        default: return errorValue(kErrorValue);
    }
    return std::isfinite(z) ? numberValue(z) : errorValue(kErrorNum);
}

Value evaluateNode(const Formula& formula, int index, const std::vector<AddinFunction>& functions, const CellSource* cells) {
    const Node& node = formula.nodes[index];
    switch (node.kind) {
        case NodeKind::number: return numberValue(node.number);
        case NodeKind::text: return textValue(node.text);
        case NodeKind::missing: return Value();
        case NodeKind::reference: return cells ? cells->cell(node.row, node.column) : errorValue(kErrorRef);
        case NodeKind::negate:
        case NodeKind::identity: {
            Value operand = evaluateNode(formula, node.children[0], functions, cells);
            if (operand.kind == ValueKind::error) return operand;
            double x = 0.0;
            if (!numberOf(operand, x)) return errorValue(kErrorValue);
            return numberValue(node.kind == NodeKind::negate ? -x : x);
        }
        case NodeKind::call: {
            std::vector<Value> arguments;
            for (int child : node.children) arguments.push_back(evaluateNode(formula, child, functions, cells));
            return callFunction(functions[node.function], arguments);
        }
        default:
            return arithmetic(node.kind, evaluateNode(formula, node.children[0], functions, cells),
                              evaluateNode(formula, node.children[1], functions, cells));
    }
}

}  // namespace

Value evaluate(const Formula& formula, const std::vector<AddinFunction>& functions, const CellSource* cells) {
    if (formula.root < 0) return errorValue(kErrorValue);
    Value value = evaluateNode(formula, formula.root, functions, cells);
    return value.kind == ValueKind::blank ? numberValue(0.0) : value;
}

}  // namespace kaltra::host
