// Scene manifests: the TOML file an author writes, read into a package
// (build), and written back from a package with its pictures and sound
// (extract) so that building it again gives the same bytes.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tools/pack/util.h"
#include "tools/packlib/packlib.h"

namespace sg::packtool {

struct Built {
    pack::Package package;
    std::vector<std::string> notes;  // choices build made that the author may want to know
};

// Reads the manifest and every file it names. Throws Failure with
// "MANIFEST:LINE: SETTING: what is wrong, and what is allowed".
Built build_manifest(const std::filesystem::path& manifest);
// The same from manifest text; `name` is used in messages, `dir` resolves paths.
Built build_manifest_text(const std::string& text, const std::string& name, const std::filesystem::path& dir);

struct Extracted {
    std::string manifest;                              // TOML text
    std::vector<std::pair<std::string, Bytes>> files;  // names relative to the manifest
    std::vector<std::string> warnings;                 // what will not come back the same
};
Extracted extract_manifest(const pack::Package& package, const std::string& sourceName);

}  // namespace sg::packtool
