// Little-endian numbers in byte images, and a read-only view of bytes that
// checks every offset and size against what exists. Every reader and writer
// of a file format in the project (packages, pictures, sounds, executables,
// icons) goes through these; plain functions on plain bytes, usable by the
// engine (no exceptions, no allocation) and by the tools alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace sg::format {

// ---- fields at a pointer: the caller has checked the bytes exist ----

inline std::uint16_t read_u16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t read_u32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
inline std::uint64_t read_u64(const std::uint8_t* p) {
    return read_u32(p) | std::uint64_t{read_u32(p + 4)} << 32;
}
inline std::int16_t read_i16(const std::uint8_t* p) { return static_cast<std::int16_t>(read_u16(p)); }
inline std::int32_t read_i32(const std::uint8_t* p) { return static_cast<std::int32_t>(read_u32(p)); }

inline void write_u16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void write_u32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void write_u64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void write_i16(std::uint8_t* p, std::int16_t v) { write_u16(p, static_cast<std::uint16_t>(v)); }
inline void write_i32(std::uint8_t* p, std::int32_t v) { write_u32(p, static_cast<std::uint32_t>(v)); }

// Appends to anything with push_back of bytes (a growing file image).
template <class Out>
void append_u16(Out& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
template <class Out>
void append_u32(Out& out, std::uint32_t v) {
    append_u16(out, static_cast<std::uint16_t>(v));
    append_u16(out, static_cast<std::uint16_t>(v >> 16));
}

// ---- ranges ----

// True when [offset, offset + length) lies inside `size` bytes. Offsets and
// lengths come from untrusted fields: negative ones are outside, and the sum
// is never formed, so no value wraps around.
constexpr bool in_bounds(std::int64_t offset, std::int64_t length, std::uint64_t size) {
    return offset >= 0 && length >= 0 && static_cast<std::uint64_t>(offset) <= size &&
           static_cast<std::uint64_t>(length) <= size - static_cast<std::uint64_t>(offset);
}

// The bytes [0, size) at data, read-only. Ranges are checked with in_bounds;
// the single-field reads treat bytes outside as zero without touching memory,
// which is how a short image reads from a zero-filled working copy.
class ByteView {
public:
    constexpr ByteView() = default;
    constexpr ByteView(const std::uint8_t* data, std::size_t size) : data_(data), size_(data ? size : 0) {}

    constexpr const std::uint8_t* data() const { return data_; }
    constexpr std::size_t size() const { return size_; }
    constexpr bool empty() const { return size_ == 0; }

    constexpr bool contains(std::int64_t offset, std::int64_t length) const {
        return in_bounds(offset, length, size_);
    }
    // The first byte of [offset, offset + length), or nullptr when the range
    // does not lie inside.
    constexpr const std::uint8_t* at(std::int64_t offset, std::int64_t length) const {
        return contains(offset, length) && data_ ? data_ + offset : nullptr;
    }
    // [offset, offset + length) as a view of its own; nothing when it does
    // not lie inside.
    constexpr std::optional<ByteView> sub(std::int64_t offset, std::int64_t length) const {
        if (!contains(offset, length)) return std::nullopt;
        return ByteView(data_ ? data_ + offset : nullptr, static_cast<std::size_t>(length));
    }

    // Offsets are taken modulo 2^64, so a negative one (or one next to the
    // largest) names bytes outside rather than overflowing.
    constexpr std::uint8_t u8(std::int64_t at) const { return byte(static_cast<std::uint64_t>(at)); }
    constexpr std::uint16_t u16(std::int64_t at) const {
        const auto a = static_cast<std::uint64_t>(at);
        return static_cast<std::uint16_t>(byte(a) | byte(a + 1) << 8);
    }
    constexpr std::uint32_t u32(std::int64_t at) const {
        const auto a = static_cast<std::uint64_t>(at);
        return std::uint32_t{byte(a)} | std::uint32_t{byte(a + 1)} << 8 | std::uint32_t{byte(a + 2)} << 16 |
               std::uint32_t{byte(a + 3)} << 24;
    }
    constexpr std::int32_t i32(std::int64_t at) const { return static_cast<std::int32_t>(u32(at)); }

private:
    constexpr std::uint8_t byte(std::uint64_t at) const { return at < size_ ? data_[at] : 0; }

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace sg::format
