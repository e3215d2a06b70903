// The headless soak: the whole program (start-up, message loop, timer ticks,
// teardown) on the in-memory backend for a given number of ticks per scene,
// with resident memory, live GDI objects and live memory blocks sampled as it
// runs. Then repeated start/stop cycles of the program in one process.
//
//   soak [--ticks N] [--scene default|full|all] [--size WxH] [--samples K]
//        [--cycles C] [--cycle-ticks T] [--rss-growth-kib G | --no-rss-check]
//
// Passes (status 0) when, for every scene, the GDI objects and memory blocks
// alive stay where they were after the first tick, everything is released
// when the window goes, and resident memory after the warm-up grows by at
// most G KiB (default 512). Under AddressSanitizer freed memory sits in a
// quarantine, so resident memory says nothing there: --no-rss-check.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "bench/harness.h"
#include "platform/headless/headless.h"
#include "shell/shell.h"

namespace {

namespace hl = pf::headless;

struct Options {
    long long ticks = 20000;
    std::string scene = "all";
    int width = 1920;
    int height = 1080;
    int samples = 40;
    int cycles = 50;
    int cycleTicks = 5;
    long rssGrowthKib = 512;
    bool rssCheck = true;
};

struct Sample {
    long long tick;
    long rssKib;
    int gdi;
    int blocks;
};

struct Result {
    bool ok = true;
    std::vector<std::string> failures;
    void fail(std::string what) {
        ok = false;
        failures.push_back(std::move(what));
    }
};

[[noreturn]] void usage(const char* problem) {
    std::fprintf(stderr,
                 "soak: %s\nusage: soak [--ticks N] [--scene default|full|all] [--size WxH] "
                 "[--samples K] [--cycles C] [--cycle-ticks T] [--rss-growth-kib G | --no-rss-check]\n",
                 problem);
    std::exit(2);
}

long long number(const char* text, long long low, long long high, const char* what) {
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high) {
        std::string problem = std::string(what) + " must be a number from " + std::to_string(low) +
                              " to " + std::to_string(high) + ", not \"" + text + "\"";
        usage(problem.c_str());
    }
    return value;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) usage((a + " needs a value").c_str());
            return argv[++i];
        };
        if (a == "--ticks") {
            o.ticks = number(value(), 1, 1000000000, "--ticks");
        } else if (a == "--scene") {
            o.scene = value();
            if (o.scene != "default" && o.scene != "full" && o.scene != "all")
                usage("--scene is default, full or all");
        } else if (a == "--size") {
            const char* v = value();
            int w = 0, h = 0;
            char extra = 0;
            if (std::sscanf(v, "%dx%d%c", &w, &h, &extra) != 2 || w < 1 || h < 1 || w > 8192 || h > 8192)
                usage("--size is WIDTHxHEIGHT, each 1 to 8192");
            o.width = w;
            o.height = h;
        } else if (a == "--samples") {
            o.samples = static_cast<int>(number(value(), 2, 100000, "--samples"));
        } else if (a == "--cycles") {
            o.cycles = static_cast<int>(number(value(), 0, 100000, "--cycles"));
        } else if (a == "--cycle-ticks") {
            o.cycleTicks = static_cast<int>(number(value(), 1, 100000, "--cycle-ticks"));
        } else if (a == "--rss-growth-kib") {
            o.rssGrowthKib = static_cast<long>(number(value(), 0, 100000000, "--rss-growth-kib"));
        } else if (a == "--no-rss-check") {
            o.rssCheck = false;
        } else {
            usage(("unknown argument " + a).c_str());
        }
    }
    return o;
}

// One run of the program ("/s") for `ticks` timer ticks, calling `sample`
// after every tick given by `every` (and after the first).
struct Run {
    int exitStatus = -1;
    long long ticksRun = 0;
    int messageBoxes = 0;
};

template <class OnTick>
Run run_scene(const sg::pack::Bytes& package, int width, int height, long long ticks, OnTick onTick) {
    hl::set_host_driver(nullptr);
    hl::reset();
    const auto saver = std::make_unique<sg::SaverState>();
    hl::set_package(package.data(), package.size());
    hl::set_screen_size(width, height);
    hl::set_timer_limit(static_cast<int>(std::min<long long>(ticks + 16, 2000000000)));
    Run run;
    long long handled = -1;
    bool closing = false;
    hl::set_idle_hook([&](int delivered) {
        if (closing || delivered == handled || saver->saverWindow == nullptr) return;
        handled = delivered;
        run.ticksRun = delivered;
        if (delivered > 0) onTick(static_cast<long long>(delivered));
        if (delivered >= ticks) {
            closing = true;
            pf::DestroyWindow(saver->saverWindow);
        }
    });
    run.exitStatus = sg::run_program(*saver, nullptr, "/s");
    hl::set_idle_hook(nullptr);
    run.messageBoxes = static_cast<int>(hl::message_boxes().size());
    return run;
}

Result soak_scene(const char* name, const sg::pack::Bytes& package, const Options& o) {
    Result result;
    std::vector<Sample> samples;
    const long long every = std::max<long long>(1, o.ticks / o.samples);
    const auto started = std::chrono::steady_clock::now();
    int gdiAfterFirst = -1, blocksAfterFirst = -1;

    const Run run = run_scene(package, o.width, o.height, o.ticks, [&](long long tick) {
        const int gdi = pf::diagnostics::gdi_objects_alive();
        const int blocks = hl::live_global_blocks();
        if (tick == 1) {
            gdiAfterFirst = gdi;
            blocksAfterFirst = blocks;
        } else if (gdi != gdiAfterFirst || blocks != blocksAfterFirst) {
            // Checked every tick: a leak that is undone later still counts.
            if (result.ok)
                result.fail("tick " + std::to_string(tick) + ": " + std::to_string(gdi) +
                            " GDI objects and " + std::to_string(blocks) + " blocks alive, " +
                            std::to_string(gdiAfterFirst) + " and " + std::to_string(blocksAfterFirst) +
                            " after the first tick");
        }
        if (tick == 1 || tick % every == 0 || tick == o.ticks)
            samples.push_back({tick, sg::bench::resident_kib(), gdi, blocks});
    });
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::printf("== %s at %dx%d: %lld ticks in %.1f s (%.1f us a tick)\n", name, o.width, o.height,
                run.ticksRun, seconds, run.ticksRun > 0 ? seconds * 1e6 / static_cast<double>(run.ticksRun) : 0.0);
    for (const Sample& s : samples)
        std::printf("   tick %10lld  rss %8ld KiB  gdi %4d  blocks %3d\n", s.tick, s.rssKib, s.gdi, s.blocks);

    if (run.exitStatus != 0) result.fail("exit status " + std::to_string(run.exitStatus));
    if (run.messageBoxes != 0) result.fail(std::to_string(run.messageBoxes) + " message boxes shown");
    if (run.ticksRun < o.ticks)
        result.fail("only " + std::to_string(run.ticksRun) + " of " + std::to_string(o.ticks) + " ticks ran");
    if (pf::diagnostics::gdi_objects_alive() != 0)
        result.fail(std::to_string(pf::diagnostics::gdi_objects_alive()) + " GDI objects alive after teardown");
    if (hl::live_global_blocks() != 0)
        result.fail(std::to_string(hl::live_global_blocks()) + " memory blocks alive after teardown");

    // Warm-up: the first hundredth of the run, at least 1,000 ticks (page
    // faults of the surfaces, the allocator settling).
    const long long warmUp = std::max<long long>(1000, o.ticks / 100);
    long baseline = -1, highest = 0;
    for (const Sample& s : samples) {
        if (s.tick < warmUp) continue;
        if (baseline < 0) baseline = s.rssKib;
        highest = std::max(highest, s.rssKib);
    }
    if (baseline >= 0) {
        std::printf("   resident after warm-up (tick >= %lld): %ld KiB, highest %ld KiB, growth %ld KiB\n",
                    warmUp, baseline, highest, highest - baseline);
        if (o.rssCheck && highest - baseline > o.rssGrowthKib)
            result.fail("resident memory grew by " + std::to_string(highest - baseline) +
                        " KiB after the warm-up (allowed " + std::to_string(o.rssGrowthKib) + ")");
    }
    return result;
}

// Start and stop the program many times in one process: everything it made
// must be gone each time.
Result cycles(const sg::pack::Bytes& package, const Options& o) {
    Result result;
    long rssAfterFirst = 0;
    for (int c = 0; c < o.cycles; ++c) {
        const Run run = run_scene(package, o.width, o.height, o.cycleTicks, [](long long) {});
        if (run.exitStatus != 0 || run.ticksRun < o.cycleTicks)
            result.fail("cycle " + std::to_string(c) + ": exit status " + std::to_string(run.exitStatus) +
                        " after " + std::to_string(run.ticksRun) + " ticks");
        if (pf::diagnostics::gdi_objects_alive() != 0 || hl::live_global_blocks() != 0)
            result.fail("cycle " + std::to_string(c) + ": " + std::to_string(pf::diagnostics::gdi_objects_alive()) +
                        " GDI objects and " + std::to_string(hl::live_global_blocks()) +
                        " blocks left after teardown");
        if (c == 0) rssAfterFirst = sg::bench::resident_kib();
        if (!result.ok) break;
    }
    std::printf("== %d start/stop cycles of %d ticks: resident %ld KiB after the first, %ld KiB after the last\n",
                o.cycles, o.cycleTicks, rssAfterFirst, sg::bench::resident_kib());
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    struct Scene {
        const char* name;
        sg::pack::Bytes bytes;
    };
    std::vector<Scene> scenes;
    if (o.scene != "full") scenes.push_back({"default", sg::bench::default_package()});
    if (o.scene != "default") scenes.push_back({"full", sg::bench::full_package()});

    bool ok = true;
    auto report = [&](const char* what, const Result& r) {
        for (const std::string& f : r.failures) std::printf("FAILED %s: %s\n", what, f.c_str());
        ok = ok && r.ok;
    };
    for (const Scene& s : scenes) {
        report(s.name, soak_scene(s.name, s.bytes, o));
        std::fflush(stdout);
    }
    if (o.cycles > 0) report("cycles", cycles(scenes.front().bytes, o));
    std::printf("peak resident %ld KiB\n%s\n", sg::bench::peak_resident_kib(), ok ? "soak passed" : "soak FAILED");
    return ok ? 0 : 1;
}
