#include "tools/core/container.h"

#include <cstring>

#include "format/exe_package.h"
#include "tools/core/pe.h"

namespace sg::packtool {

bool is_elf(const Bytes& file) {
    return file.size() >= 4 && std::memcmp(file.data(), "\x7f" "ELF", 4) == 0;
}

Source source_from_bytes(Bytes file, const std::string& name) {
    Source s;
    s.file = std::move(file);
    if (pe::looks_like_pe(s.file)) {
        s.kind = FileKind::WindowsExe;
        pe::Image image = pe::parse(s.file, name);
        s.what = std::string("Windows executable (") +
                 (image.machine == 0x14c ? "i686" : image.machine == 0x8664 ? "x86_64" : "other machine") + ")";
        auto found = pe::find_resource(s.file, pe::ResName::of("KAVREN"), pe::ResName::of(103), PACKAGE_LANGUAGE, name);
        if (!found) throw Failure(name + ": a " + s.what + " without a scene package (no resource KAVREN/103)");
        s.package = std::move(*found);
        return s;
    }
    auto where = sg::format::exe_package::locate(s.file);
    if (is_elf(s.file) || where.status != sg::format::exe_package::Status::None) {
        s.kind = FileKind::LinuxExe;
        s.what = is_elf(s.file) ? "Linux executable" : "file with an appended package";
        if (where.status == sg::format::exe_package::Status::None)
            throw Failure(name + ": a Linux executable without a scene package (no SGKAVREN trailer)");
        if (where.status == sg::format::exe_package::Status::Damaged)
            throw Failure(name + ": the package trailer gives a length longer than the file");
        s.package.assign(s.file.begin() + static_cast<std::ptrdiff_t>(where.offset),
                         s.file.begin() + static_cast<std::ptrdiff_t>(where.offset + where.size));
        return s;
    }
    s.kind = FileKind::Package;
    s.what = "scene package";
    s.package = s.file;
    return s;
}

Source open_source(const std::filesystem::path& path) { return source_from_bytes(read_file(path), path.string()); }

}  // namespace sg::packtool
