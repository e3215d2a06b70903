// make_hostile_scene DIR: a scene folder that asks build for the most memory
// a manifest can: one 8192 x 8192 PNG of many colours (a few MB, written row
// by row) named by every frame of ten layers (layers.toml), and as a
// background made 8-bit (bits8.toml), which reduces its colours.
#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool write_text(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

bool write_png(const std::string& path, int side) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(side), static_cast<png_uint_32>(side), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<std::size_t>(side) * 3);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            row[3 * static_cast<std::size_t>(x)] = static_cast<png_byte>(x);
            row[3 * static_cast<std::size_t>(x) + 1] = static_cast<png_byte>(y);
            row[3 * static_cast<std::size_t>(x) + 2] = static_cast<png_byte>((x >> 8) + 32 * (y >> 8));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_hostile_scene DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    if (!write_png(dir + "/big.png", 8192)) return 1;
    std::string layers = "title = \"all layers\"\n";
    for (int k = 0; k < 10; ++k) {
        layers += "[[layer]]\nframes = [";
        for (int i = 0; i < 20; ++i) layers += std::string(i ? ", " : "") + "\"big.png\"";
        layers += "]\n";
    }
    const std::string bits8 = "title = \"eight bits\"\nbackground = \"picture\"\npicture = { file = \"big.png\", bits = 8 }\n";
    return write_text(dir + "/layers.toml", layers) && write_text(dir + "/bits8.toml", bits8) ? 0 : 1;
}
