// snowglobe-pack render: the saver run headlessly, what it shows saved as PNG,
// GIF or numbered frames.
#include "apps/pack/command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>

#include "tools/core/images.h"
#include "tools/core/output.h"
#include "tools/core/sjis.h"
#include "tools/render/render.h"

namespace sg::packtool {

namespace fs = std::filesystem;

namespace {

constexpr const char* HELP =
    "usage: snowglobe-pack render FILE --size WxH [--ticks N] [--every K] [--scale S] [--preview]\n"
    "                             -o OUT.png | OUT.gif | DIR/ | - | DEVICE\n"
    "\n"
    "Runs the saver's own code headlessly, with the same random sequence, on a screen\n"
    "of W x H (or, with --preview, in a W x H preview pane: the scene at 320 x 240\n"
    "stretched onto it), and saves what the window shows:\n"
    "  OUT.png  the picture after tick N (N defaults to 1); - writes it to standard output\n"
    "  OUT.gif  an animated GIF of ticks K, 2K, ... N at the saver's pace (33 ms a tick)\n"
    "  DIR/     numbered PNG frames every K ticks (tick-000030.png, ...)\n"
    "K defaults to 1. --scale S shows a high-DPI screen scaled S times (96 x S dpi):\n"
    "the scene runs at W/S x H/S and each frame is shown S times as large, as the\n"
    "saver does there. A progress bar shows on a terminal. FILE may also be a\n"
    "manifest (.toml), built first.\n";

Image framebuffer_image(const pf::soft::Framebuffer& fb) {
    Image image;
    image.width = fb.width;
    image.height = fb.height;
    image.bgr.resize(static_cast<std::size_t>(fb.width) * fb.height * 3);
    for (int y = 0; y < fb.height; ++y) {
        const std::uint8_t* row = &fb.pixels[static_cast<std::size_t>(fb.height - 1 - y) * fb.stride];
        std::memcpy(&image.bgr[static_cast<std::size_t>(y) * fb.width * 3], row, static_cast<std::size_t>(fb.width) * 3);
    }
    return image;
}

int positive(const std::string& text, const char* what) {
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v < 1 || v > 10'000'000) throw Usage(std::string(what) + " must be a positive number");
    return static_cast<int>(v);
}

void parse_size(const std::string& size, int* width, int* height) {
    std::size_t x = size.find_first_of("xX");
    if (x == std::string::npos) throw Usage("--size must look like 640x480");
    *width = positive(size.substr(0, x), "the width");
    *height = positive(size.substr(x + 1), "the height");
    if (*width > 16384 || *height > 16384) throw Usage("--size is at most 16384 on a side");
}

void commit_staged(const fs::path& staged, const std::string& out) {
    struct stat st {};
    const fs::path target = resolve_output(out);
    if (out != "-" && (::stat(target.c_str(), &st) != 0 || S_ISREG(st.st_mode))) {
        std::error_code ec;
        fs::rename(staged, target, ec);
        if (ec) throw Failure(out + ": cannot replace: " + ec.message());
        return;
    }
    write_output(out, read_file(staged));
    std::error_code ec;
    fs::remove(staged, ec);
}

bool is_stream(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

int render(const Args& args) {
    Parsed p = parse(args, {"--size", "--ticks", "--every", "--scale", "-o", "--output"}, {"--preview"});
    if (p.positional.size() != 1) throw Usage("give one file to render");
    std::string out = output_option(p);
    if (out.empty()) throw Usage("give the output with -o OUT.png, OUT.gif, DIR/ or -");
    if (!p.values.count("--size")) throw Usage("give the screen size with --size WxH");
    render::Options options;
    parse_size(p.values["--size"], &options.width, &options.height);
    options.ticks = p.values.count("--ticks") ? positive(p.values["--ticks"], "--ticks") : 1;
    options.preview = p.switches.count("--preview") > 0;
    if (p.values.count("--scale")) {
        options.scale = positive(p.values["--scale"], "--scale");
        if (options.scale > 64) throw Usage("--scale is at most 64");
        if (options.preview) throw Usage("--scale is for full screen; the preview is never scaled");
    }
    int every = p.values.count("--every") ? positive(p.values["--every"], "--every") : 1;
    if (every > options.ticks) throw Usage("--every is larger than --ticks: no picture would be taken");

    enum { Png, Gif, Dir } kind;
    std::error_code ec;
    if (out == "-") kind = Png;
    else if (out.back() == '/' || fs::is_directory(out, ec)) kind = Dir;
    else if (fs::path(out).extension() == ".gif") kind = Gif;
    else if (fs::path(out).extension() == ".png" || is_stream(out)) kind = Png;
    else throw Usage("the output must end in .png, .gif or / (a directory), or be - (PNG to standard output)");

    if (kind != Dir) refuse_output_is_input(out, inputs_of(p.positional[0]));
    Bytes package = package_of(p.positional[0]);
    if (kind == Dir) {
        fs::create_directories(out, ec);
        if (ec) throw Failure(out + ": cannot create: " + ec.message());
    }
    // The GIF grows frame by frame in a file beside the output (or in the
    // temporary directory when the output is not a place for files).
    std::optional<GifWriter> gif;
    if (kind == Gif) {
        fs::path target = resolve_output(out);
        struct stat st {};
        bool fileThere = ::stat(target.c_str(), &st) != 0 || S_ISREG(st.st_mode);
        gif.emplace(fileThere ? target : fs::temp_directory_path() / "snowglobe-pack.gif", options.width, options.height);
    }

    const bool bar = ::isatty(2) && options.ticks >= 30;
    int lastShown = -1, pictures = 0;
    options.every = 1;  // every tick, for the progress bar; pictures are taken every K
    render::Outcome outcome = render::run(package, options, [&](int tick, const pf::soft::Framebuffer& fb) {
        if (bar) {
            int percent = static_cast<int>(100LL * tick / options.ticks);
            if (percent != lastShown) {
                lastShown = percent;
                std::string line(static_cast<std::size_t>(percent / 4), '#');
                line.resize(25, ' ');
                std::fprintf(stderr, "\r[%s] %3d%%  tick %d/%d", line.c_str(), percent, tick, options.ticks);
                std::fflush(stderr);
            }
        }
        if (tick > options.ticks) return;
        if (kind == Png) {
            if (tick == options.ticks) {
                write_output(out, png_encode(framebuffer_image(fb)));
                ++pictures;
            }
        } else if (tick % every == 0) {
            if (kind == Gif) {
                gif->add(framebuffer_image(fb), every * 33);
            } else {
                char name[32];
                std::snprintf(name, sizeof name, "tick-%06d.png", tick);
                write_file_atomic(fs::path(out) / name, png_encode(framebuffer_image(fb)));
            }
            ++pictures;
        }
    });
    if (bar) std::fprintf(stderr, "\n");
    for (const render::Message& m : outcome.messages)
        std::cerr << "the saver showed a message box: [" << sjis_display(m.caption) << "] " << sjis_display(m.text) << "\n";
    if (!outcome.windowCreated || pictures == 0)
        throw Failure(p.positional[0] + ": the saver did not run (exit status " + std::to_string(outcome.exitStatus) +
                      "); snowglobe-pack validate says why");
    if (gif) {
        const fs::path staged = gif->finish();
        gif.reset();
        try {
            commit_staged(staged, out);
        } catch (...) {
            fs::remove(staged, ec);
            throw;
        }
        untrack_temp(staged);
    }
    report_stream(out) << "rendered " << count_of(outcome.ticksRun, "tick") << " to " << out << " ("
                       << count_of(pictures, "picture") << ")\n";
    return 0;
}

}  // namespace

const Command RENDER_COMMAND = {"render", HELP, render};

}  // namespace sg::packtool
