#include "tools/core/util.h"

#include "tools/core/output.h"
#include "tools/core/safe_files.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <unistd.h>

namespace sg::packtool {

namespace fs = std::filesystem;

Bytes read_file(const fs::path& path) { return read_regular_file(path, MAX_FILE_BYTES); }

void write_file_atomic(const fs::path& path, std::span<const std::uint8_t> bytes) { write_output(path, bytes); }

void write_file_atomic(const fs::path& path, const std::string& text) {
    write_file_atomic(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::string hex_bytes(std::span<const std::uint8_t> bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

bool parse_hex_bytes(const std::string& text, Bytes& out) {
    out.clear();
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string compact;
    for (char c : text)
        if (c != ' ' && c != '\n' && c != '\t' && c != '\r') compact += c;
    if (compact.size() % 2) return false;
    for (std::size_t i = 0; i < compact.size(); i += 2) {
        int hi = digit(compact[i]), lo = digit(compact[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return true;
}

}  // namespace sg::packtool
