// snowglobe-pack's manifest reader over a folder of hostile files: the input
// is a scene.toml whose names resolve in a folder holding a FIFO, a device,
// links that lead out of the folder, loop or dangle, a directory, a sparse
// file of a gigabyte, and headers that declare pictures of 8192 x 8192 and
// 2147483647 x 2000000000 pixels, a WAV longer than its file, besides a
// picture that builds. Every one must be refused with a message (an
// exception the tool prints), without blocking and within the memory limit.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/core/images.h"
#include "tools/core/manifest.h"
#include "tools/packlib/packlib.h"

namespace fs = std::filesystem;

namespace {

void put(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

std::string le(std::uint32_t v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>(v >> (8 * i));
    return s;
}
std::string be(std::uint32_t v, int n) {
    std::string s;
    for (int i = n - 1; i >= 0; --i) s += static_cast<char>(v >> (8 * i));
    return s;
}

// The folder, made once per process and removed at its end.
struct Folder {
    fs::path root, scene;
    Folder() {
        char name[] = "/tmp/sg-fuzz-files-XXXXXX";
        if (!::mkdtemp(name)) std::abort();
        root = name;
        scene = root / "scene";
        fs::create_directories(scene / "dir.png");
        put(root / "secret.wav", "RIFF" + le(4, 4) + "WAVE");
        sg::pack::Image image;
        image.width = image.height = 4;
        image.bgr.assign(48, 0x40);
        const sg::packtool::Bytes png = sg::packtool::png_encode(image);
        put(scene / "ok.png", std::string(png.begin(), png.end()));
        put(scene / "ok.wav", "RIFF" + le(36, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(22050, 4) +
                                  le(44100, 4) + le(2, 2) + le(16, 2) + "data" + le(0, 4));
        put(scene / "long.wav", "RIFF" + le(0xfffffff0u, 4) + "WAVEfmt " + le(16, 4));
        std::string pngHead(png.begin(), png.begin() + 33);
        pngHead.replace(16, 8, be(8192, 4) + be(8192, 4));
        put(scene / "big.png", pngHead + std::string(png.begin() + 33, png.end()));
        std::string bmp = "BM" + le(54, 4) + le(0, 4) + le(54, 4) + le(40, 4) + le(2147483647u, 4) +
                          le(2000000000u, 4) + le(1, 2) + le(24, 2) + std::string(24, '\0');
        put(scene / "wide.bmp", bmp);
        put(scene / "wide.gif", "GIF89a" + le(65535, 2) + le(65535, 2) + std::string(3, '\0') + ",");
        put(scene / "wide.jpg", std::string("\xff\xd8\xff\xc0", 4) + be(17, 2) + std::string(1, 8) + be(65500, 2) +
                                    be(65500, 2) + std::string(1, 3) + std::string(9, '\1'));
        const int fd = ::open((scene / "huge.png").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || ::ftruncate(fd, off_t{1} << 30) != 0) std::abort();
        ::close(fd);
        ::mkfifo((scene / "pipe.png").c_str(), 0600);
        ::mknod((scene / "null.png").c_str(), S_IFCHR | 0600, makedev(1, 3));  // only as root
        fs::create_symlink("/dev/zero", scene / "zero.png");
        fs::create_symlink("../secret.wav", scene / "out.wav");
        fs::create_symlink("ok.png", scene / "alias.png");
        fs::create_symlink("loop-b.png", scene / "loop-a.png");
        fs::create_symlink("loop-a.png", scene / "loop-b.png");
        fs::create_symlink("gone.png", scene / "dangling.png");
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Folder folder;
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const sg::packtool::Built built = sg::packtool::build_manifest_text(text, "scene.toml", folder.scene);
        const sg::pack::Bytes bytes = sg::pack::package_bytes(built.package);
        (void)sg::pack::package_parse(bytes.data(), bytes.size());
    } catch (const std::exception&) {
    }
    return 0;
}
