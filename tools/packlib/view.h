// Bounded little-endian reads for the package readers (internal to packlib).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "tools/packlib/packlib.h"

namespace sg::pack::detail {

// The bytes [0, size) at data. Reads outside them yield zero without touching
// memory, which is also how the engine's zero-filled working copies behave.
struct View {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;

    std::uint8_t u8(std::int64_t at) const {
        return at >= 0 && static_cast<std::uint64_t>(at) < size ? data[at] : 0;
    }
    std::uint16_t u16(std::int64_t at) const {
        return static_cast<std::uint16_t>(u8(at) | (u8(at + 1) << 8));
    }
    std::uint32_t u32(std::int64_t at) const {
        return static_cast<std::uint32_t>(u8(at)) | static_cast<std::uint32_t>(u8(at + 1)) << 8 |
               static_cast<std::uint32_t>(u8(at + 2)) << 16 |
               static_cast<std::uint32_t>(u8(at + 3)) << 24;
    }
    std::int32_t i32(std::int64_t at) const { return static_cast<std::int32_t>(u32(at)); }
    // True when [offset, offset + length) lies inside the bytes.
    bool contains(std::int64_t offset, std::int64_t length) const {
        return offset >= 0 && length >= 0 &&
               static_cast<std::uint64_t>(offset) + static_cast<std::uint64_t>(length) <= size;
    }
    // Copies [offset, offset + length), zero-filling what lies past the end;
    // the caller has made sure length is sane.
    Bytes copy(std::int64_t offset, std::int64_t length) const {
        Bytes out(static_cast<std::size_t>(length), 0);
        const std::int64_t from = offset < 0 ? 0 : offset;
        const std::int64_t to = offset + length < static_cast<std::int64_t>(size)
                                    ? offset + length
                                    : static_cast<std::int64_t>(size);
        if (from < to) std::memcpy(out.data() + (from - offset), data + from, static_cast<std::size_t>(to - from));
        return out;
    }
};

inline void report(Problems& out, Severity severity, std::int64_t offset, std::string message) {
    out.push_back({severity, static_cast<std::size_t>(offset < 0 ? 0 : offset), std::move(message)});
}

inline std::string num(std::int64_t v) { return std::to_string(v); }

}  // namespace sg::pack::detail
