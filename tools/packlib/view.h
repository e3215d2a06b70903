// What the package readers share (internal to packlib): the format's checked
// view of bytes, copies out of it, and problem reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "format/bytes.h"
#include "tools/packlib/packlib.h"

namespace sg::pack::detail {

// The bytes [0, size) at data; reads outside them yield zero without
// touching memory, which is also how the engine's zero-filled working copies
// behave.
using View = format::ByteView;

// Copies [offset, offset + length) of v, zero-filling what lies outside it;
// the caller has made sure length is sane.
inline Bytes copy_out(const View& v, std::int64_t offset, std::int64_t length) {
    Bytes out(static_cast<std::size_t>(length), 0);
    const std::int64_t size = static_cast<std::int64_t>(v.size());
    const std::int64_t from = offset < 0 ? 0 : offset;
    const std::int64_t to = offset + length < size ? offset + length : size;
    if (from < to) std::memcpy(out.data() + (from - offset), v.data() + from, static_cast<std::size_t>(to - from));
    return out;
}

inline void report(Problems& out, Severity severity, std::int64_t offset, std::string message) {
    out.push_back({severity, static_cast<std::size_t>(offset < 0 ? 0 : offset), std::move(message)});
}

inline std::string num(std::int64_t v) { return std::to_string(v); }

}  // namespace sg::pack::detail
