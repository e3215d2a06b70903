#include "bench/harness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "scene/package.h"
#include "platform/headless/headless.h"
#include "scenes/default/default_scene.h"
#include "shell/shell.h"

namespace sg::bench {

pack::Bytes default_package() { return pack::package_bytes(scenes::default_scene()); }

namespace {

constexpr int SPRITE = 64;

// A ball on a magenta key colour (the top-left pixel); its rim turns with the
// frame so every frame differs.
pack::Image ball_frame(int layer, int frame) {
    pack::Image image;
    image.width = SPRITE;
    image.height = SPRITE;
    image.bgr.resize(std::size_t{SPRITE} * SPRITE * 3);
    const double c = (SPRITE - 1) / 2.0;
    for (int y = 0; y < SPRITE; ++y) {
        for (int x = 0; x < SPRITE; ++x) {
            const double dx = x - c, dy = y - c;
            const double r = std::sqrt(dx * dx + dy * dy);
            if (r > c - 1) {
                image.set(x, y, 0xFF, 0x00, 0xFF);
                continue;
            }
            const double angle = std::atan2(dy, dx) + frame * 0.8;
            const auto shade = static_cast<std::uint8_t>(120 + 100 * std::cos(angle) * (r / c));
            image.set(x, y, static_cast<std::uint8_t>(40 + 20 * layer), shade,
                      static_cast<std::uint8_t>(255 - 20 * layer));
        }
    }
    return image;
}

pack::Image gradient_picture(int width, int height) {
    pack::Image image;
    image.width = width;
    image.height = height;
    image.bgr.resize(std::size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.set(x, y, static_cast<std::uint8_t>(80 + y * 120 / height),
                      static_cast<std::uint8_t>(x * 60 / width), static_cast<std::uint8_t>(30));
    return image;
}

}  // namespace

pack::Package full_scene() {
    // Direction codes are the 3 x 3 grid read row by row (4: no travel); each
    // comes back in at the edge it travels away from.
    struct Motion {
        int direction, entry, speed;
    };
    constexpr Motion MOTIONS[10] = {
        {7, 1, 1}, {1, 2, 1}, {5, 3, 2}, {3, 4, 2}, {8, 5, 1},
        {0, 8, 1}, {7, 1, 3}, {5, 3, 1}, {6, 6, 2}, {2, 7, 2},
    };
    pack::Package p;
    p.scene.title = "snowglobe bench: full scene";
    p.scene.backgroundMode = 4;
    p.scene.pictureFit = 1;
    p.scene.picture = pack::bmp24(gradient_picture(320, 240));
    for (int k = 0; k < 10; ++k) {
        pack::Layer& layer = p.layers[k];
        pack::LayerSettings& s = layer.settings;
        s.enabled = 1;
        s.instanceCount = 50;
        s.directionCode = MOTIONS[k].direction;
        s.entryEdge = MOTIONS[k].entry;
        s.speedClass = MOTIONS[k].speed;
        s.placement = 1;
        s.swayAxis = k % 2;  // 1: across on x, 0: on y
        s.swayRow = k % 5;
        s.randomStart = 1;
        s.delayMode = 1;
        s.loops = 1;
        pack::AnimSet set;
        set.maskMode = 0;
        for (int f = 0; f < 4; ++f) set.frames.push_back({pack::bmp24(ball_frame(k, f)), 2});
        layer.set = set;
    }
    p.info.lineShown = {1, 0, 0, 0, 0};
    p.info.lines = {"full scene", "", "", "", ""};
    return p;
}

pack::Bytes full_package() { return pack::package_bytes(full_scene()); }

HeadlessSaver::HeadlessSaver(std::span<const std::uint8_t> package, int width, int height,
                             int scale)
    : saver_(std::make_unique<SaverState>()), width_(width), height_(height) {
    namespace hl = pf::headless;
    hl::set_host_driver(nullptr);
    hl::reset();
    hl::set_package(package.data(), package.size());
    hl::set_screen_size(width, height);
    hl::set_screen_dpi(96 * scale);
    SaverState& s = *saver_;
    if (!package_copy_out(s.package, nullptr)) return;
    // As the start-up does it for "/s".
    const int screenWidth = pf::GetSystemMetrics(pf::SM_CXSCREEN);
    const int screenHeight = pf::GetSystemMetrics(pf::SM_CYSCREEN);
    s.displayScale = display_scale(screenWidth, screenHeight);
    s.windowWidth = screenWidth;
    s.windowHeight = screenHeight;
    s.world.screenWidth = screenWidth / s.displayScale;
    s.world.screenHeight = screenHeight / s.displayScale;
    const char* title = s.package.sceneHeader.title;
    std::memcpy(s.windowClassName, title, std::strlen(title));
    s.runMode = RunMode::Saver;
    window_ = create_saver_window(s, 0, 0, screenWidth, screenHeight);
}

HeadlessSaver::~HeadlessSaver() {
    if (window_ != nullptr) pf::DestroyWindow(window_);
}

void HeadlessSaver::tick() { saver_window_proc(window_, pf::WM_TIMER, TICK_TIMER_ID, 0); }

std::int64_t list_bytes(const DirtyRect* list, int count, int width, int height) {
    std::int64_t pixels = 0;
    for (int k = 0; k < count; ++k) {
        const DirtyRect& r = list[k];
        const std::int64_t x0 = std::max<std::int64_t>(r.x, 0);
        const std::int64_t y0 = std::max<std::int64_t>(r.y, 0);
        const std::int64_t x1 = std::min<std::int64_t>(std::int64_t{r.x} + r.width, width);
        const std::int64_t y1 = std::min<std::int64_t>(std::int64_t{r.y} + r.height, height);
        if (x1 > x0 && y1 > y0) pixels += (x1 - x0) * (y1 - y0);
    }
    return pixels * 3;
}

namespace {

long status_kib(const char* field) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) return 0;
    char line[256];
    long value = 0;
    const std::size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
            value = std::strtol(line + n + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return value;
}

}  // namespace

long resident_kib() { return status_kib("VmRSS"); }
long peak_resident_kib() { return status_kib("VmHWM"); }

}  // namespace sg::bench
