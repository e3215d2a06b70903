#include "tools/web/zip.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <vector>

#include "format/bytes.h"
#include "tools/core/safe_files.h"
#include "tools/core/util.h"

namespace sg::web {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint32_t LOCAL = 0x04034b50, CENTRAL = 0x02014b50, END = 0x06054b50;
constexpr std::size_t MAX_ENTRY = 64u << 20;
// All entries together: what a scene folder may hold (safe_files.h).
constexpr std::uint64_t MAX_TOTAL = packtool::MAX_FILE_BYTES;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void write_u16(Bytes& b, unsigned v) { format::append_u16(b, static_cast<std::uint16_t>(v)); }
void write_u32(Bytes& b, std::uint32_t v) { format::append_u32(b, v); }

Bytes deflate_raw(const Bytes& in) {
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw Failure("deflate: cannot start");
    Bytes out(deflateBound(&z, in.size()));
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int r = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (r != Z_STREAM_END) throw Failure("deflate: failed");
    return out;
}

Bytes inflate_raw(const std::uint8_t* data, std::size_t size, std::size_t expected, const std::string& name) {
    Bytes out(expected);
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) throw Failure("inflate: cannot start");
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int r = inflate(&z, Z_FINISH);
    std::size_t got = z.total_out;
    inflateEnd(&z);
    if (r != Z_STREAM_END || got != expected) throw Failure(name + ": the compressed data is damaged");
    return out;
}

struct Reader {
    const Bytes& b;
    std::uint32_t u16(std::size_t at) const {
        if (!format::in_bounds(static_cast<std::int64_t>(at), 2, b.size())) throw Failure("the zip is cut short");
        return format::read_u16(&b[at]);
    }
    std::uint32_t u32(std::size_t at) const {
        if (!format::in_bounds(static_cast<std::int64_t>(at), 4, b.size())) throw Failure("the zip is cut short");
        return format::read_u32(&b[at]);
    }
};

}  // namespace

int zip_folder(const std::string& dir, const std::string& out) {
    try {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            if (e.is_regular_file()) names.push_back(fs::relative(e.path(), dir).generic_string());
        std::sort(names.begin(), names.end());
        Bytes zip, central;
        for (const std::string& name : names) {
            Bytes data = packtool::read_file(fs::path(dir) / name);
            Bytes packed = deflate_raw(data);
            const std::uint32_t crc = crc32(0, data.data(), static_cast<uInt>(data.size()));
            const std::uint32_t offset = static_cast<std::uint32_t>(zip.size());
            auto header = [&](Bytes& b, bool local) {
                write_u32(b, local ? LOCAL : CENTRAL);
                if (!local) write_u16(b, 20);  // made by
                write_u16(b, 20);              // needed to extract
                write_u16(b, 0x0800);          // names are UTF-8
                write_u16(b, 8);               // deflated
                write_u16(b, 0);               // time
                write_u16(b, 0x21);            // date: 1980-01-01
                write_u32(b, crc);
                write_u32(b, static_cast<std::uint32_t>(packed.size()));
                write_u32(b, static_cast<std::uint32_t>(data.size()));
                write_u16(b, static_cast<unsigned>(name.size()));
                write_u16(b, 0);  // extra
                if (!local) {
                    write_u16(b, 0);                    // comment
                    write_u16(b, 0);                    // disk
                    write_u16(b, 0);                    // internal attributes
                    write_u32(b, 0100644u << 16);       // a plain file, rw-r--r--
                    write_u32(b, offset);
                }
                b.insert(b.end(), name.begin(), name.end());
            };
            header(zip, true);
            zip.insert(zip.end(), packed.begin(), packed.end());
            header(central, false);
        }
        const std::uint32_t centralAt = static_cast<std::uint32_t>(zip.size());
        zip.insert(zip.end(), central.begin(), central.end());
        write_u32(zip, END);
        write_u16(zip, 0);
        write_u16(zip, 0);
        write_u16(zip, static_cast<unsigned>(names.size()));
        write_u16(zip, static_cast<unsigned>(names.size()));
        write_u32(zip, static_cast<std::uint32_t>(central.size()));
        write_u32(zip, centralAt);
        write_u16(zip, 0);
        packtool::write_file_atomic(out, zip);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << dir << ": " << e.what() << "\n";
        return 1;
    }
}

int unzip_to(const std::string& in, const std::string& dir) {
    try {
        const Bytes b = packtool::read_file(in);
        const Reader r{b};
        // The end record is in the last 64 KiB + 22 bytes (its comment may be that long).
        if (b.size() < 22) throw Failure("not a zip file (too short)");
        std::size_t end = b.size() - 22;
        const std::size_t lowest = b.size() > 65557 ? b.size() - 65557 : 0;
        while (r.u32(end) != END) {
            if (end == lowest) throw Failure("not a zip file (no end record)");
            --end;
        }
        const std::uint32_t count = r.u16(end + 10);
        std::error_code ec;
        if (fs::exists(dir, ec) && !fs::is_empty(dir, ec)) throw Failure(dir + ": exists and is not empty");
        // First the directory alone: what the entries add up to, and where
        // each one's bytes lie. A record that shares or overlaps another's
        // bytes (one run of data under many names) is refused, and so is a
        // total past the budget, before anything is inflated.
        {
            std::uint64_t total = 0;
            std::vector<std::pair<std::uint64_t, std::uint64_t>> spans;
            std::size_t next = r.u32(end + 16);
            for (std::uint32_t i = 0; i < count; ++i) {
                if (r.u32(next) != CENTRAL) throw Failure("entry " + std::to_string(i + 1) + ": damaged central directory");
                const std::uint32_t packedSize = r.u32(next + 20), size = r.u32(next + 24);
                const std::uint32_t nameLength = r.u16(next + 28), extra = r.u16(next + 30), comment = r.u16(next + 32);
                const std::uint32_t local = r.u32(next + 42);
                if (next + 46 + nameLength > b.size()) throw Failure("the zip is cut short");
                const std::string name(b.begin() + next + 46, b.begin() + next + 46 + nameLength);
                next += 46 + nameLength + extra + comment;
                if (name.empty() || name.back() == '/') continue;
                total += size;
                if (total > MAX_TOTAL)
                    throw Failure(name + ": the entries hold more than " + std::to_string(MAX_TOTAL >> 20) +
                                  " MiB together, more than a scene may");
                const std::uint64_t dataEnd = static_cast<std::uint64_t>(local) + 30 + r.u16(local + 26) + r.u16(local + 28) +
                                              packedSize;
                spans.emplace_back(local, dataEnd);
            }
            std::sort(spans.begin(), spans.end());
            for (std::size_t i = 1; i < spans.size(); ++i)
                if (spans[i].first < spans[i - 1].second)
                    throw Failure("two entries share the same bytes; a zip of a scene folder holds each file once");
        }
        std::size_t at = r.u32(end + 16);
        for (std::uint32_t i = 0; i < count; ++i) {
            if (r.u32(at) != CENTRAL) throw Failure("entry " + std::to_string(i + 1) + ": damaged central directory");
            const std::uint32_t flags = r.u16(at + 8), method = r.u16(at + 10);
            const std::uint32_t packedSize = r.u32(at + 20), size = r.u32(at + 24);
            const std::uint32_t nameLength = r.u16(at + 28), extra = r.u16(at + 30), comment = r.u16(at + 32);
            const std::uint32_t local = r.u32(at + 42);
            if (at + 46 + nameLength > b.size()) throw Failure("the zip is cut short");
            const std::string name(b.begin() + at + 46, b.begin() + at + 46 + nameLength);
            at += 46 + nameLength + extra + comment;
            if (name.empty() || name.back() == '/') continue;  // a folder
            const fs::path rel = fs::path(name).lexically_normal();
            if (rel.is_absolute() || name.find('\\') != std::string::npos || *rel.begin() == "..")
                throw Failure(name + ": a name outside the folder");
            if (flags & 1) throw Failure(name + ": encrypted entries are not supported");
            if (size > MAX_ENTRY) throw Failure(name + ": larger than 64 MiB");
            const std::size_t dataAt = static_cast<std::size_t>(local) + 30 + r.u16(local + 26) + r.u16(local + 28);
            if (r.u32(local) != LOCAL || dataAt + packedSize > b.size()) throw Failure(name + ": damaged entry");
            Bytes data;
            if (method == 0) {
                if (packedSize != size) throw Failure(name + ": damaged entry");
                data.assign(b.begin() + dataAt, b.begin() + dataAt + size);
            } else if (method == 8) {
                data = inflate_raw(&b[dataAt], packedSize, size, name);
            } else {
                throw Failure(name + ": compression method " + std::to_string(method) + " is not supported");
            }
            if (crc32(0, data.data(), static_cast<uInt>(data.size())) != r.u32(at - (46 + nameLength + extra + comment) + 16))
                throw Failure(name + ": the checksum does not match");
            const fs::path target = fs::path(dir) / rel;
            fs::create_directories(target.parent_path());
            packtool::write_file_atomic(target, data);
        }
        return 0;
    } catch (const std::exception& e) {
        std::cerr << in << ": " << e.what() << "\n";
        return 1;
    }
}

}  // namespace sg::web
