// "AP01" animation sets: writing, and reading back with the problems the
// engine's loader would have.
#include <algorithm>
#include <limits>
#include <stdexcept>

#include "tools/packlib/packlib.h"
#include "tools/packlib/view.h"

namespace sg::pack {

using detail::num;
using detail::report;
using detail::View;
using detail::copy_out;

namespace {

constexpr std::int64_t OFFSETS_AT = 16;
constexpr std::int64_t SIZES_AT = 96;
constexpr std::int64_t DURATIONS_AT = 176;

// The magic as printable text for messages: "AP01", or escapes.
std::string shown_magic(const std::string& magic) {
    std::string out;
    for (unsigned char c : magic) {
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            static const char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

}  // namespace

Bytes animset_bytes(const AnimSet& set) {
    if (set.frames.size() > static_cast<std::size_t>(MAX_SET_FRAMES))
        throw std::runtime_error("animset: more than 20 frames");
    if (set.magic.size() > 4) throw std::runtime_error("animset: magic longer than 4 bytes");
    std::size_t total = ANIMSET_HEADER_BYTES;
    for (const Frame& f : set.frames) total += f.bmp.size();
    if (total > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw std::runtime_error("animset: set larger than 2 GB");

    Bytes out(total, 0);
    std::copy(set.magic.begin(), set.magic.end(), out.begin());
    put32(out, 4, set.version);
    put32(out, 8, set.frameCountOverride.value_or(static_cast<std::int32_t>(set.frames.size())));
    put32(out, 12, set.maskMode);
    std::size_t pos = ANIMSET_HEADER_BYTES;
    for (std::size_t i = 0; i < set.frames.size(); ++i) {
        const Frame& f = set.frames[i];
        put32(out, OFFSETS_AT + 4 * i, static_cast<std::int32_t>(pos));
        put32(out, SIZES_AT + 4 * i, static_cast<std::int32_t>(f.bmp.size()));
        put32(out, DURATIONS_AT + 4 * i, f.duration);
        std::copy(f.bmp.begin(), f.bmp.end(), out.begin() + static_cast<std::ptrdiff_t>(pos));
        pos += f.bmp.size();
    }
    return out;
}

AnimSetRead animset_parse(const std::uint8_t* data, std::size_t size, std::size_t base) {
    const View v{data, data ? size : 0};
    const auto at = [base](std::int64_t offset) { return static_cast<std::int64_t>(base) + offset; };
    const std::int64_t reach = static_cast<std::int64_t>(v.size() + READ_GRACE_BYTES);
    AnimSetRead r;
    Problems& out = r.problems;

    r.magic.clear();
    for (int i = 0; i < 4; ++i) r.magic += static_cast<char>(v.u8(i));
    r.version = v.i32(4);
    const std::int32_t frameCount = v.i32(8);
    r.maskMode = v.i32(12);

    // Frames as stored: every table entry in use, in order, as long as it lies
    // within what the loader can reach. A writer leaves unused entries zero.
    for (int i = 0; i < MAX_SET_FRAMES; ++i) {
        const std::int64_t off = v.i32(OFFSETS_AT + 4 * i);
        const std::int64_t len = v.i32(SIZES_AT + 4 * i);
        const std::int32_t duration = v.i32(DURATIONS_AT + 4 * i);
        if (off == 0 && len == 0 && duration == 0) break;
        if (off < 0 || len < 0 || off + len > reach) break;
        r.frames.push_back({copy_out(v, off, len), duration});
    }
    if (frameCount < 0 || static_cast<std::size_t>(frameCount) != r.frames.size())
        r.frameCountOverride = frameCount;

    if (v.size() < ANIMSET_HEADER_BYTES)
        report(out, Severity::Warning, at(0),
               "animation set is " + num(v.size()) + " bytes, shorter than its 256-byte header");
    bool refused = false;
    if (r.magic != "AP01") {
        report(out, Severity::Error, at(0),
               "animation set starts with \"" + shown_magic(r.magic) + "\", not \"AP01\"");
        refused = true;
    }
    if (r.version != 1) {
        report(out, Severity::Error, at(4), "animation set version is " + num(r.version) + ", not 1");
        refused = true;
    }
    if (refused) return r;  // the loader goes no further
    if (frameCount < 0 || frameCount > MAX_SET_FRAMES)
        report(out, Severity::Error, at(8),
               "animation set has a frame count of " + num(frameCount) + "; 0 to 20 are allowed");
    if (r.maskMode < 0 || r.maskMode > 3)
        report(out, Severity::Warning, at(12),
               "mask mode " + num(r.maskMode) + " is not one of 0..3; its key colour is undefined");

    const int n = std::clamp<std::int32_t>(frameCount, 0, MAX_SET_FRAMES);
    for (int i = 0; i < n; ++i) {
        const std::int64_t off = v.i32(OFFSETS_AT + 4 * i);
        const std::int64_t len = v.i32(SIZES_AT + 4 * i);
        const std::string frame = "frame " + num(i) + ": ";
        if (off < 0 || len < 0) {
            report(out, Severity::Error, at(OFFSETS_AT + 4 * i),
                   frame + "negative offset " + num(off) + " or size " + num(len));
            continue;
        }
        if (off + len > reach) {
            report(out, Severity::Error, at(OFFSETS_AT + 4 * i),
                   frame + "bytes " + num(off) + ".." + num(off + len) + " run past the set's " +
                       num(v.size()) + " bytes");
            continue;
        }
        if (off + len > static_cast<std::int64_t>(v.size()))
            report(out, Severity::Warning, at(OFFSETS_AT + 4 * i),
                   frame + "ends " + num(off + len - static_cast<std::int64_t>(v.size())) +
                       " bytes past the set; those bytes read as zeros");
        // The loader sees the set through its zero-filled working copy.
        const Bytes bmp = copy_out(v, off, len);
        Problems frameProblems;
        bmp_check(bmp.data(), bmp.size(), true, static_cast<std::size_t>(at(off)), frameProblems);
        for (Problem& p : frameProblems) {
            p.message = frame + p.message;
            out.push_back(std::move(p));
        }
    }
    return r;
}

}  // namespace sg::pack
