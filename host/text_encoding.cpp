// Text encodings of the host: the add-in reads and answers Windows-1252 bytes; the host's
// command line, worksheets and output are UTF-8.
#include <cstddef>
#include <string>

#include "host/kaltra.h"

namespace kaltra::host {

namespace {

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

}  // namespace kaltra::host
