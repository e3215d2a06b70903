// JPEG pictures, decoded with libjpeg-turbo.
#include "tools/core/decoders.h"

#include <csetjmp>
#include <cstdio>  // before jpeglib.h, which uses FILE

#include <jpeglib.h>
#include <jerror.h>

namespace sg::packtool {

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jpeg_fail(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, error->message);
    std::longjmp(error->jump, 1);
}

// Warnings pass, but a file cut short would otherwise read as grey rows.
void jpeg_warning(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) jpeg_fail(info);
}

// The libjpeg calls that may longjmp, apart from C++ objects with destructors.
bool jpeg_read(jpeg_decompress_struct& info, JpegError& error, std::span<const std::uint8_t> bytes,
               std::vector<std::uint8_t>& pixels, bool& tooLarge, bool& adobe) {
    if (setjmp(error.jump)) return false;
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_save_markers(&info, JPEG_APP0 + 14, 0xffff);
    jpeg_read_header(&info, TRUE);
    if (info.image_width == 0 || info.image_height == 0 || info.image_width > MAX_PICTURE_SIDE ||
        info.image_height > MAX_PICTURE_SIDE) {
        tooLarge = true;
        return false;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    adobe = info.saw_Adobe_marker;
    jpeg_start_decompress(&info);
    const std::size_t stride = static_cast<std::size_t>(info.output_width) * info.output_components;
    pixels.resize(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

}  // namespace

RgbaImage jpeg_decode(std::span<const std::uint8_t> bytes, const std::string& what) {
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = jpeg_fail;
    error.mgr.emit_message = jpeg_warning;
    jpeg_create_decompress(&info);
    std::vector<std::uint8_t> pixels;
    bool tooLarge = false, adobe = false;
    const bool ok = jpeg_read(info, error, bytes, pixels, tooLarge, adobe);
    const int width = static_cast<int>(info.image_width), height = static_cast<int>(info.image_height);
    const int components = info.output_components;
    jpeg_destroy_decompress(&info);
    if (tooLarge)
        throw Failure(what + ": JPEG of " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels is outside 1.." + std::to_string(MAX_PICTURE_SIDE) + " on a side");
    if (!ok) throw Failure(what + ": damaged JPEG (" + error.message + ")");
    RgbaImage out;
    out.width = width;
    out.height = height;
    out.rgba.resize(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
        const std::uint8_t* p = &pixels[i * static_cast<std::size_t>(components)];
        std::uint8_t* q = &out.rgba[i * 4];
        if (components == 4) {
            // Adobe's CMYK is stored inverted: 255 means no ink.
            for (int ch = 0; ch < 3; ++ch) {
                const unsigned c = adobe ? p[ch] : 255u - p[ch], k = adobe ? p[3] : 255u - p[3];
                q[ch] = static_cast<std::uint8_t>((c * k + 127) / 255);
            }
        } else {
            q[0] = p[0], q[1] = p[1], q[2] = p[2];
        }
        q[3] = 255;
    }
    return out;
}

}  // namespace sg::packtool
