// The SVG writer: plain text appended element by element.
#include "host/svg.h"

#include <cmath>
#include <cstdio>

namespace kaltra::host::svg {

std::string number(double x) {
    char buffer[48];
    double rounded = std::round(x * 100.0) / 100.0;
    if (rounded == 0.0) rounded = 0.0;  // no "-0"
    std::snprintf(buffer, sizeof buffer, "%.2f", rounded);
    std::string shown = buffer;
    while (!shown.empty() && shown.back() == '0') shown.pop_back();
    if (!shown.empty() && shown.back() == '.') shown.pop_back();
    return shown;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += c;
        }
    }
    return out;
}

void begin(std::string& out, double width, double height) {
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(width) + "\" height=\"" + number(height) +
           "\" viewBox=\"0 0 " + number(width) + " " + number(height) + "\">\n";
}

void end(std::string& out) { out += "</svg>\n"; }

void styleSheet(std::string& out, const std::string& css) { out += "<style>\n" + css + "</style>\n"; }

void clipRectangle(std::string& out, const std::string& id, double x, double y, double width, double height) {
    out += "<defs><clipPath id=\"" + escaped(id) + "\"><rect x=\"" + number(x) + "\" y=\"" + number(y) + "\" width=\"" +
           number(width) + "\" height=\"" + number(height) + "\"/></clipPath></defs>\n";
}

void beginGroup(std::string& out, const std::string& attributes) { out += "<g " + attributes + ">\n"; }

void endGroup(std::string& out) { out += "</g>\n"; }

void line(std::string& out, Point a, Point b, const std::string& attributes) {
    out += "<line x1=\"" + number(a.x) + "\" y1=\"" + number(a.y) + "\" x2=\"" + number(b.x) + "\" y2=\"" + number(b.y) +
           "\" " + attributes + "/>\n";
}

void rectangle(std::string& out, double x, double y, double width, double height, const std::string& attributes) {
    out += "<rect x=\"" + number(x) + "\" y=\"" + number(y) + "\" width=\"" + number(width) + "\" height=\"" +
           number(height) + "\" " + attributes + "/>\n";
}

void circle(std::string& out, Point centre, double radius, const std::string& attributes) {
    out += "<circle cx=\"" + number(centre.x) + "\" cy=\"" + number(centre.y) + "\" r=\"" + number(radius) + "\" " +
           attributes + "/>\n";
}

void polyline(std::string& out, const std::vector<Point>& points, const std::string& attributes) {
    if (points.size() < 2) return;
    std::string d;
    for (std::size_t i = 0; i < points.size(); ++i) {
        d += (i == 0 ? "M" : " L") + number(points[i].x) + "," + number(points[i].y);
    }
    out += "<path d=\"" + d + "\" " + attributes + "/>\n";
}

void text(std::string& out, double x, double y, const std::string& content, const std::string& attributes) {
    out += "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\" " + attributes + ">" + escaped(content) + "</text>\n";
}

void title(std::string& out, const std::string& content) { out += "<title>" + escaped(content) + "</title>\n"; }

}  // namespace kaltra::host::svg
