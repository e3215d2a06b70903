// The snowglobe-pack manifest reader: the input as a scene.toml whose files
// resolve in a directory of real art (PNG frames, a tile, a WAV), then the
// package written from what it built and read back, as `build` does. A
// refusal is an exception with a message, which the tool prints (status 1).
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "tools/core/manifest.h"
#include "tools/packlib/packlib.h"

#ifndef SG_FUZZ_ART_DIR
#error SG_FUZZ_ART_DIR names the directory the manifest's files are found in
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const sg::packtool::Built built = sg::packtool::build_manifest_text(text, "scene.toml", SG_FUZZ_ART_DIR);
        const sg::pack::Bytes bytes = sg::pack::package_bytes(built.package);
        const sg::pack::PackageRead back = sg::pack::package_parse(bytes.data(), bytes.size());
        (void)back;
    } catch (const std::exception&) {
    }
    return 0;
}
