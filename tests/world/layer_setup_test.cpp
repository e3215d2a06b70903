// Setting a layer up from a package: the record's fields, the order of the
// random draws (start frames, first waits, phases, positions), delay modes,
// clamped counts and refused sets.
#include <gtest/gtest.h>

#include "tests/support/motion_support.h"
#include "scene/package.h"
#include "world/layer_setup.h"

using namespace sprites_test;
namespace pack = sg::pack;

namespace {

constexpr int W = 320;
constexpr int H = 240;

class LayerSetupTest : public sprites_test::WorldTest {
protected:
    void SetUp() override { fresh_world(W, H); }
    void TearDown() override { sg::animset_release_all(world.frameSets); }

    // A package whose layer `k` has a 3-frame 12 x 8 set and these settings.
    void install(int k, const pack::LayerSettings& settings) {
        pack::Package p = sg::test::ready_package(0, k);
        pack::Layer& layer = p.layers.at(std::size_t(k));
        layer.set = sg::test::animset(3, 12, 8, 2, 2);
        layer.settings = settings;
        layer.settings.enabled = 1;
        install(p);
    }
    void install(const pack::Package& p) {
        bytes = sg::test::build(p);
        pf::headless::set_package(bytes.data(), bytes.size());
        ASSERT_EQ(sg::package_copy_out(package, nullptr), 1);
        world.random = sg::Random{};
    }
    std::vector<std::uint8_t> bytes;
    sg::Package package;
};

TEST_F(LayerSetupTest, FillsTheRecordAndDrawsInOrder) {
    pack::LayerSettings s;
    s.instanceCount = 4;
    s.reentryCycles = 11;
    s.startX = 7;
    s.startY = -9;
    s.maxWait = 5;
    s.directionCode = 2;
    s.entryEdge = 6;
    s.placement = 1;
    s.startCorner = 1;
    s.keepInside = 0;
    s.speedClass = 3;
    s.swayAxis = 0;
    s.swayRow = 3;
    s.randomStart = 9;  // any non-zero value
    s.delayMode = 2;
    s.loops = 0;
    install(2, s);
    sg::layer_setup(world, package, 2);

    const sg::LayerRecord& r = world.layerTable[2];
    EXPECT_EQ(r.active, 1);
    EXPECT_EQ(r.instanceCount, 4);
    EXPECT_EQ(r.direction, sg::Direction::UpRight);
    EXPECT_EQ(r.swayAxis, sg::SwayAxis::Vertical);
    EXPECT_EQ(r.speedClass, 3);
    EXPECT_EQ(r.entryEdge, sg::EntryEdge::LeftOrBottom);
    EXPECT_EQ(r.swayRow, 3);
    EXPECT_EQ(r.placement, sg::Placement::Random);
    EXPECT_EQ(r.startCorner, sg::StartCorner::TopRight);
    EXPECT_EQ(r.keepInside, 0);
    EXPECT_EQ(r.startX, 7);
    EXPECT_EQ(r.startY, -9);
    EXPECT_EQ(r.cycleReentry, 1);
    EXPECT_EQ(r.reentryCycles, 11);
    EXPECT_EQ(r.maxWait, 5);
    EXPECT_EQ(r.waitAfterCycle, 0);
    EXPECT_EQ(r.waitAfterExit, 1);

    const sg::SpriteSlot& s0 = world.slotTable[2][0];
    EXPECT_EQ(s0.inUse, 1);
    EXPECT_EQ(world.frameSets[2].frameCount, 3);
    EXPECT_EQ(world.frameSets[2].maskMode, 2);
    EXPECT_EQ(world.frameSets[2].loops, 0);

    Reference ref;
    for (int k = 1; k < 4; ++k) EXPECT_EQ(world.slotTable[2][k].currentFrame, ref.range(0, 2));
    for (int k = 0; k < 4; ++k) EXPECT_EQ(r.exitWaits[k], ref.range(0, 5));
    for (int k = 0; k < 4; ++k) EXPECT_EQ(r.swayPhase[k], ref.range(0, 100));
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(r.x[k], ref.range(-12, W));
        EXPECT_EQ(r.y[k], ref.range(-8, H));
    }
    EXPECT_EQ(draws_so_far(world), 3 + 4 + 4 + 8);
    for (int k = 0; k < sg::MAX_LAYERS; ++k)
        if (k != 2) {
            EXPECT_EQ(world.layerTable[k].active, 0);
        }
}

TEST_F(LayerSetupTest, DelayModeChoosesAtMostOneMode) {
    // mode, waitAfterCycle, waitAfterExit, first-wait draws for 3 instances
    const int cases[6][4] = {{0, 1, 0, 0}, {1, 0, 0, 0}, {2, 0, 1, 3},
                             {3, 0, 0, 0},  {-1, 0, 0, 0}, {99, 0, 0, 0}};
    for (const auto& c : cases) {
        fresh_world(W, H);
        pack::LayerSettings s;
        s.instanceCount = 3;
        s.randomStart = 0;
        s.maxWait = 5;
        s.delayMode = c[0];
        install(0, s);
        sg::layer_setup(world, package, 0);
        EXPECT_EQ(world.layerTable[0].waitAfterCycle, c[1]) << "mode " << c[0];
        EXPECT_EQ(world.layerTable[0].waitAfterExit, c[2]) << "mode " << c[0];
        // All instances start at frame 0 of 3: the cycle mode draws nothing yet.
        EXPECT_EQ(draws_so_far(world), c[3] + 3 + 6) << "mode " << c[0];
        sg::animset_release_all(world.frameSets);
    }
}

TEST_F(LayerSetupTest, NoInstancesStillLoadsTheSet) {
    pack::LayerSettings s;
    s.instanceCount = 0;
    s.delayMode = 2;
    install(1, s);
    sg::layer_setup(world, package, 1);
    EXPECT_EQ(world.layerTable[1].active, 1);
    EXPECT_EQ(world.layerTable[1].instanceCount, 0);
    EXPECT_EQ(world.slotTable[1][0].inUse, 1);
    EXPECT_EQ(world.slotTable[1][1].inUse, 0);
    EXPECT_EQ(draws_so_far(world), 0);
}

TEST_F(LayerSetupTest, InstanceCountAboveFiftyIsClampedForSlotsAndRecord) {
    pack::LayerSettings s;
    s.instanceCount = 80;
    s.randomStart = 0;
    s.delayMode = 2;
    install(0, s);
    sg::layer_setup(world, package, 0);
    EXPECT_EQ(world.layerTable[0].instanceCount, 50);
    EXPECT_EQ(world.slotTable[0][49].inUse, 1);
    EXPECT_EQ(world.slotTable[1][0].inUse, 0);
    EXPECT_EQ(world.layerTable[1].active, 0);
    // 50 first waits, 50 phases, 50 positions.
    EXPECT_EQ(draws_so_far(world), 50 + 50 + 100);
    for (int t = 0; t < 3; ++t) tick(world);
}

TEST_F(LayerSetupTest, OutOfTableSettingsAreClamped) {
    pack::LayerSettings s;
    s.instanceCount = 2;
    s.speedClass = 40;
    s.swayRow = -3;
    s.maxWait = -8;
    s.delayMode = 2;
    s.directionCode = 9;
    install(0, s);
    sg::layer_setup(world, package, 0);
    const sg::LayerRecord& r = world.layerTable[0];
    EXPECT_EQ(r.speedClass, 4);
    EXPECT_EQ(r.swayRow, 0);
    EXPECT_EQ(r.maxWait, 0);
    EXPECT_EQ(r.direction, sg::Direction::UpLeft) << "an unknown code keeps the cleared direction";
    EXPECT_EQ(r.exitWaits[0] + r.exitWaits[1], 0);
    for (int t = 0; t < 50; ++t) tick(world);
}

// A refused set does not stop the set-up: the layer is active and placed, its
// slots are empty (sizes 0), and nothing is shown.
TEST_F(LayerSetupTest, RefusedSetsLeaveEmptySlots) {
    auto refusedBy = [&](const char* what, auto&& spoil) {
        fresh_world(W, H);
        pack::Package p = sg::test::ready_package(0, 3);
        pack::Layer& layer = p.layers[3];
        layer.settings.instanceCount = 2;
        layer.settings.randomStart = 1;
        layer.settings.delayMode = 1;
        spoil(layer);
        install(p);
        sg::layer_setup(world, package, 3);
        EXPECT_EQ(world.layerTable[3].active, 1) << what;
        EXPECT_EQ(world.slotTable[3][0].inUse, 0) << what;
        Reference ref;
        ref.skip(2);  // phases only: a refused set draws no start frames
        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(world.layerTable[3].x[k], ref.range(0, W)) << what;
            EXPECT_EQ(world.layerTable[3].y[k], ref.range(0, H)) << what;
        }
        EXPECT_TRUE(pf::headless::message_boxes().empty()) << what;
        for (int t = 0; t < 5; ++t) tick(world);
    };
    refusedBy("magic", [](pack::Layer& l) { l.set->magic = "AP10"; });
    refusedBy("version", [](pack::Layer& l) { l.set->version = 3; });
    refusedBy("frame count", [](pack::Layer& l) { l.set->frameCountOverride = 25; });
    refusedBy("size past the package", [](pack::Layer& l) {
        l.keepSetFields = true;
        l.settings.setOffset = 76;
        l.settings.setSize = 0x7FFFFF00;
    });
    refusedBy("offset past the package", [](pack::Layer& l) {
        l.keepSetFields = true;
        l.settings.setOffset = 0x7FFFFFF0;
        l.settings.setSize = 300;
    });
    refusedBy("negative offset", [](pack::Layer& l) {
        l.keepSetFields = true;
        l.settings.setOffset = -100000;
        l.settings.setSize = 300;
    });
}

TEST_F(LayerSetupTest, OnlyPackageLayersCanBeSetUp) {
    pack::LayerSettings s;
    s.instanceCount = 2;
    install(0, s);
    sg::layer_setup(world, package, 10);
    sg::layer_setup(world, package, -1);
    for (const auto& r : world.layerTable) EXPECT_EQ(r.active, 0);
    EXPECT_EQ(draws_so_far(world), 0);
}

}  // namespace
