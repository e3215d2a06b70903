// The saver's costs at 1920 x 1080 on the software backend, each next to what
// it is measured against in the same run:
//   tick/<scene>        one WM_TIMER 120: frames_step + frame_compose + present
//   memcpy/<scene>      a plain memcpy of the bytes that tick writes (its bound)
//   redraw/<scene>      the same tick restoring and presenting the whole screen
//   startup/default     package open to the first present
//   raster/<op>         AND, XOR and copy over whole 24-bit frames and one sprite
// After the runs a summary gives every figure against its target.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/harness.h"
#include "frame/compose.h"
#include "scene/surface.h"

namespace {

using sg::bench::HeadlessSaver;
using sg::bench::TickBytes;

constexpr int WIDTH = 1920;
constexpr int HEIGHT = 1080;
// The first present copies the whole screen once; steady state starts after.
constexpr int WARM_UP_TICKS = 3;
// Both scenes are masked sets: an AND and an XOR blit per sprite.
constexpr int OPS_PER_SPRITE = 2;

// One steady-state tick's rectangles: drawn last tick, drawn now.
struct TickRects {
    std::vector<sg::DirtyRect> previous, now;
};

struct Scene {
    const char* name;
    sg::pack::Bytes bytes;
    double bytesPerTick = 0;
    std::vector<TickRects> ticks;  // the first steady-state ticks, for the replay
};

std::vector<Scene>& scenes() {
    static std::vector<Scene> all = [] {
        std::vector<Scene> s;
        s.push_back({"default", sg::bench::default_package(), 0, {}});
        s.push_back({"full", sg::bench::full_package(), 0, {}});
        return s;
    }();
    return all;
}

// Average bytes a steady-state tick writes, over a run as long as a timed
// one; keeps the rectangles of the first ticks for the row-copy replay.
double count_bytes_per_tick(const Scene& scene, int ticks, std::vector<TickRects>* kept, int keep) {
    HeadlessSaver saver(scene.bytes, WIDTH, HEIGHT);
    if (!saver.ok()) return 0;
    for (int i = 0; i < WARM_UP_TICKS; ++i) saver.tick();
    TickBytes counter(WIDTH, HEIGHT, OPS_PER_SPRITE);
    double total = 0;
    for (int i = 0; i < ticks; ++i) {
        TickRects rects;
        const sg::Frame& frame = saver.frame();
        rects.previous.assign(frame.previousPresentList,
                              frame.previousPresentList + frame.previousPresentCount);
        counter.before(frame);
        saver.tick();
        total += static_cast<double>(counter.after(frame));
        rects.now.assign(frame.restoreList, frame.restoreList + frame.restoreCount);
        if (i < keep) kept->push_back(std::move(rects));
    }
    return total / ticks;
}

void tick(benchmark::State& state, const Scene& scene, bool fullRedraw) {
    HeadlessSaver saver(scene.bytes, WIDTH, HEIGHT);
    if (!saver.ok()) {
        state.SkipWithError("the scene was refused");
        return;
    }
    for (int i = 0; i < WARM_UP_TICKS; ++i) saver.tick();
    TickBytes counter(WIDTH, HEIGHT, OPS_PER_SPRITE);
    const sg::DirtyRect screen{0, 0, WIDTH, HEIGHT};
    std::int64_t moved = 0;
    for (auto _ : state) {
        if (fullRedraw) {
            // What a naive saver does: the whole background back under the
            // sprites, and the whole picture to the window, every tick.
            sg::Frame& frame = saver.frame();
            frame.restoreList[0] = screen;
            frame.restoreCount = 1;
            frame.previousPresentList[0] = screen;
            frame.previousPresentCount = 1;
        }
        counter.before(saver.frame());
        saver.tick();
        moved += counter.after(saver.frame());
    }
    state.SetBytesProcessed(moved);
    state.counters["bytes_per_tick"] =
        benchmark::Counter(static_cast<double>(moved) / static_cast<double>(state.iterations()));
}

// The default scene's tick on a 3840 x 2160 screen scaled twice (the scene
// at 1920 x 1080, each changed rectangle enlarged) next to 1920 x 1080
// unscaled: what a high-DPI laptop pays for crisp, right-sized sprites.
void scaled_tick(benchmark::State& state, const Scene& scene, int width, int height, int scale) {
    HeadlessSaver saver(scene.bytes, width, height, scale);
    if (!saver.ok()) {
        state.SkipWithError("the scene was refused");
        return;
    }
    for (int i = 0; i < WARM_UP_TICKS; ++i) saver.tick();
    for (auto _ : state) saver.tick();
}

void plain_memcpy(benchmark::State& state, std::size_t bytes) {
    std::vector<std::uint8_t> from(bytes, 0x5A), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}

// The tick's own rectangles, each row copied with memcpy between buffers laid
// out like the screen-sized surfaces: restore from the background, the two
// sprite blits (as copies from a sprite-sized buffer), both presents. What the
// access pattern costs with no drawing code at all.
void row_copies(benchmark::State& state, const std::vector<TickRects>* ticks) {
    if (ticks->empty()) {
        state.SkipWithError("no rectangles");
        return;
    }
    constexpr std::size_t STRIDE = WIDTH * 3;
    constexpr int SPRITE_MAX = 256;
    auto buffer = [](std::size_t bytes) {
        return std::unique_ptr<std::uint8_t, decltype(&std::free)>(
            static_cast<std::uint8_t*>(std::calloc(bytes, 1)), &std::free);
    };
    auto background = buffer(STRIDE * HEIGHT), work = buffer(STRIDE * HEIGHT),
         window = buffer(STRIDE * HEIGHT), sprite = buffer(SPRITE_MAX * SPRITE_MAX * 3);
    // Untouched pages all read as the one shared zero page, which is always
    // in cache: give every buffer its own memory, as the surfaces have.
    std::memset(background.get(), 0x31, STRIDE * HEIGHT);
    std::memset(work.get(), 0x32, STRIDE * HEIGHT);
    std::memset(window.get(), 0x33, STRIDE * HEIGHT);
    std::memset(sprite.get(), 0x34, SPRITE_MAX * SPRITE_MAX * 3);
    auto copy = [](std::uint8_t* to, std::size_t toStride, const std::uint8_t* from,
                   std::size_t fromStride, const sg::DirtyRect& r, bool fromSprite) {
        const int x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
        const int x1 = std::min(r.x + r.width, WIDTH), y1 = std::min(r.y + r.height, HEIGHT);
        if (x1 <= x0 || y1 <= y0 || r.width > SPRITE_MAX) return;
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* src = fromSprite
                ? from + static_cast<std::size_t>(y - r.y) * fromStride + static_cast<std::size_t>(x0 - r.x) * 3
                : from + static_cast<std::size_t>(y) * fromStride + static_cast<std::size_t>(x0) * 3;
            std::memcpy(to + static_cast<std::size_t>(y) * toStride + static_cast<std::size_t>(x0) * 3, src,
                        static_cast<std::size_t>(x1 - x0) * 3);
        }
    };
    std::size_t next = 0;
    for (auto _ : state) {
        const TickRects& t = (*ticks)[next];
        next = (next + 1) % ticks->size();
        for (const sg::DirtyRect& r : t.previous) copy(work.get(), STRIDE, background.get(), STRIDE, r, false);
        for (const sg::DirtyRect& r : t.now) {
            copy(work.get(), STRIDE, sprite.get(), static_cast<std::size_t>(r.width) * 3, r, true);
            copy(work.get(), STRIDE, sprite.get(), static_cast<std::size_t>(r.width) * 3, r, true);
        }
        for (const sg::DirtyRect& r : t.previous) copy(window.get(), STRIDE, work.get(), STRIDE, r, false);
        for (const sg::DirtyRect& r : t.now) copy(window.get(), STRIDE, work.get(), STRIDE, r, false);
        benchmark::ClobberMemory();
    }
}

void startup(benchmark::State& state, const Scene& scene) {
    for (auto _ : state) {
        auto saver = std::make_unique<HeadlessSaver>(scene.bytes, WIDTH, HEIGHT);
        if (!saver->ok()) {
            state.SkipWithError("the scene was refused");
            return;
        }
        saver->tick();  // the first present: the whole screen
        state.PauseTiming();
        saver.reset();
        state.ResumeTiming();
    }
}

// Two 24-bit surfaces made by the engine's own surface code.
struct SurfacePair {
    sg::Surface target{};
    sg::Surface source{};
    SurfacePair(int width, int height) {
        sg::surface_create(&target, WIDTH, HEIGHT, 24);
        sg::surface_create(&source, width, height, 24);
        for (int i = 0; i < sg::surface_stride(&source) * height; ++i)
            source.bits[i] = static_cast<std::uint8_t>(i * 7);
    }
    ~SurfacePair() {
        sg::surface_release(&source);
        sg::surface_release(&target);
    }
};

void raster(benchmark::State& state, pf::DWORD rop, int width, int height) {
    SurfacePair s(width, height);
    if (s.target.memoryDC == nullptr || s.source.memoryDC == nullptr) {
        state.SkipWithError("no surfaces");
        return;
    }
    for (auto _ : state) {
        pf::BitBlt(s.target.memoryDC, 100, 100, width, height, s.source.memoryDC, 0, 0, rop);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height * 3);
}

// ---- the summary ----

// CPU time of the benchmark thread: this machine is shared, and wall time
// would count the waits for a core.
struct Figure {
    double seconds = 0;  // CPU time per iteration
    double bytesPerTick = 0;
    double bytesPerSecond = 0;
};

// Keeps, per benchmark, the fastest repetition (or the median when only
// aggregates are reported), then prints as the console reporter does.
class Collecting : public benchmark::ConsoleReporter {
public:
    std::map<std::string, Figure> figures;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median) continue;
            Figure f;
            f.seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            if (auto it = run.counters.find("bytes_per_tick"); it != run.counters.end())
                f.bytesPerTick = it->second.value;
            if (auto it = run.counters.find("bytes_per_second"); it != run.counters.end())
                f.bytesPerSecond = it->second.value;
            const std::string name = run.run_name.str();
            auto known = figures.find(name);
            if (known == figures.end() || median || f.seconds < known->second.seconds) figures[name] = f;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

const Figure* find(const Collecting& c, const std::string& name) {
    for (const auto& [key, figure] : c.figures)
        if (key == name || key.rfind(name + "/", 0) == 0) return &figure;
    return nullptr;
}

const char* verdict(bool met) { return met ? "met" : "MISSED"; }

void summary(const Collecting& c) {
    std::printf("\n== summary (1920 x 1080, software backend, CPU time per iteration)\n");
    for (const Scene& scene : scenes()) {
        const std::string n = scene.name;
        const Figure* t = find(c, "tick/" + n);
        const Figure* m = find(c, "memcpy/" + n);
        const Figure* r = find(c, "redraw/" + n);
        if (t == nullptr) continue;
        std::printf("%-8s tick %8.1f us, %8.0f bytes written per tick (%.2f GB/s)\n", scene.name,
                    t->seconds * 1e6, t->bytesPerTick, t->bytesPerSecond / 1e9);
        if (const Figure* w = find(c, "rows/" + n)) {
            std::printf("%-8s the same rectangles as plain row memcpy %8.1f us: tick = %.2f x that\n",
                        scene.name, w->seconds * 1e6, t->seconds / w->seconds);
        }
        if (m != nullptr) {
            const double ratio = t->seconds / m->seconds;
            std::printf("%-8s memcpy of those bytes %8.1f us: tick = %.2f x the bound "
                        "(target <= 2): %s\n",
                        scene.name, m->seconds * 1e6, ratio, verdict(ratio <= 2.0));
        }
        if (r != nullptr) {
            const double ratio = r->seconds / t->seconds;
            std::printf("%-8s full-frame redraw %8.1f us: dirty rectangles %.1f x cheaper%s\n",
                        scene.name, r->seconds * 1e6, ratio,
                        n == "default" ? (ratio >= 10 ? " (target >= 10): met" : " (target >= 10): MISSED") : "");
        }
    }
    if (const Figure* s = find(c, "startup/default")) {
        std::printf("startup  package open to first present %.2f ms (target < 50): %s\n",
                    s->seconds * 1e3, verdict(s->seconds < 0.050));
    }
    const Figure* frameCopy = find(c, "memcpy/frame");
    for (const char* op : {"copy", "and", "xor"}) {
        const Figure* whole = find(c, std::string("raster/") + op + "/frame");
        const Figure* sprite = find(c, std::string("raster/") + op + "/sprite64");
        if (whole == nullptr) continue;
        std::printf("raster   %-4s whole frame %6.2f GB/s", op, whole->bytesPerSecond / 1e9);
        if (frameCopy != nullptr)
            std::printf(" (%.2f x memcpy's %.2f GB/s)", whole->bytesPerSecond / frameCopy->bytesPerSecond,
                        frameCopy->bytesPerSecond / 1e9);
        if (sprite != nullptr) std::printf(", 64 x 64 sprite %6.2f GB/s", sprite->bytesPerSecond / 1e9);
        std::printf("\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    for (Scene& scene : scenes()) {
        scene.bytesPerTick = count_bytes_per_tick(scene, 2000, &scene.ticks, 256);
        const std::string n = scene.name;
        benchmark::RegisterBenchmark(("tick/" + n).c_str(), tick, scene, false)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("memcpy/" + n).c_str(), plain_memcpy,
                                     static_cast<std::size_t>(scene.bytesPerTick))
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("rows/" + n).c_str(), row_copies, &scene.ticks)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("redraw/" + n).c_str(), tick, scene, true)->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("startup/default", startup, scenes()[0])->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("scaled/default/1920x1080-s1", scaled_tick, scenes()[0], 1920, 1080, 1)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("scaled/default/3840x2160-s2", scaled_tick, scenes()[0], 3840, 2160, 2)
        ->Unit(benchmark::kMicrosecond);

    const struct {
        const char* name;
        pf::DWORD rop;
    } ops[] = {{"copy", pf::SRCCOPY}, {"and", pf::SRCAND}, {"xor", pf::SRCINVERT}};
    // The whole frame minus the 100-pixel offset, so it stays inside the target.
    for (const auto& op : ops) {
        benchmark::RegisterBenchmark((std::string("raster/") + op.name + "/frame").c_str(), raster,
                                     op.rop, WIDTH - 100, HEIGHT - 100)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((std::string("raster/") + op.name + "/sprite64").c_str(), raster,
                                     op.rop, 64, 64);
    }
    benchmark::RegisterBenchmark("memcpy/frame", plain_memcpy,
                                 static_cast<std::size_t>(WIDTH - 100) * (HEIGHT - 100) * 3)
        ->Unit(benchmark::kMicrosecond);

    Collecting reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    summary(reporter);
    benchmark::Shutdown();
    return 0;
}
