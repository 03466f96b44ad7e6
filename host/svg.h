// A small SVG writer for the host's charts: elements appended to a text, coordinates in
// pixels with two decimals, texts given in UTF-8 and escaped here.
#pragma once

#include <string>
#include <vector>

namespace kaltra::host::svg {

struct Point {
    double x = 0.0;
    double y = 0.0;
};

// A number as written into the document: two decimals, trailing zeros dropped.
std::string number(double x);

// Text with the five characters XML reserves replaced by their entities.
std::string escaped(const std::string& text);

// The opening <svg> element with its size and view box, and the closing one.
void begin(std::string& out, double width, double height);
void end(std::string& out);

// A <style> element holding the style sheet as given.
void styleSheet(std::string& out, const std::string& css);

// A clip path of one rectangle, referred to as url(#id).
void clipRectangle(std::string& out, const std::string& id, double x, double y, double width, double height);

// A group; `attributes` is written as given (already escaped), e.g. class="grid".
void beginGroup(std::string& out, const std::string& attributes);
void endGroup(std::string& out);

void line(std::string& out, Point a, Point b, const std::string& attributes);
void rectangle(std::string& out, double x, double y, double width, double height, const std::string& attributes);
void circle(std::string& out, Point centre, double radius, const std::string& attributes);

// An open polyline as a <path>; nothing is written for fewer than two points.
void polyline(std::string& out, const std::vector<Point>& points, const std::string& attributes);

// A text anchored at (x, y); the content is UTF-8 and is escaped here.
void text(std::string& out, double x, double y, const std::string& content, const std::string& attributes);

// A <title> or <desc> child, escaped.
void title(std::string& out, const std::string& content);

}  // namespace kaltra::host::svg
