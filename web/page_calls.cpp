// The page's worksheet calls: every one goes through the C interface (kaltra_evaluate for a
// number, the four text entry points for a text), is counted, and is written down as the
// kaltra host's formula and answer while the page records.
#include <cmath>
#include <cstdio>
#include <string>

#include "capi/kaltra.h"
#include "host/kaltra.h"
#include "web/kaltra_web.h"
#include "web/page.h"

namespace kaltra::web {

namespace {

// The calls made so far, and what has been recorded since the last take.
int CallCount = 0;
bool Recording = false;
std::string Recorded;
std::string Taken;

// The longest text a worksheet function takes, as Excel passes it.
constexpr std::size_t kLongestText = 255;

// A number as the kaltra host prints and reads it: 17 significant digits.
std::string written(double x) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", x);
    return buffer;
}

// A text as a formula's argument: in double quotes, a quote doubled.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
}

// One recorded line: the formula, a tab, the answer as the host prints it.
void record(const char* name, const std::string& arguments, const std::string& answer) {
    Recorded += name;
    Recorded += '(';
    Recorded += arguments;
    Recorded += ")\t";
    Recorded += answer;
    Recorded += '\n';
}

// An integer argument as the host passes one: truncated toward zero, within 16 bits.
bool integerArgument(double x, int& n) {
    double whole = std::trunc(x);
    if (!(whole >= -32768.0 && whole <= 32767.0)) return false;
    n = static_cast<int>(whole);
    return true;
}

}  // namespace

double callNumber(int function, const std::string& fluid, const double* values, int count) {
    const int arguments = kaltra_argument_count(function);
    if (arguments == 0) return NAN;
    const std::string text = host::windows1252FromUtf8(fluid);
    if (text.size() > kLongestText) return NAN;
    // Each argument but the fluid in its kind: a double, or an int for a unit code or an index.
    double numbers[kMaxPageArguments] = {};
    int integers[kMaxPageArguments] = {};
    const void* pointers[kMaxPageArguments] = {};
    int next = 0;
    for (int a = 0; a < arguments; ++a) {
        const char kind = kaltra_argument_kind(function, a);
        if (kind == 'C') continue;
        if (next >= count || next >= kMaxPageArguments) return NAN;
        if (kind == 'I') {
            if (!integerArgument(values[next], integers[next])) return NAN;
            pointers[next] = &integers[next];
        } else {
            numbers[next] = values[next];
            pointers[next] = &numbers[next];
        }
        ++next;
    }
    double answer = NAN;
    kaltra_evaluate(function, text.c_str(), 0, nullptr, pointers, nullptr, &answer);
    ++CallCount;
    if (Recording) {
        // The formula as the kaltra host reads it: the arguments in table order.
        std::string formulaArguments;
        for (int a = 0, k = 0; a < arguments; ++a) {
            if (a > 0) formulaArguments += ", ";
            const char kind = kaltra_argument_kind(function, a);
            if (kind == 'C') {
                formulaArguments += quoted(fluid);
            } else {
                formulaArguments += kind == 'I' ? std::to_string(integers[k]) : written(numbers[k]);
                ++k;
            }
        }
        record(kaltra_function_name(function), formulaArguments, written(answer));
    }
    return answer;
}

std::string callText(int function, int x, int y) {
    const std::string name = kaltra_function_name(function) != nullptr ? kaltra_function_name(function) : "";
    char text[KALTRA_TEXT_SIZE] = {};
    int code = 0;
    std::string arguments = std::to_string(x);
    if (name == "KaltUnits") {
        code = kaltra_KaltUnits(x, y, text, sizeof text);
        arguments += ", " + std::to_string(y);
    } else if (name == "KaltName") {
        code = kaltra_KaltName(x, text, sizeof text);
    } else if (name == "KaltLongName") {
        code = kaltra_KaltLongName(x, text, sizeof text);
    } else if (name == "KaltForm") {
        code = kaltra_KaltForm(x, text, sizeof text);
    } else {
        return "";
    }
    ++CallCount;
    const std::string answer = code == 0 ? host::utf8FromWindows1252(text) : "";
    if (Recording) record(name.c_str(), arguments, code == 0 ? answer : "#ERR(" + std::to_string(code) + ")");
    return answer;
}

}  // namespace kaltra::web

// ---- The entry points ---------------------------------------------------------------------------

extern "C" {

double kaltra_web_number(int function, const char* fluid, double x, double y, double z) {
    const double values[] = {x, y, z};
    return kaltra::web::callNumber(function, fluid != nullptr ? fluid : "", values, 3);
}

const char* kaltra_web_text(int function, int x, int y) {
    static std::string answer;
    answer = kaltra::web::callText(function, x, y);
    return answer.c_str();
}

int kaltra_web_call_count(void) { return kaltra::web::CallCount; }

void kaltra_web_record(int on) { kaltra::web::Recording = on != 0; }

const char* kaltra_web_format(double x, int digits) {
    static char text[32];
    std::snprintf(text, sizeof text, "%.*g", digits < 1 ? 1 : digits > 17 ? 17 : digits, x);
    return text;
}

const char* kaltra_web_record_take(void) {
    kaltra::web::Taken.swap(kaltra::web::Recorded);
    kaltra::web::Recorded.clear();
    return kaltra::web::Taken.c_str();
}

}  // extern "C"
