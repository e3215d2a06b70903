#include "tools/core/scene_budget.h"

namespace sg::packtool::manifest {

namespace {

std::uint32_t be32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}
std::uint32_t be16(const std::uint8_t* p) { return (static_cast<std::uint32_t>(p[0]) << 8) | p[1]; }

// The frame header of a JPEG: markers are walked by their lengths up to the
// first start of frame (SOF0..SOF15 but DHT, JPG and DAC).
std::optional<std::pair<std::int64_t, std::int64_t>> jpeg_size(std::span<const std::uint8_t> b) {
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        if (b[at] != 0xff) return std::nullopt;
        const std::uint8_t marker = b[at + 1];
        if (marker == 0xff) {
            ++at;  // fill byte
            continue;
        }
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) {
            at += 2;  // markers without a length
            continue;
        }
        const std::uint32_t length = be16(&b[at + 2]);
        if (length < 2) return std::nullopt;
        if (marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc) {
            if (at + 9 > b.size()) return std::nullopt;
            return std::pair<std::int64_t, std::int64_t>{be16(&b[at + 7]), be16(&b[at + 5])};
        }
        at += 2 + length;
    }
    return std::nullopt;
}

std::string mib(std::uint64_t bytes) { return std::to_string(bytes) + " bytes (" + std::to_string(bytes >> 20) + " MiB)"; }

}  // namespace

std::optional<std::pair<std::int64_t, std::int64_t>> declared_size(std::span<const std::uint8_t> b) {
    static const std::uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (b.size() >= 24 && std::equal(png, png + 8, b.begin())) return std::pair<std::int64_t, std::int64_t>{be32(&b[16]), be32(&b[20])};
    if (b.size() >= 10 && b[0] == 'G' && b[1] == 'I' && b[2] == 'F') return std::pair<std::int64_t, std::int64_t>{read_u16(&b[6]), read_u16(&b[8])};
    if (b.size() >= 26 && b[0] == 'B' && b[1] == 'M') {
        const std::int64_t h = read_i32(&b[22]);
        return std::pair<std::int64_t, std::int64_t>{read_i32(&b[18]), h < 0 ? -h : h};
    }
    if (b.size() >= 4 && b[0] == 0xff && b[1] == 0xd8) return jpeg_size(b);
    return std::nullopt;
}

std::uint64_t bmp24_bytes(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) return 0;
    return 54 + static_cast<std::uint64_t>((3 * width + 3) / 4 * 4) * static_cast<std::uint64_t>(height);
}

void expect_room(const Ctx& c, int line, const std::string& setting, const std::string& file, std::uint64_t bytes) {
    if (bytes <= c.budget && c.stored <= c.budget - bytes) return;
    fail(c, line, setting,
         file + ": would take " + mib(bytes) + " in the package, after " + mib(c.stored) +
             " already taken by the files before it; a scene's pictures, frames and sound hold at most " +
             mib(c.budget) + " together");
}

void charge(Ctx& c, int line, const std::string& setting, const std::string& file, std::uint64_t bytes) {
    expect_room(c, line, setting, file, bytes);
    c.stored += bytes;
}

void expect_picture_room(const Ctx& c, int line, const std::string& setting, const std::string& file,
                         std::span<const std::uint8_t> bytes, int bytesPerPixel) {
    const auto size = declared_size(bytes);
    if (!size || size->first <= 0 || size->second <= 0 || size->first > 0x7fffffff || size->second > 0x7fffffff) return;
    const std::uint64_t pixels = static_cast<std::uint64_t>(size->first) * static_cast<std::uint64_t>(size->second);
    expect_room(c, line, setting, file, bytesPerPixel == 3 ? bmp24_bytes(size->first, size->second) : pixels * bytesPerPixel);
}

}  // namespace sg::packtool::manifest
