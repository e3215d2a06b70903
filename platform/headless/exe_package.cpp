#include "platform/headless/exe_package.h"

#include <cstring>
#include <fstream>
#include <new>

namespace pf::exe_package {

namespace {

std::uint64_t read_u64le(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

Location locate_tail(const std::uint8_t* tail, std::uint64_t fileBytes) {
    Location where;
    if (std::memcmp(tail, TRAILER_MAGIC, sizeof TRAILER_MAGIC) != 0) return where;
    std::uint64_t size = read_u64le(tail + 8);
    // fileBytes >= TRAILER_BYTES here; compare without adding, so a huge
    // length cannot wrap around.
    if (size > fileBytes - TRAILER_BYTES) {
        where.status = Status::Damaged;
        return where;
    }
    where.status = Status::Found;
    where.size = static_cast<std::size_t>(size);
    where.offset = static_cast<std::size_t>(fileBytes - TRAILER_BYTES - size);
    return where;
}

void set_error(std::string* error, const char* text) {
    if (error) *error = text;
}

}  // namespace

Location locate(std::span<const std::uint8_t> file) {
    if (file.size() < TRAILER_BYTES) return {};
    return locate_tail(file.data() + file.size() - TRAILER_BYTES, file.size());
}

std::optional<std::span<const std::uint8_t>> strip(std::span<const std::uint8_t> file) {
    Location where = locate(file);
    switch (where.status) {
        case Status::None:
            return file;
        case Status::Found:
            return file.first(where.offset);
        case Status::Damaged:
            break;
    }
    return std::nullopt;
}

std::vector<std::uint8_t> trailer(std::uint64_t packageBytes) {
    std::vector<std::uint8_t> out(TRAILER_MAGIC, TRAILER_MAGIC + sizeof TRAILER_MAGIC);
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(packageBytes >> (8 * i)));
    return out;
}

std::optional<std::vector<std::uint8_t>> append(std::span<const std::uint8_t> exe,
                                               std::span<const std::uint8_t> package) {
    auto bare = strip(exe);
    if (!bare) return std::nullopt;
    std::vector<std::uint8_t> out;
    out.reserve(bare->size() + package.size() + TRAILER_BYTES);
    out.insert(out.end(), bare->begin(), bare->end());
    out.insert(out.end(), package.begin(), package.end());
    auto tail = trailer(package.size());
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

Status read_package(const char* path, std::vector<std::uint8_t>* package, std::string* error) {
    package->clear();
    if (!path) {
        set_error(error, "no file name");
        return Status::Damaged;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        set_error(error, "cannot open the file");
        return Status::Damaged;
    }
    in.seekg(0, std::ios::end);
    std::streamoff end = in.tellg();
    if (end < 0) {
        set_error(error, "cannot find the end of the file");
        return Status::Damaged;
    }
    auto fileBytes = static_cast<std::uint64_t>(end);
    if (fileBytes < TRAILER_BYTES) {
        set_error(error, "no package trailer");
        return Status::None;
    }
    std::uint8_t tail[TRAILER_BYTES];
    in.seekg(static_cast<std::streamoff>(fileBytes - TRAILER_BYTES));
    if (!in.read(reinterpret_cast<char*>(tail), TRAILER_BYTES)) {
        set_error(error, "cannot read the package trailer");
        return Status::Damaged;
    }
    Location where = locate_tail(tail, fileBytes);
    if (where.status == Status::None) {
        set_error(error, "no package trailer");
        return Status::None;
    }
    if (where.status == Status::Damaged) {
        set_error(error, "the package trailer gives a length longer than the file");
        return Status::Damaged;
    }
    try {
        package->resize(where.size);
    } catch (const std::bad_alloc&) {
        set_error(error, "not enough memory for the package");
        return Status::Damaged;
    }
    in.seekg(static_cast<std::streamoff>(where.offset));
    if (where.size > 0 &&
        !in.read(reinterpret_cast<char*>(package->data()), static_cast<std::streamsize>(where.size))) {
        package->clear();
        set_error(error, "cannot read the package bytes");
        return Status::Damaged;
    }
    return Status::Found;
}

}  // namespace pf::exe_package
