#include "tools/pack/commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>

#include "format/exe_package.h"
#include "tools/pack/check.h"
#include "tools/pack/engine_check.h"
#include "tools/pack/help.h"
#include "tools/pack/icon.h"
#include "tools/pack/container.h"
#include "tools/pack/images.h"
#include "tools/pack/inspect.h"
#include "tools/pack/listing.h"
#include "tools/pack/manifest.h"
#include "tools/pack/output.h"
#include "tools/pack/pe.h"
#ifndef __EMSCRIPTEN__  // the studio has its own live canvas
#include "tools/pack/preview.h"
#endif
#include "tools/pack/sjis.h"
#include "tools/pack/temp_dir.h"
#include "tools/render/render.h"

namespace sg::packtool {

namespace fs = std::filesystem;

namespace {

// Splits flags from positional arguments. Flags that take a value are listed.
struct Parsed {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::map<std::string, bool> switches;
};

Parsed parse(const Args& args, std::initializer_list<const char*> withValue, std::initializer_list<const char*> switches) {
    Parsed p;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 1 && a[0] == '-') {
            bool known = false;
            for (const char* f : withValue)
                if (a == f) {
                    if (i + 1 >= args.size()) throw Usage(a + " needs a value");
                    p.values[a] = args[++i];
                    known = true;
                }
            for (const char* f : switches)
                if (a == f) p.switches[a] = known = true;
            if (!known) throw Usage("unknown option " + a);
        } else {
            p.positional.push_back(a);
        }
    }
    return p;
}

bool wants_help(const Args& args) {
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

void print_problems(const pack::Problems& problems, std::ostream& out) {
    for (const pack::Problem& p : problems) out << "  " << pack::to_string(p) << "\n";
}

bool is_manifest(const std::string& path) { return fs::path(path).extension() == ".toml"; }

// The package bytes named on a command line: a package, a saver, or a manifest
// (built in memory; build's notes go to *notes when given).
Bytes package_of(const std::string& path, std::vector<std::string>* notes = nullptr) {
    if (is_manifest(path)) {
        try {
            Built built = build_manifest(path);
            if (notes) *notes = built.notes;
            return pack::package_bytes(built.package);
        } catch (const std::runtime_error& e) {
            if (dynamic_cast<const Failure*>(&e)) throw;
            throw Failure(path + ": " + e.what());
        }
    }
    return open_source(path).package;
}

// The file named on a command line, with a manifest built in memory.
Source source_of(const std::string& path) {
    if (!is_manifest(path)) return open_source(path);
    Source s;
    s.package = package_of(path);
    s.what = "scene package built from " + fs::path(path).filename().string();
    return s;
}

// The files a command reads, which its output must not be.
std::vector<fs::path> inputs_of(const std::string& path) {
    return is_manifest(path) ? manifest_inputs(path) : std::vector<fs::path>{path};
}

std::string output_option(Parsed& p) { return p.values.count("-o") ? p.values["-o"] : p.values["--output"]; }

// Where to say what was written: stdout, unless the output itself goes there.
std::ostream& report_stream(const std::string& out) { return out == "-" ? std::cerr : std::cout; }

// A package built from a manifest has no bytes the author knows: its
// problems are shown without offsets.
void print_problems_for(const std::string& file, const pack::Problems& problems, std::ostream& out) {
    if (!is_manifest(file)) return print_problems(problems, out);
    for (const pack::Problem& p : problems)
        out << "  " << (p.severity == pack::Severity::Error ? "error: " : "warning: ") << p.message << "\n";
}

// Notes for what the author may not expect from the settings as written.
std::vector<std::string> author_notes(const pack::PackageRead& read) {
    std::vector<std::string> notes;
    for (std::size_t k = 0; k < read.layers.size(); ++k) {
        const pack::LayerSettings& l = read.layers[k].settings;
        if (l.enabled != 0 && l.speedClass == 0 && l.directionCode != 4)
            notes.push_back("layer " + std::to_string(k) +
                            ": speed 0 still moves 1 pixel a tick; for a sprite that stays put write direction = \"none\"");
    }
    return notes;
}

int build(const Args& args) {
    Parsed p = parse(args, {"-o", "--output"}, {"--quiet", "-q"});
    if (p.positional.size() != 1) throw Usage("give one manifest");
    const std::string& manifest = p.positional[0];
    std::string out = output_option(p);
    if (out.empty()) {
        if (!is_manifest(manifest)) throw Usage("the manifest must end in .toml, or give the output with -o OUT");
        out = fs::path(manifest).replace_extension(".kavren").string();
    }
    bool quiet = p.switches.count("--quiet") || p.switches.count("-q");
    refuse_output_is_input(out, manifest_inputs(manifest));
    Built built = build_manifest(manifest);
    Bytes bytes;
    try {
        bytes = pack::package_bytes(built.package);
    } catch (const std::exception& e) {
        throw Failure(manifest + ": " + e.what());
    }
    Checked checked = check_package(bytes);
    if (!checked.ok()) {
        std::cerr << manifest << ": the package would be refused:\n";
        print_problems_for(manifest, checked.problems, std::cerr);
        return 1;
    }
    write_output(out, bytes);
    if (!quiet) {
        for (const std::string& n : built.notes) std::cerr << "note: " << n << "\n";
        for (const std::string& n : author_notes(checked.read)) std::cerr << "note: " << n << "\n";
        for (const std::string& w : build_warnings(built, bytes, checked.problems))
            std::cerr << "warning: " << w << "\n";
        report_stream(out) << "wrote " << out << " (" << count_of(bytes.size(), "byte") << ")\n";
    }
    return 0;
}

int inspect(const Args& args) {
    Parsed p = parse(args, {}, {"--json"});
    if (p.positional.size() != 1) throw Usage("give one file");
    Source source = source_of(p.positional[0]);
    Checked checked = check_package(source.package);
    std::cout << (p.switches.count("--json") ? inspect_json(source, checked) : inspect_text(source, checked));
    // A package the engine would refuse is a failed inspection for scripts.
    return checked.ok() ? 0 : 1;
}

int validate(const Args& args) {
    Parsed p = parse(args, {}, {"--strict"});
    if (p.positional.size() != 1) throw Usage("give one file");
    const std::string& file = p.positional[0];
    Source source = source_of(file);
    Checked checked = check_package(source.package);
    print_problems_for(file, checked.problems, std::cout);
    for (const std::string& n : author_notes(checked.read)) std::cout << "  note: " << n << "\n";
    std::cout << file << ": " << count_of(checked.errors(), "error") << ", " << count_of(checked.warnings(), "warning")
              << "\n";
    bool bad = !checked.ok() || (p.switches.count("--strict") && checked.warnings() > 0);
    return bad ? 1 : 0;
}

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
        if (!checked.ok()) {
            x.warnings.push_back("the package has errors (see validate); build refuses the manifest until they are fixed");
        } else {
            std::optional<Bytes> again;
            try {
                again = pack::package_bytes(build_manifest(temp.path() / "scene.toml").package);
            } catch (const Failure& e) {
                // Still written: the files are what the package holds (a
                // package larger than a scene may be, for one).
                x.warnings.push_back(std::string("build refuses the manifest: ") + e.what());
            }
            if (again && *again != source.package) {
                std::size_t differ = 0;
                for (std::size_t i = 0; i < std::min(again->size(), source.package.size()); ++i) differ += (*again)[i] != source.package[i];
                x.warnings.push_back("building the manifest gives a different package (" + count_of(again->size(), "byte") +
                                     ", " + std::to_string(differ) + " differ): it was not written by build");
            }
        }
        if (exists) {
            // The user's own folder keeps its mode, owner and place.
            fill_folder(temp.path(), target, x.files.size() + 1);
        } else {
#ifndef __EMSCRIPTEN__
            // A new folder as mkdir makes it; the browser's files have no
            // owners (and its umask() answers 0777), so its folder stays as made.
            mode_t mask = ::umask(0);
            ::umask(mask);
            ::chmod(temp.path().c_str(), 0777 & ~mask);
#endif
            fs::rename(temp.path(), target, ec);
            if (ec) throw Failure(dir.string() + ": cannot create: " + ec.message());
            temp.release();
        }
    }
    for (const std::string& w : x.warnings) std::cerr << "warning: " << w << "\n";
    std::cout << "wrote " << (dir / "scene.toml").string() << " and " << count_of(x.files.size(), "file") << "\n";
    return 0;
}

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

// Moves a finished file written beside the output onto it: renamed over a
// regular file (or a symlink's regular target), copied into anything else.
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

// A device or FIFO: a PNG goes there whatever its name.
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

int bind(const Args& args) {
    Parsed p = parse(args, {"-o", "--output", "--icon"}, {});
    if (p.positional.size() != 2) throw Usage("give an engine and a package");
    std::string out = output_option(p);
    if (out.empty()) throw Usage("give the output file with -o OUT");
    const std::string& enginePath = p.positional[0];
    const std::string icon = p.values.count("--icon") ? p.values["--icon"] : "";
    std::vector<fs::path> inputs = inputs_of(p.positional[1]);
    inputs.push_back(enginePath);
    if (!icon.empty()) inputs.push_back(icon);
    refuse_output_is_input(out, inputs);

    Bytes engine = read_file(enginePath);
    const EngineKind kind = check_engine(engine, enginePath);
    if (!icon.empty() && kind != EngineKind::Windows)
        throw Usage("--icon is for Windows savers; a Linux program's icon comes from its desktop entry");
    Bytes package = package_of(p.positional[1]);
    Checked checked = check_package(package);
    if (!checked.ok()) {
        std::cerr << p.positional[1] << ": refused, the engine cannot use this package:\n";
        print_problems_for(p.positional[1], checked.problems, std::cerr);
        return 1;
    }
    Bytes result;
    std::vector<std::string> notes;
    if (kind == EngineKind::Windows) {
        std::vector<Bytes> icons;
        if (!icon.empty()) icons = icon_images(read_file(icon), icon);
        auto edit = [&](std::vector<pe::Resource>& list) {
            pe::set_resource(list, pe::ResName::of("KAVREN"), pe::ResName::of(103), PACKAGE_LANGUAGE, package);
            if (!icons.empty()) set_icon_group(list, icons);
        };
        result = pe::rebuild_resources(engine, edit, enginePath, &notes);
        auto problems = pe::layout_problems(result);
        if (!problems.empty()) throw Failure(enginePath + ": the rebuilt executable is inconsistent: " + problems[0]);
    } else {
        auto appended = sg::format::exe_package::append(engine, package);
        if (!appended) throw Failure(enginePath + ": its package trailer is damaged; cannot tell where the program ends");
        result = std::move(*appended);
    }
    // Read the result back the way the saver will.
    Source again = source_from_bytes(result, out);
    if (again.package != package) throw Failure(out + ": the bound package does not read back the same");
    struct stat st {};
    std::optional<mode_t> mode;
    if (::stat(enginePath.c_str(), &st) == 0) mode = st.st_mode & 07777;
    write_output(out, result, mode);
    for (const std::string& n : notes) std::cerr << "note: " << n << "\n";
    report_stream(out) << "wrote " << out << ": " << again.what << " with a " << package.size()
                       << "-byte scene package" << (icon.empty() ? "" : " and its own icon") << "\n";
    return 0;
}

int listing(const Args& args) {
    Parsed p = parse(args, {"-o", "--output", "--name"}, {});
    if (p.positional.size() != 1) throw Usage("give one saver, package or manifest");
    std::string dir = p.values.count("-o") ? p.values["-o"] : p.values["--output"];
    if (dir.empty()) throw Usage("give the output directory with -o DIR");
    const std::string& file = p.positional[0];
    Bytes package;
    const bool named = p.values.count("--name") > 0;
    std::string name = named ? p.values["--name"] : "";
    if (fs::path(file).extension() == ".toml") {
        package = package_of(file);
    } else {
        Source source = open_source(file);
        if (!named && source.kind == FileKind::LinuxExe) name = fs::path(file).filename().string();
        package = std::move(source.package);
    }
    if (!named && name.empty()) throw Usage("give the installed program's name with --name NAME");
    if (!listing_name_ok(name))
        throw Usage("--name \"" + name + "\": use letters, digits, '.', '_' and '-' (not first), at most 64");
    Checked checked = check_package(package);
    if (!checked.ok()) {
        std::cerr << file << ": refused, the engine cannot use this package:\n";
        print_problems_for(file, checked.problems, std::cerr);
        return 1;
    }
    Listing l;
    l.name = name;
    const std::uint32_t codePage = checked.read.textCodePage;
    const auto readable = [&](const std::string& text) {
        return code_page_to_utf8(text, codePage).value_or(code_page_display(text, codePage));
    };
    l.label = readable(checked.read.scene.title);
    for (std::size_t i = 0; i < checked.read.info.lines.size(); ++i)
        if (checked.read.info.lineShown[i] && !checked.read.info.lines[i].empty())
            l.about.push_back(readable(checked.read.info.lines[i]));
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir, ec)) throw Failure(dir + ": cannot create the directory");
    write_file_atomic(fs::path(dir) / (name + ".xml"), listing_xml(l));
    write_file_atomic(fs::path(dir) / (name + ".desktop"), listing_desktop(l));
    std::cout << "wrote " << (fs::path(dir) / (name + ".xml")).string() << " and " << name << ".desktop for \""
              << l.label << "\"\n";
    return 0;
}

int guarded(const char* name, int (*command)(const Args&), const Args& args) {
    if (wants_help(args)) {
        std::cout << HELP().at(name);
        return 0;
    }
    try {
        return command(args);
    } catch (const Usage& e) {
        std::cerr << "snowglobe-pack " << name << ": " << e.what() << "; see snowglobe-pack " << name << " --help\n";
        return 2;
    } catch (const Failure& e) {
        std::cerr << "snowglobe-pack " << name << ": " << e.what() << "\n";
        return 1;
    } catch (const std::bad_alloc&) {
        std::cerr << "snowglobe-pack " << name << ": out of memory\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "snowglobe-pack " << name << ": " << e.what() << "\n";
        return 1;
    }
}

}  // namespace

int cmd_build(const Args& args) { return guarded("build", build, args); }
int cmd_inspect(const Args& args) { return guarded("inspect", inspect, args); }
int cmd_validate(const Args& args) { return guarded("validate", validate, args); }
int cmd_extract(const Args& args) { return guarded("extract", extract, args); }
int cmd_render(const Args& args) { return guarded("render", render, args); }
int cmd_bind(const Args& args) { return guarded("bind", bind, args); }
int cmd_listing(const Args& args) { return guarded("listing", listing, args); }
#ifndef __EMSCRIPTEN__
int cmd_preview(const Args& args) { return guarded("preview", run_preview, args); }
#endif

int run_pack(const Args& args) {
    install_cleanup_handlers();
    if (!args.empty() && (args[0] == "--version" || args[0] == "-V")) {
        std::cout << "snowglobe-pack " << SNOWGLOBE_VERSION << "\n";
        return 0;
    }
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        if (args.size() >= 2 && HELP().count(args[1])) {
            std::cout << HELP().at(args[1]);
            return 0;
        }
        std::cout << MAIN_HELP;
        return args.empty() ? 2 : 0;
    }
    static const std::map<std::string, int (*)(const Args&)> commands = {
        {"build", cmd_build},     {"inspect", cmd_inspect}, {"validate", cmd_validate},
        {"extract", cmd_extract}, {"render", cmd_render},   {"bind", cmd_bind},
        {"listing", cmd_listing},
#ifndef __EMSCRIPTEN__
        {"preview", cmd_preview},
#endif
    };
    auto it = commands.find(args[0]);
    if (it == commands.end()) {
        std::cerr << "snowglobe-pack: unknown command \"" << args[0] << "\"; see snowglobe-pack --help\n";
        return 2;
    }
    return it->second(Args(args.begin() + 1, args.end()));
}

}  // namespace sg::packtool
