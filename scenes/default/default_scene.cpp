#include "scenes/default/default_scene.h"

#include "scenes/default/art.h"

namespace sg::scenes {

namespace {

constexpr int INSTANCES[4] = {15, 15, 10, 10};
// Behind: slow with a narrow sway; in front: fast with a wide one.
constexpr int SPEED_CLASS[4] = {1, 1, 2, 2};
constexpr int SWAY_ROW[4] = {1, 1, 2, 2};

sg::pack::AnimSet flake_set(int layer) {
    sg::pack::AnimSet set;
    set.maskMode = 0;  // key colour from each frame's top-left pixel
    for (const sg::pack::Image& frame : flake_frames(layer))
        set.frames.push_back({sg::pack::bmp24(frame, 2), 2});
    return set;
}

}  // namespace

sg::pack::Package default_scene() {
    sg::pack::Package p;
    p.scene.title = DEFAULT_TITLE;
    p.scene.backgroundMode = 4;
    p.scene.pictureFit = 1;
    p.scene.picture = sg::pack::bmp24(night_picture(), 2);
    // Fields of settings that are off carry numbers that point nowhere.
    p.scene.leftoverTileOffset = 921996;
    p.scene.leftoverTileSize = 3128;
    p.scene.leftoverSoundOffset = 1048576;
    p.scene.leftoverSoundSize = 44;

    for (int k = 0; k < 4; ++k) {
        sg::pack::Layer& layer = p.layers[k];
        sg::pack::LayerSettings& s = layer.settings;
        s.enabled = 1;
        s.instanceCount = INSTANCES[k];
        s.reentryCycles = 65535;
        s.startX = 0;
        s.startY = 0;
        s.maxWait = 0;
        s.directionCode = 7;  // down
        s.entryEdge = 1;      // top
        s.placement = 1;      // random
        s.startCorner = 0;
        s.keepInside = 0;
        s.speedClass = SPEED_CLASS[k];
        s.swayAxis = 1;       // x
        s.swayRow = SWAY_ROW[k];
        s.randomStart = 1;
        s.delayMode = 1;      // no delays
        s.loops = 1;
        layer.set = flake_set(k);
    }
    for (int k = 4; k < 10; ++k) {
        sg::pack::Layer& layer = p.layers[k];
        layer.settings.enabled = 0;
        layer.settings.setOffset = 76;
        layer.settings.setSize = 62816;
        layer.settings.instanceCount = 15;
        layer.settings.reentryCycles = 65535;
        layer.keepSetFields = true;
    }

    p.info.lineShown = {1, 1, 1, 1, 1};
    p.info.lines = {
        DEFAULT_TITLE,
        // "雪の降る夜 - a snowy night"
        "\x90\xe1\x82\xcc\x8d\x7e\x82\xe9\x96\xe9"
        " - a snowy night",
        "Drawn in code by the snowglobe project",
        "Any key, click or mouse move ends it",
        "Version 0.1",
    };
    p.entry12 = {0, 1};
    p.entry13 = {132, 52};
    p.padTo = DEFAULT_PACKAGE_BYTES;
    return p;
}

}  // namespace sg::scenes
