#include "apps/linux/scene_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "format/exe_package.h"
#include "format/package_format.h"
#include "format/pe_resource.h"

namespace sg::app {

namespace {

// The language the saver's package resource is stored in (Japanese).
constexpr std::uint32_t PACKAGE_LANGUAGE = 1041;

SceneFile refused(std::string why) {
    SceneFile s;
    s.refusal = std::move(why);
    return s;
}

bool is_elf(const std::vector<std::uint8_t>& file) {
    return file.size() >= 4 && std::memcmp(file.data(), "\x7f" "ELF", 4) == 0;
}

}  // namespace

SceneFile scene_from_bytes(std::vector<std::uint8_t> file, const std::string& name) {
    namespace pe = sg::format::pe_resource;
    namespace trailer = sg::format::exe_package;
    SceneFile s;
    s.bytes = std::move(file);
    const std::span<const std::uint8_t> all(s.bytes);

    const pe::Lookup found = pe::find(all, sg::format::PACKAGE_RESOURCE_TYPE,
                                      sg::format::PACKAGE_RESOURCE_ID, PACKAGE_LANGUAGE);
    switch (found.status) {
    case pe::Status::Found:
        s.offset = static_cast<std::size_t>(found.data.data() - all.data());
        s.size = found.data.size();
        s.ok = true;
        return s;
    case pe::Status::Missing:
        return refused(name + " is a Windows program without a scene (no KAVREN/103 resource)");
    case pe::Status::Damaged:
        return refused(name + " is a damaged Windows program (its headers point outside the file)");
    case pe::Status::NotPe:
        break;
    }

    const trailer::Location where = trailer::locate(all);
    if (where.status == trailer::Status::Damaged)
        return refused(name + ": its package trailer gives a length longer than the file");
    if (where.status == trailer::Status::Found) {
        s.offset = where.offset;
        s.size = where.size;
        s.ok = true;
        return s;
    }
    if (is_elf(s.bytes)) return refused(name + " is a program without a scene (a bare engine?)");
    if (s.bytes.empty()) return refused(name + " is empty");
    s.size = s.bytes.size();
    s.ok = true;
    return s;
}

SceneFile read_scene_file(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return refused(path + ": " + std::strerror(errno));
    if (!S_ISREG(info.st_mode)) return refused(path + " is not a file");
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return refused(path + ": " + std::strerror(errno));
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return refused(path + ": could not be read");
    return scene_from_bytes(std::move(bytes), path);
}

std::uint32_t package_code_page(std::span<const std::uint8_t> package) {
    namespace f = sg::format;
    if (package.size() < sizeof(f::PackageDirectory)) return f::textrecord::DEFAULT_CODE_PAGE;
    const std::int64_t size = static_cast<std::int64_t>(package.size());
    const std::int64_t at = f::read_i32(package.data() + 8 * f::OPTIONAL1_ENTRY);
    if (at < 0 || at > size - f::textrecord::SIZE) return f::textrecord::DEFAULT_CODE_PAGE;
    return f::text_record_code_page(package.data() + at, f::textrecord::SIZE);
}

}  // namespace sg::app
