#include "tools/core/json.h"

#include <cmath>
#include <cstdlib>

namespace sg::packtool {

const Json* Json::get(std::string_view key) const {
    if (kind != Kind::Object) return nullptr;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == key) return &items[i];
    return nullptr;
}

namespace {

class Reader {
public:
    Reader(std::span<const std::uint8_t> bytes, const std::string& what) : b_(bytes), what_(what) {}

    Json document() {
        Json v = value(0);
        space();
        if (at_ < b_.size()) wrong("text after the end of the value");
        return v;
    }

private:
    std::span<const std::uint8_t> b_;
    const std::string& what_;
    std::size_t at_ = 0;

    [[noreturn]] void wrong(const std::string& why) const {
        int line = 1;
        for (std::size_t i = 0; i < at_ && i < b_.size(); ++i) line += b_[i] == '\n';
        throw Failure(what_ + ": line " + std::to_string(line) + ": " + why + " (not readable as JSON)");
    }
    void space() {
        while (at_ < b_.size() && (b_[at_] == ' ' || b_[at_] == '\t' || b_[at_] == '\n' || b_[at_] == '\r')) ++at_;
    }
    int peek() const { return at_ < b_.size() ? b_[at_] : -1; }
    void expect(char ch) {
        space();
        if (peek() != ch) wrong(std::string("expected '") + ch + "'");
        ++at_;
    }
    void word(std::string_view w) {
        if (b_.size() - at_ < w.size() || std::string_view(reinterpret_cast<const char*>(&b_[at_]), w.size()) != w)
            wrong("unexpected character");
        at_ += w.size();
    }

    Json value(int depth) {
        if (depth > 64) wrong("nested more than 64 levels deep");
        space();
        Json v;
        const int ch = peek();
        if (ch == '{') {
            v.kind = Json::Kind::Object;
            ++at_;
            space();
            if (peek() == '}') return ++at_, v;
            for (;;) {
                space();
                if (peek() != '"') wrong("expected a member name in quotes");
                std::string name = string();
                expect(':');
                v.items.push_back(value(depth + 1));
                v.names.push_back(std::move(name));
                space();
                if (peek() == ',') { ++at_; continue; }
                expect('}');
                return v;
            }
        }
        if (ch == '[') {
            v.kind = Json::Kind::Array;
            ++at_;
            space();
            if (peek() == ']') return ++at_, v;
            for (;;) {
                v.items.push_back(value(depth + 1));
                space();
                if (peek() == ',') { ++at_; continue; }
                expect(']');
                return v;
            }
        }
        if (ch == '"') {
            v.kind = Json::Kind::String;
            v.text = string();
        } else if (ch == 't' || ch == 'f') {
            v.kind = Json::Kind::Boolean;
            v.boolean = ch == 't';
            word(v.boolean ? "true" : "false");
        } else if (ch == 'n') {
            word("null");
        } else if (ch == '-' || (ch >= '0' && ch <= '9')) {
            v.kind = Json::Kind::Number;
            v.number = number();
        } else {
            wrong(ch < 0 ? "the file ends where a value should be" : "unexpected character");
        }
        return v;
    }

    double number() {
        const std::size_t start = at_;
        auto digits = [&] {
            const std::size_t from = at_;
            while (peek() >= '0' && peek() <= '9') ++at_;
            if (at_ == from) wrong("a number without digits");
        };
        if (peek() == '-') ++at_;
        digits();
        if (peek() == '.') ++at_, digits();
        if (peek() == 'e' || peek() == 'E') {
            ++at_;
            if (peek() == '+' || peek() == '-') ++at_;
            digits();
        }
        const std::string text(reinterpret_cast<const char*>(&b_[start]), at_ - start);
        const double n = std::strtod(text.c_str(), nullptr);
        if (!std::isfinite(n)) wrong("a number too large");
        return n;
    }

    unsigned hex4() {
        unsigned u = 0;
        for (int i = 0; i < 4; ++i, ++at_) {
            const int h = peek();
            u <<= 4;
            if (h >= '0' && h <= '9') u |= static_cast<unsigned>(h - '0');
            else if (h >= 'a' && h <= 'f') u |= static_cast<unsigned>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F') u |= static_cast<unsigned>(h - 'A' + 10);
            else wrong("\\u needs four hexadecimal digits");
        }
        return u;
    }

    static void utf8(std::string& out, unsigned u) {
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xc0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3f));
        } else if (u < 0x10000) {
            out += static_cast<char>(0xe0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (u & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (u >> 18));
            out += static_cast<char>(0x80 | ((u >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (u & 0x3f));
        }
    }

    std::string string() {
        ++at_;  // the opening quote
        std::string out;
        for (;;) {
            const int ch = peek();
            if (ch < 0) wrong("a string is not closed");
            ++at_;
            if (ch == '"') return out;
            if (ch < 0x20) wrong("a control character inside a string");
            if (ch != '\\') {
                out += static_cast<char>(ch);
                continue;
            }
            const int e = peek();
            ++at_;
            switch (e) {
            case '"': case '\\': case '/': out += static_cast<char>(e); break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned u = hex4();
                if (u >= 0xd800 && u < 0xdc00 && peek() == '\\' && at_ + 1 < b_.size() && b_[at_ + 1] == 'u') {
                    at_ += 2;
                    const unsigned low = hex4();
                    if (low < 0xdc00 || low > 0xdfff) wrong("a \\u surrogate pair is broken");
                    u = 0x10000 + ((u - 0xd800) << 10) + (low - 0xdc00);
                }
                utf8(out, u);
                break;
            }
            default: --at_, wrong("an unknown escape in a string");
            }
        }
    }
};

}  // namespace

Json json_parse(std::span<const std::uint8_t> bytes, const std::string& what) { return Reader(bytes, what).document(); }

}  // namespace sg::packtool
