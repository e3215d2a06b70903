// The studio's C API: what the page calls in the WebAssembly module.
//
//   sg_pack        a snowglobe-pack command on files in the in-memory file
//                  system, with the command line's exact messages
//   sg_manifest_json  a manifest as JSON, for the page's forms
//   sg_zip / sg_unzip  a scene folder to and from a zip
//   sg_saver_name  the file name bind gives a saver of a scene
//   sg_sound_note  whether a scene's sound plays, its rate, and why not
//   sg_codepage_choice  the code page for the scene's texts
//   sg_text_of_bytes / sg_bytes_of_text  texts in a code page to edit
//   sg_package_file  the package a saver or program carries, as a file
//   sg_gif_frames  an animated GIF's frames and their delays, as build reads them
//   sg_play        the saver itself (play.cpp)
#include <emscripten.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "apps/pack/commands.h"
#include "format/bytes.h"
#include "format/wav_rules.h"
#include "tools/core/check.h"
#include "tools/core/codepage_choice.h"
#include "tools/core/container.h"
#include "tools/core/decoders.h"
#include "tools/core/quote.h"
#include "tools/core/saver_name.h"
#include "tools/core/sounds.h"
#include "tools/core/sjis.h"
#include "tools/core/util.h"
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

// A code page number as the page passes it (a string).
std::uint32_t code_page_of(const char* text) { return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10)); }

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

// The package in the file `path` (a package, .scr or Linux program) written
// to `out`, as `snowglobe-pack render` finds it there.
EMSCRIPTEN_KEEPALIVE int sg_package_file(const char* path, const char* out) {
    return captured([&] {
        sg::packtool::write_file_atomic(out, sg::packtool::open_source(path).package);
        return 0;
    });
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

// The sound of the scene in `path`, for the page's player, as JSON
// {"rate": samples a second, "note": text}: 0 without a sound; 2 with one the
// saver plays (note: where else it may not, for encodings other than PCM);
// 3 with one it refuses (note: validate's reasons, the scene stays silent);
// 1 when the file cannot be read.
EMSCRIPTEN_KEEPALIVE int sg_sound_note(const char* path) {
    return captured([&] {
        const sg::packtool::Checked checked = sg::packtool::check_package(sg::packtool::open_source(path).package);
        std::string refusals;
        for (const sg::pack::Problem& p : checked.problems)
            if (p.severity == sg::pack::Severity::Error && p.message.starts_with("sound"))
                refusals += (refusals.empty() ? "" : "\n") + p.message;
        const sg::pack::Bytes& wav = checked.read.scene.sound;
        if (refusals.empty() && wav.empty()) return 0;
        std::uint32_t rate = 0;
        sg::format::wav_walk_chunks(wav.data(), wav.size(), [&](const sg::format::WavChunk& chunk) {
            if (!chunk.is("fmt ") || chunk.at + 16 > wav.size()) return true;
            rate = sg::format::read_u32(chunk.header + 12);
            return false;
        });
        const std::string note = refusals.empty() ? sg::packtool::wav_encoding_warning(wav).value_or("") : refusals;
        std::cout << "{\"rate\": " << rate << ", \"note\": " << sg::packtool::quote(note) << "}";
        return refusals.empty() ? 2 : 3;
    });
}

// The code page for the texts (UTF-8, one a line) given the current one:
// 0 with {"codepage":N,"kept":true|false}, else 1 with the characters that
// clash and the code pages that hold each.
EMSCRIPTEN_KEEPALIVE int sg_codepage_choice(const char* texts, const char* current) {
    return captured([&] {
        const sg::packtool::CodePageChoice choice =
            sg::packtool::choose_code_page(lines_of(texts), code_page_of(current));
        if (!choice.codePage) {
            std::cout << sg::packtool::clash_message(choice.clashes);
            return 1;
        }
        std::cout << "{\"codepage\":" << *choice.codePage << ",\"kept\":" << (choice.kept ? "true" : "false") << "}";
        return 0;
    });
}

// The code pages a package may name, in the order they are offered:
// [[932,"932 (Japanese, Shift-JIS)"],...].
EMSCRIPTEN_KEEPALIVE int sg_codepage_labels() {
    return captured([&] {
        const char* comma = "[";
        for (std::uint32_t c : sg::packtool::code_page_order()) {
            std::cout << comma << "[" << c << ",\"" << sg::packtool::code_page_label(c) << "\"]";
            comma = ",";
        }
        std::cout << "]";
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

// Bytes given in hexadecimal, as text to edit in `codePage` (see
// bytes_as_text); 1 when the hexadecimal is not.
EMSCRIPTEN_KEEPALIVE int sg_text_of_bytes(const char* hex, const char* codePage) {
    return captured([&] {
        sg::packtool::Bytes bytes;
        if (!sg::packtool::parse_hex_bytes(hex, bytes)) {
            std::cout << "not hexadecimal bytes";
            return 1;
        }
        std::cout << sg::packtool::bytes_as_text(std::string(bytes.begin(), bytes.end()), code_page_of(codePage));
        return 0;
    });
}

// The reverse: the bytes in hexadecimal, or 1 with what is wrong.
EMSCRIPTEN_KEEPALIVE int sg_bytes_of_text(const char* text, const char* codePage) {
    return captured([&] {
        std::string why;
        const auto bytes = sg::packtool::text_as_bytes(text, code_page_of(codePage), &why);
        if (!bytes) {
            std::cout << why;
            return 1;
        }
        std::cout << sg::packtool::hex_bytes(std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()));
        return 0;
    });
}

}  // extern "C"
