// The defaults the studio and docs/authoring.md show (tools/core/settings.json)
// are build's own: a manifest giving a setting its listed default builds the
// same package as one leaving it out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tools/core/json.h"
#include "tools/core/manifest.h"
#include "tools/core/util.h"
#include "tools/packlib/packlib.h"

namespace fs = std::filesystem;
using namespace sg::packtool;

namespace {

// A listed default as a TOML value, or "" when it is no single value
// ("required", "none" for a file, "x, row 1").
std::string toml_value(const std::string& group, const std::string& value) {
    if (value.empty() || value.find_first_of(" ,(") != std::string::npos || value == "required") return "";
    if (value == "none" && group == "scene") return "";
    if (value == "true" || value == "false" || value.find_first_not_of("0123456789") == std::string::npos) return value;
    return "\"" + value + "\"";
}

}  // namespace

TEST(PackSettings, ListedDefaultsAreBuildsDefaults) {
    const Bytes table = read_file(SG_SETTINGS_TABLE_PATH);
    const Json settings = json_parse(table, "settings.json");
    const fs::path dir = fs::temp_directory_path() / ("pack-settings-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    sg::pack::Image frame;
    frame.width = frame.height = 2;
    frame.bgr = {0, 0, 0, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    const Bytes bmp = sg::pack::bmp24(frame);
    std::ofstream(dir / "f.bmp", std::ios::binary).write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));

    const auto package = [&](const std::string& scene, const std::string& layer) {
        std::ofstream(dir / "scene.toml", std::ios::binary)
            << "title = \"t\"\n" << scene << "[[layer]]\nframes = [\"f.bmp\"]\n" << layer;
        return sg::pack::package_bytes(build_manifest(dir / "scene.toml").package);
    };
    const Bytes plain = package("", "");
    int checked = 0;
    for (const char* group : {"scene", "layer"}) {
        for (const Json& s : settings.get(group)->items) {
            const std::string key = s.get("key")->text, value = toml_value(group, s.get("default")->text);
            if (value.empty() || key == "every") continue;  // every: only for a GIF, sheet or JSON
            SCOPED_TRACE(key + " = " + value);
            const std::string line = key + " = " + value + "\n";
            EXPECT_EQ(group == std::string("scene") ? package(line, "") : package("", line), plain);
            ++checked;
        }
    }
    EXPECT_GE(checked, 16);
    fs::remove_all(dir);
}
