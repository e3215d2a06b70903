// snowglobe-pack extract: a package written back as a manifest and its files.
#include "apps/pack/command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <optional>

#include "tools/core/manifest.h"
#include "tools/core/output.h"
#include "tools/core/temp_dir.h"

namespace sg::packtool {

namespace fs = std::filesystem;

namespace {

constexpr const char* HELP =
    "usage: snowglobe-pack extract FILE DIR\n"
    "\n"
    "Writes DIR/scene.toml and the pictures (as the exact BMP bytes stored) and the\n"
    "sound it names, so that `snowglobe-pack build DIR/scene.toml` gives back the same\n"
    "package. DIR must not exist or be empty. FILE may be a package, .scr or program.\n";

// Moves the files of `from` into the empty folder `to`; a name that appears
// there meanwhile is refused, not replaced.
void fill_folder(const fs::path& from, const fs::path& to, std::size_t expected) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(from)) names.push_back(entry.path().filename().string());
    if (names.size() != expected) throw Failure(from.string() + ": holds files it was not given");
    for (const std::string& name : names) {
#if defined(__linux__) && !defined(__EMSCRIPTEN__)
        const bool moved = ::link((from / name).c_str(), (to / name).c_str()) == 0;
#else
        struct stat st {};
        const bool moved = ::lstat((to / name).c_str(), &st) != 0 && ::rename((from / name).c_str(), (to / name).c_str()) == 0;
#endif
        if (!moved) throw Failure((to / name).string() + ": cannot create: " + std::strerror(errno));
    }
}

int extract(const Args& args) {
    Parsed p = parse(args, {}, {});
    if (p.positional.size() != 2) throw Usage("give a file and a directory");
    Source source = open_source(p.positional[0]);
    Checked checked = check_package(source.package);
    fs::path dir = p.positional[1];
    if (dir.filename().empty()) dir = dir.parent_path();  // "out/" names "out"
    // DIR may be the user's symlink to a folder: the folder is filled.
    const fs::path target = resolve_output(dir);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    std::error_code ec;
    if (exists && !(S_ISDIR(st.st_mode) && fs::is_empty(target, ec)))
        throw Failure(dir.string() + ": exists and is not an empty directory");
    Extracted x = extract_manifest(checked.read, fs::path(p.positional[0]).filename().string());

    // Everything goes to a fresh folder beside DIR (inside it, when it is an
    // empty folder already: the same file system), moved when complete.
    {
        TempDir temp(exists ? target / "scene" : target);
        temp.write("scene.toml", std::span(reinterpret_cast<const std::uint8_t*>(x.manifest.data()), x.manifest.size()));
        for (auto& [name, bytes] : x.files) temp.write(name, bytes);
        // The manifest is built whatever validate said: a package the saver
        // plays despite its errors (a refused set leaves its layer empty)
        // still opens as a scene one can edit.
        std::optional<Bytes> again;
        try {
            // Named as the user will find it, not by the temporary folder.
            again = pack::package_bytes(build_manifest_text(x.manifest, (dir / "scene.toml").string(), temp.path()).package);
        } catch (const Failure& e) {
            // Still written: the files are what the package holds (a
            // package larger than a scene may be, for one).
            x.warnings.push_back(std::string("build refuses the manifest: ") + e.what());
        }
        if (again && *again == source.package && !checked.ok()) {
            x.warnings.push_back("the package has errors (see validate); build refuses the manifest until they are fixed");
        } else if (again && *again != source.package) {
            std::size_t differ = 0;
            for (std::size_t i = 0; i < std::min(again->size(), source.package.size()); ++i) differ += (*again)[i] != source.package[i];
            x.warnings.push_back("building the manifest gives a different package (" + count_of(again->size(), "byte") +
                                 ", " + std::to_string(differ) + " differ): " +
                                 (checked.ok() ? "it was not written by build"
                                               : "it has errors (see validate) that no manifest can hold, and the built "
                                                 "package has none of them, so it plays differently"));
        }
        if (exists) {
            // The user's own folder keeps its mode, owner and place.
            fill_folder(temp.path(), target, x.files.size() + 1);
        } else {
            // A new folder gets the mode mkdir would give it, not mkdtemp's.
            if (const int fd = ::open(temp.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); fd >= 0) {
                set_file_mode(fd, 0777, false);
                ::close(fd);
            }
            fs::rename(temp.path(), target, ec);
            if (ec) throw Failure(dir.string() + ": cannot create: " + ec.message());
            temp.release();
        }
    }
    for (const std::string& w : x.warnings) std::cerr << "warning: " << w << "\n";
    std::cout << "wrote " << (dir / "scene.toml").string() << " and " << count_of(x.files.size(), "file") << "\n";
    return 0;
}

}  // namespace

const Command EXTRACT_COMMAND = {"extract", HELP, extract};

}  // namespace sg::packtool
