// Formulas in Excel syntax: the parser, which turns a formula into nodes, and the evaluator,
// which computes them, calling the add-in for the calls they hold.
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "host/kaltra.h"

namespace kaltra::host {

std::string cellName(int row, int column) {
    std::string letters;
    for (int c = column + 1; c > 0; c = (c - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row + 1);
}

// ---- Parsing ----------------------------------------------------------------------------

namespace {

// Deepest nesting of parentheses, calls and signs a formula may have.
constexpr int kMaxNesting = 100;

// Longest formula Excel takes, in characters; it also bounds the depth of evaluation.
constexpr std::size_t kMaxFormulaLength = 8192;

enum class Token { end, number, text, name, open, close, comma, plus, minus, times, divide, power, bad };

// The binary operators by level, loosest first: + -, then * /, then ^. A sign binds tighter
// than '^', as in Excel.
struct BinaryOperator {
    int level;
    Token token;
    NodeKind kind;
};
constexpr BinaryOperator kBinaryOperators[] = {
    {0, Token::plus, NodeKind::add},       {0, Token::minus, NodeKind::subtract},
    {1, Token::times, NodeKind::multiply}, {1, Token::divide, NodeKind::divide},
    {2, Token::power, NodeKind::power},
};
constexpr int kBinaryLevels = 3;

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

    // expression := binary(0)
    int expression() { return binary(0); }

    // binary(n) := binary(n + 1) (operator of level n, binary(n + 1))*, grouping from the left;
    // binary(kBinaryLevels) := unary
    int binary(int level) {
        if (level == kBinaryLevels) return unary();
        int left = binary(level + 1);
        for (NodeKind kind; !failed && binaryOperator(level, kind);) {
            next();
            int right = binary(level + 1);
            Node node;
            node.kind = kind;
            node.children = {left, right};
            left = add(node);
        }
        return left;
    }

    // Whether the current token is a binary operator of the level, and which.
    bool binaryOperator(int level, NodeKind& kind) const {
        for (const BinaryOperator& op : kBinaryOperators) {
            if (op.level == level && op.token == token) {
                kind = op.kind;
                return true;
            }
        }
        return false;
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
                int inner = expression();
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
                    node.children.push_back(expression());
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
    int root = parser.expression();
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
