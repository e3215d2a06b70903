#include "tools/core/quote.h"

#include <cstdio>

namespace sg::packtool {

std::string quote(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char ch : utf8) {
        switch (ch) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default:
            if (ch < 0x20 || ch == 0x7f) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", ch);
                out += esc;
            } else {
                out += static_cast<char>(ch);
            }
        }
    }
    return out + "\"";
}

}  // namespace sg::packtool
