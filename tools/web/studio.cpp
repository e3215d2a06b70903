// The studio's C API: what the page calls in the WebAssembly module.
//
//   sg_pack        a snowglobe-pack command on files in the in-memory file
//                  system, with the command line's exact messages
//   sg_manifest_json  a manifest as JSON, for the page's forms
//   sg_zip / sg_unzip  a scene folder to and from a zip
//   sg_saver_name  the file name bind gives a saver of a scene
//   sg_gif_frames  an animated GIF's frames and their delays, as build reads them
//   sg_play        the saver itself (play.cpp)
#include <emscripten.h>

#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "apps/pack/commands.h"
#include "tools/core/check.h"
#include "tools/core/container.h"
#include "tools/core/decoders.h"
#include "tools/core/util.h"
#include "tools/core/saver_name.h"
#include "tools/web/zip.h"

#include <toml++/toml.h>

namespace {

std::string output;

// Runs `body` with std::cout and std::cerr going to `output`, in order.
template <typename Body>
int captured(Body body) {
    std::ostringstream text;
    auto* out = std::cout.rdbuf(text.rdbuf());
    auto* err = std::cerr.rdbuf(text.rdbuf());
    int status = 1;
    try {
        status = body();
    } catch (const std::exception& e) {
        text << e.what() << "\n";
    }
    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
    output = text.str();
    return status;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

// The package in a file, as `snowglobe-pack render` finds it in a package,
// .scr or Linux program; false with the message in sg_output().
bool studio_package_of(const char* path, std::vector<std::uint8_t>* package) {
    return captured([&] {
               *package = sg::packtool::open_source(path).package;
               return 0;
           }) == 0;
}

const std::string& studio_output() { return output; }
void studio_set_output(std::string text) { output = std::move(text); }

extern "C" {

// A snowglobe-pack command line: arguments separated by newlines.
EMSCRIPTEN_KEEPALIVE int sg_pack(const char* args) {
    return captured([&] { return sg::packtool::run_pack(lines_of(args)); });
}

EMSCRIPTEN_KEEPALIVE const char* sg_output() { return output.c_str(); }


// The manifest at `path` as JSON (tables as objects); 0 on success, else 1
// with the parser's message "PATH:LINE: what".
EMSCRIPTEN_KEEPALIVE int sg_manifest_json(const char* path) {
    return captured([&] {
        try {
            toml::table parsed = toml::parse_file(path);
            std::cout << toml::json_formatter{parsed};
        } catch (const toml::parse_error& e) {
            std::cerr << path << ":" << e.source().begin.line << ": " << e.description() << "\n";
            return 1;
        }
        return 0;
    });
}

// Writes the files under `dir` into the zip `out`, names relative to dir.
EMSCRIPTEN_KEEPALIVE int sg_zip(const char* dir, const char* out) {
    return captured([&] { return sg::web::zip_folder(dir, out); });
}

// Unpacks the zip `in` into the empty or missing folder `dir`.
EMSCRIPTEN_KEEPALIVE int sg_unzip(const char* in, const char* dir) {
    return captured([&] { return sg::web::unzip_to(in, dir); });
}

// The name `snowglobe-pack bind` without -o gives a saver of the scene in
// `path`: its title made a file name, followed by `suffix` (".scr" or "").
EMSCRIPTEN_KEEPALIVE int sg_saver_name(const char* path, const char* suffix) {
    return captured([&] {
        const sg::packtool::Checked checked = sg::packtool::check_package(sg::packtool::open_source(path).package);
        std::cout << sg::packtool::saver_file_stem(
                         sg::packtool::title_utf8(checked.read.scene.title, checked.read.textCodePage))
                  << suffix;
        return 0;
    });
}

// The frames build takes from the animated GIF at `path`, as JSON: each
// frame's size, its delay in milliseconds and the ticks it becomes.
EMSCRIPTEN_KEEPALIVE int sg_gif_frames(const char* path) {
    return captured([&] {
        const std::vector<std::uint8_t> bytes = sg::packtool::read_file(path);
        const std::string name = std::filesystem::path(path).filename().string();
        std::cout << "[";
        const char* comma = "";
        for (const auto& frame : sg::packtool::gif_decode(bytes, name, sg::packtool::MAX_GIF_FRAMES)) {
            std::cout << comma << "{\"width\":" << frame.image.width << ",\"height\":" << frame.image.height
                      << ",\"ms\":" << frame.delayMs << ",\"ticks\":" << sg::packtool::ticks_of_ms(frame.delayMs) << "}";
            comma = ",";
        }
        std::cout << "]";
        return 0;
    });
}

}  // extern "C"
