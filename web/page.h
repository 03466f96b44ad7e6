// Inside the page's module: the one way its worksheet calls are made (page_calls.cpp), which
// the chart's tracing (page_chart.cpp) uses too.
#pragma once

#include <string>

namespace kaltra::web {

// The most arguments besides the fluid that a worksheet function takes.
constexpr int kMaxPageArguments = 3;

// The number worksheet function `function` (table position) answers for the fluid (UTF-8) and
// its other arguments in table order; NaN for any other answer or a call that is not made.
// Counted, and recorded while the page records.
double callNumber(int function, const std::string& fluid, const double* values, int count);

// The text a text function answers for its integer arguments, UTF-8; "" for an error value.
std::string callText(int function, int x, int y);

}  // namespace kaltra::web
