// The studio's zip reader, built natively: a small zip must not unpack into
// gigabytes, whether by one run of data under many names or by many runs.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/web/zip.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void le(Bytes& b, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

struct Entry {
    std::string name;
    std::uint32_t local;  // offset of the local header the record points at
};

// A zip of `locals` (name, size, crc, deflated bytes) and central records
// `records` that may point at any of them.
Bytes zip(const std::vector<std::pair<std::string, Bytes>>& locals, std::uint32_t size, std::uint32_t crc,
          const std::vector<Entry>& records) {
    Bytes out;
    for (const auto& [name, packed] : locals) {
        le(out, 0x04034b50, 4), le(out, 20, 2), le(out, 0, 2), le(out, 8, 2), le(out, 0, 4);
        le(out, crc, 4), le(out, static_cast<std::uint32_t>(packed.size()), 4), le(out, size, 4);
        le(out, static_cast<std::uint32_t>(name.size()), 2), le(out, 0, 2);
        out.insert(out.end(), name.begin(), name.end());
        out.insert(out.end(), packed.begin(), packed.end());
    }
    const std::uint32_t centralAt = static_cast<std::uint32_t>(out.size());
    const std::uint32_t packedSize = static_cast<std::uint32_t>(locals[0].second.size());
    for (const Entry& e : records) {
        le(out, 0x02014b50, 4), le(out, 20, 2), le(out, 20, 2), le(out, 0, 2), le(out, 8, 2), le(out, 0, 4);
        le(out, crc, 4), le(out, packedSize, 4), le(out, size, 4);
        le(out, static_cast<std::uint32_t>(e.name.size()), 2), le(out, 0, 2), le(out, 0, 2), le(out, 0, 2);
        le(out, 0, 2), le(out, 0, 4), le(out, e.local, 4);
        out.insert(out.end(), e.name.begin(), e.name.end());
    }
    const std::uint32_t centralSize = static_cast<std::uint32_t>(out.size()) - centralAt;
    le(out, 0x06054b50, 4), le(out, 0, 4);
    le(out, static_cast<std::uint32_t>(records.size()), 2), le(out, static_cast<std::uint32_t>(records.size()), 2);
    le(out, centralSize, 4), le(out, centralAt, 4), le(out, 0, 2);
    return out;
}

Bytes deflated(const Bytes& data) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, data.size()));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string unzip_error(const Bytes& bytes, const fs::path& dir) {
    const fs::path in = dir / "in.zip";
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    testing::internal::CaptureStderr();
    const int status = sg::web::unzip_to(in.string(), (dir / "out").string());
    const std::string said = testing::internal::GetCapturedStderr();
    return status == 0 ? "" : said;
}

}  // namespace

TEST(PackStudioZip, ManyNamesOrRunsAddingUpPastTheBudgetAreRefusedBeforeInflating) {
    const fs::path dir = fs::temp_directory_path() / ("web-zip-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const Bytes zeros(64u << 20, 0);
    const Bytes packed = deflated(zeros);
    const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, zeros.data(), static_cast<uInt>(zeros.size())));
    const std::uint32_t localBytes = 30 + 5 + static_cast<std::uint32_t>(packed.size());

    // One run of 64 MiB of zeros under two names: the same bytes twice.
    const std::string shared = unzip_error(zip({{"a.bmp", packed}}, 64u << 20, crc, {{"a.bmp", 0}, {"b.bmp", 0}}), dir);
    EXPECT_NE(shared.find("two entries share the same bytes"), std::string::npos) << shared;
    EXPECT_FALSE(fs::exists(dir / "out" / "a.bmp"));

    // Five runs of 64 MiB: 320 MiB together.
    std::vector<std::pair<std::string, Bytes>> five;
    std::vector<Entry> records;
    for (int i = 0; i < 5; ++i) {
        const std::string name = "f" + std::to_string(i) + ".bmp";
        five.emplace_back(name, packed);
        records.push_back({name, static_cast<std::uint32_t>(i) * localBytes});
    }
    const std::string many = unzip_error(zip(five, 64u << 20, crc, records), dir);
    EXPECT_NE(many.find("f4.bmp: the entries hold more than 288 MiB together"), std::string::npos) << many;
    EXPECT_FALSE(fs::exists(dir / "out" / "f0.bmp"));

    // One of them alone unpacks.
    five.resize(1);
    records.resize(1);
    EXPECT_EQ(unzip_error(zip(five, 64u << 20, crc, records), dir), "");
    EXPECT_EQ(fs::file_size(dir / "out" / "f0.bmp"), 64u << 20);
    fs::remove_all(dir);
}
