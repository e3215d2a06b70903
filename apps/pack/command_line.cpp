#include "apps/pack/command.h"

#include <iostream>

#include "tools/core/manifest.h"
#include "tools/core/output.h"

namespace sg::packtool {

namespace fs = std::filesystem;

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

namespace {

void print_problems(const pack::Problems& problems, std::ostream& out) {
    for (const pack::Problem& p : problems) out << "  " << pack::to_string(p) << "\n";
}

}  // namespace

bool is_manifest(const std::string& path) { return fs::path(path).extension() == ".toml"; }

Bytes package_of(const std::string& path, std::vector<std::string>* notes) {
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

Source source_of(const std::string& path) {
    if (!is_manifest(path)) return open_source(path);
    Source s;
    s.package = package_of(path);
    s.what = "scene package built from " + fs::path(path).filename().string();
    return s;
}

std::vector<fs::path> inputs_of(const std::string& path) {
    return is_manifest(path) ? manifest_inputs(path) : std::vector<fs::path>{path};
}

std::string output_option(Parsed& p) { return p.values.count("-o") ? p.values["-o"] : p.values["--output"]; }

std::ostream& report_stream(const std::string& out) { return out == "-" ? std::cerr : std::cout; }

void print_problems_for(const std::string& file, const pack::Problems& problems, std::ostream& out) {
    if (!is_manifest(file)) return print_problems(problems, out);
    for (const pack::Problem& p : problems)
        out << "  " << (p.severity == pack::Severity::Error ? "error: " : "warning: ") << p.message << "\n";
}

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

}  // namespace sg::packtool
