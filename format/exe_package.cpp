#include "format/exe_package.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <new>

#include "format/bytes.h"

#if defined(__unix__)
#include <sys/mman.h>
#endif

namespace sg::format::exe_package {

namespace {

Location locate_tail(const std::uint8_t* tail, std::uint64_t fileBytes) {
    Location where;
    if (std::memcmp(tail, TRAILER_MAGIC, sizeof TRAILER_MAGIC) != 0) return where;
    std::uint64_t size = read_u64(tail + 8);
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

Location find_package(const char* path, std::string* error) {
    Location damaged;
    damaged.status = Status::Damaged;
    if (path == nullptr) {
        set_error(error, "no file name");
        return damaged;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        set_error(error, "cannot open the file");
        return damaged;
    }
    in.seekg(0, std::ios::end);
    std::streamoff end = in.tellg();
    if (end < 0) {
        set_error(error, "cannot find the end of the file");
        return damaged;
    }
    auto fileBytes = static_cast<std::uint64_t>(end);
    if (fileBytes < TRAILER_BYTES) {
        set_error(error, "no package trailer");
        return {};
    }
    std::uint8_t tail[TRAILER_BYTES];
    in.seekg(static_cast<std::streamoff>(fileBytes - TRAILER_BYTES));
    if (!in.read(reinterpret_cast<char*>(tail), TRAILER_BYTES)) {
        set_error(error, "cannot read the package trailer");
        return damaged;
    }
    Location where = locate_tail(tail, fileBytes);
    if (where.status == Status::None) set_error(error, "no package trailer");
    if (where.status == Status::Damaged) set_error(error, "the package trailer gives a length longer than the file");
    return where;
}

Status read_package(const char* path, std::vector<std::uint8_t>* package, std::string* error) {
    package->clear();
    const Location where = find_package(path, error);
    if (where.status != Status::Found) return where.status;
    try {
        package->resize(where.size);
    } catch (const std::bad_alloc&) {
        set_error(error, "not enough memory for the package");
        return Status::Damaged;
    }
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(where.offset));
    if (where.size > 0 &&
        (!in || !in.read(reinterpret_cast<char*>(package->data()), static_cast<std::streamsize>(where.size)))) {
        package->clear();
        set_error(error, "cannot read the package bytes");
        return Status::Damaged;
    }
    return Status::Found;
}

std::span<const std::uint8_t> load_for_process(const char* path) {
    const Location where = find_package(path);
    if (where.status != Status::Found || where.size == 0) return {};
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(where.offset));
    if (!in) return {};
#if defined(__unix__)
    // Fresh anonymous pages read as zeros until written: only blocks with
    // something in them are copied.
    constexpr std::size_t BLOCK = 64 * 1024;
    void* memory = mmap(nullptr, where.size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return {};
    auto* bytes = static_cast<std::uint8_t*>(memory);
    std::vector<std::uint8_t> block(BLOCK);
    for (std::size_t done = 0; done < where.size;) {
        const std::size_t n = std::min(BLOCK, where.size - done);
        if (!in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(n))) {
            munmap(memory, where.size);
            return {};
        }
        const auto end = block.begin() + static_cast<std::ptrdiff_t>(n);
        if (std::any_of(block.begin(), end, [](std::uint8_t b) { return b != 0; }))
            std::memcpy(bytes + done, block.data(), n);
        done += n;
    }
    mprotect(memory, where.size, PROT_READ);  // a resource is never written
    return {bytes, where.size};
#else
    auto* kept = new (std::nothrow) std::vector<std::uint8_t>;
    if (kept == nullptr || read_package(path, kept) != Status::Found) {
        delete kept;
        return {};
    }
    return {kept->data(), kept->size()};
#endif
}

}  // namespace sg::format::exe_package
