// Golden frames: a hash of every frame (and the generator's state after every
// tick) of the default scene, the aquarium example and the fixture scenes, as
// recorded in frames.txt. Any change that moves one pixel or one random draw
// shows here, with the first tick where it differs.
//
// SNOWGLOBE_GOLDEN_WRITE=path writes the table anew instead of checking it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "shell/shell.h"
#include "tests/support/fixtures.h"
#include "tools/render/render.h"

namespace {

struct TickRecord {
    std::uint64_t frameHash;
    std::uint32_t randomState;
};

// FNV-1a over the visible bytes of every row (not the row padding).
std::uint64_t frame_hash(const pf::soft::Framebuffer& pixels) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    const std::size_t rowBytes = static_cast<std::size_t>(pixels.width) * 3;
    for (int y = 0; y < pixels.height; ++y) {
        const std::uint8_t* row = &pixels.pixels[static_cast<std::size_t>(y) * pixels.stride];
        for (std::size_t i = 0; i < rowBytes; ++i) {
            h ^= row[i];
            h *= 0x100000001b3ull;
        }
    }
    return h;
}

std::vector<std::uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct GoldenCase {
    std::string name;
    std::vector<std::uint8_t> package;
    int width;
    int height;
};

std::vector<GoldenCase> cases() {
    std::vector<GoldenCase> all;
    const auto defaultScene = read_file(SG_DEFAULT_PACKAGE_PATH);
    const auto aquarium = read_file(SG_AQUARIUM_PACKAGE_PATH);
    all.push_back({"default-640x480", defaultScene, 640, 480});
    all.push_back({"default-1920x1080", defaultScene, 1920, 1080});
    all.push_back({"aquarium-640x480", aquarium, 640, 480});
    all.push_back({"aquarium-1920x1080", aquarium, 1920, 1080});
    for (int mode = 0; mode <= 4; ++mode) {
        all.push_back({"fixture-background" + std::to_string(mode),
                       sg::test::build(sg::test::ready_package(mode, mode * 2)), 640, 480});
    }
    return all;
}

constexpr int TICKS = 300;

std::vector<TickRecord> record(const GoldenCase& c) {
    std::vector<TickRecord> ticks;
    sg::render::Options options;
    options.width = c.width;
    options.height = c.height;
    options.ticks = TICKS;
    std::uint32_t randomState = 0;
    options.inspect = [&](int, const sg::SaverState& saver) {
        randomState = saver.world.random.state;
    };
    sg::render::run(c.package, options, [&](int, const pf::soft::Framebuffer& pixels) {
        ticks.push_back({frame_hash(pixels), randomState});
    });
    return ticks;
}

std::map<std::string, std::vector<TickRecord>> read_table(const std::string& path) {
    std::map<std::string, std::vector<TickRecord>> table;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name;
        int tick = 0;
        TickRecord r{};
        if (fields >> name >> tick >> std::hex >> r.frameHash >> r.randomState) {
            table[name].push_back(r);
        }
    }
    return table;
}

TEST(GoldenFrames, EveryFrameAndDrawAsRecorded) {
    const char* writeTo = std::getenv("SNOWGLOBE_GOLDEN_WRITE");
    if (writeTo != nullptr) {
        std::ofstream out(writeTo);
        for (const GoldenCase& c : cases()) {
            const auto ticks = record(c);
            for (std::size_t t = 0; t < ticks.size(); ++t) {
                out << c.name << ' ' << (t + 1) << ' ' << std::hex << ticks[t].frameHash << ' '
                    << ticks[t].randomState << std::dec << '\n';
            }
        }
        GTEST_SKIP() << "wrote " << writeTo;
    }

    const auto table = read_table(SG_GOLDEN_TABLE_PATH);
    ASSERT_FALSE(table.empty()) << "no golden table at " << SG_GOLDEN_TABLE_PATH;
    for (const GoldenCase& c : cases()) {
        SCOPED_TRACE(c.name);
        const auto it = table.find(c.name);
        ASSERT_NE(it, table.end());
        const auto ticks = record(c);
        ASSERT_EQ(ticks.size(), it->second.size());
        for (std::size_t t = 0; t < ticks.size(); ++t) {
            ASSERT_EQ(ticks[t].frameHash, it->second[t].frameHash) << "frame of tick " << t + 1;
            ASSERT_EQ(ticks[t].randomState, it->second[t].randomState)
                << "random draws by tick " << t + 1;
        }
    }
}

}  // namespace
