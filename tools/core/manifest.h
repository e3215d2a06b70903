// Scene manifests: the TOML file an author writes, read into a package
// (build), and written back from a package with its pictures and sound
// (extract) so that building it again gives the same bytes.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tools/core/safe_files.h"
#include "tools/core/util.h"
#include "tools/packlib/packlib.h"

namespace sg::packtool {

// Where the manifest gives a part of the scene: its line and setting.
struct Place {
    int line = 1;
    std::string setting;
};

struct Built {
    pack::Package package;
    std::vector<std::string> notes;     // choices build made that the author may want to know
    std::vector<std::string> warnings;  // "MANIFEST:LINE: SETTING: ..." about the files it names
    // Where each part came from, for pointing the package's warnings at the manifest.
    std::string manifestName;
    Place picture, tile, sound;
    std::array<Place, 10> layers;
    std::array<std::vector<Place>, 10> frames;
    std::array<Place, 5> about;
};

// Reads the manifest and every file it names. Throws Failure with
// "MANIFEST:LINE: SETTING: what is wrong, and what is allowed".
Built build_manifest(const std::filesystem::path& manifest);
// The same from manifest text; `name` is used in messages, `dir` resolves
// paths; `budget`: the bytes the scene's files may take in the package (the
// tests give less than MAX_SCENE_BYTES of safe_files.h).
Built build_manifest_text(const std::string& text, const std::string& name, const std::filesystem::path& dir,
                          std::uint64_t budget = MAX_SCENE_BYTES);

// Everything build warns about, each as "MANIFEST:LINE: SETTING: ...": the
// warnings found reading the files, then `problems` (the package checks' warnings
// for `package`, the bytes of built.package) at the layer, frame or picture
// their byte lies in, then a package too large for the saver to hold.
std::vector<std::string> build_warnings(const Built& built, const Bytes& package, const pack::Problems& problems);

// A package larger than this is warned about: the saver holds all of it in memory.
constexpr std::size_t PACKAGE_WARN_BYTES = 16u << 20;
// A stretched picture larger than this screen (common on small laptops) is
// shrunk on it, which shows streaks.
constexpr int SMALL_SCREEN_WIDTH = 1366;
constexpr int SMALL_SCREEN_HEIGHT = 768;

struct Extracted {
    std::string manifest;                              // TOML text
    std::vector<std::pair<std::string, Bytes>> files;  // names relative to the manifest
    std::vector<std::string> warnings;                 // what will not come back the same
};
Extracted extract_manifest(const pack::Package& package, const std::string& sourceName);

}  // namespace sg::packtool
