// The scene package: find the resource and copy its fixed blocks out.
//
// The package is untrusted input. Every fixed-size block is checked against
// the package's size before it is copied, so a short or malformed package is
// refused as a whole (like a missing one) instead of being read past its end.
#include "scene/package.h"

#include <cstring>

namespace sg {

namespace {

// Copies `length` bytes at directory entry `entry` into `target`, or refuses.
bool copy_entry(const Package& p, int entry, void* target, std::size_t length) {
    const std::int64_t offset = p.packageDirectory.entries[entry].offset;
    if (!package_range_ok(p, offset, static_cast<std::int64_t>(length))) return false;
    std::memcpy(target, p.packageBase + offset, length);
    return true;
}

// The text record at directory entry 12, read from the package itself: a
// scene without a sound has it there although the block is not copied out.
std::uint32_t text_code_page(const Package& p) {
    const std::int64_t offset = p.packageDirectory.entries[format::OPTIONAL1_ENTRY].offset;
    if (!package_range_ok(p, offset, format::textrecord::SIZE))
        return format::textrecord::DEFAULT_CODE_PAGE;
    return format::text_record_code_page(p.packageBase + offset, format::textrecord::SIZE);
}

format::MonitorMode monitor_mode(const Package& p) {
    namespace mr = format::monitorsrecord;
    const std::int64_t offset = p.packageDirectory.entries[format::OPTIONAL1_ENTRY].offset;
    if (!package_range_ok(p, offset, mr::BLOCK_OFFSET + mr::SIZE)) return mr::DEFAULT_MODE;
    return format::monitors_record_mode(p.packageBase + offset, mr::BLOCK_OFFSET + mr::SIZE);
}

bool refuse(Package& p) {
    // The blocks are unusable; make sure nothing later reads through them.
    p.packageBase = nullptr;
    p.packageSize = 0;
    return false;
}

}  // namespace

bool package_range_ok(const Package& p, std::int64_t offset, std::int64_t length) {
    if (p.packageBase == nullptr) return false;
    const std::int64_t size = p.packageSize;
    return offset >= 0 && length >= 0 && offset <= size && length <= size - offset;
}

const std::uint8_t* package_scene_bytes(const Package& p, std::int64_t sceneOffset,
                                        std::int64_t length, int* available) {
    *available = 0;
    if (p.packageBase == nullptr) return nullptr;
    const std::int64_t start =
        std::int64_t{p.packageDirectory.entries[format::SCENE_ENTRY].offset} + sceneOffset;
    if (length <= 0 || !package_range_ok(p, start, 0)) return p.packageBase;
    const std::int64_t left = std::int64_t{p.packageSize} - start;
    const std::int64_t take = length < left ? length : left;
    if (take <= 0) return p.packageBase;
    *available = static_cast<int>(take);
    return p.packageBase + start;
}

const std::uint8_t* package_open(Package& p, pf::HINSTANCE instance) {
    p.packageSize = 0;
    pf::HRSRC resource =
        pf::FindResourceA(instance, pf::MAKEINTRESOURCEA(format::PACKAGE_RESOURCE_ID),
                          format::PACKAGE_RESOURCE_TYPE);
    if (resource == nullptr) return nullptr;
    pf::HGLOBAL loaded = pf::LoadResource(instance, resource);
    if (loaded == nullptr) return nullptr;
    const void* bytes = pf::LockResource(loaded);
    if (bytes == nullptr) return nullptr;
    p.packageSize = pf::SizeofResource(instance, resource);
    return static_cast<const std::uint8_t*>(bytes);
}

bool package_copy_out(Package& p, pf::HINSTANCE instance) {
    p = Package{};

    p.packageBase = package_open(p, instance);
    if (p.packageBase == nullptr) return refuse(p);

    if (!package_range_ok(p, 0, sizeof p.packageDirectory)) return refuse(p);
    std::memcpy(&p.packageDirectory, p.packageBase, sizeof p.packageDirectory);

    if (!copy_entry(p, format::SCENE_ENTRY, &p.sceneHeader, sizeof p.sceneHeader)) return refuse(p);
    // The title names the guard and the window class: it must end inside its field.
    if (std::memchr(p.sceneHeader.title, 0, sizeof p.sceneHeader.title) == nullptr)
        return refuse(p);

    for (int k = 0; k < PACKAGE_LAYERS; ++k) {
        if (!copy_entry(p, format::FIRST_LAYER_ENTRY + k, &p.layerBlocks[k], sizeof(LayerBlock)))
            return refuse(p);
    }

    if (!copy_entry(p, format::INFO_ENTRY, &p.infoBlock, sizeof p.infoBlock)) return refuse(p);
    // The lines go to SetWindowTextA and "%s": keep each one inside its field.
    for (auto& line : p.infoBlock.lines) line[sizeof line - 1] = 0;

    if (p.sceneHeader.soundEnabled != 0 &&
        !copy_entry(p, format::OPTIONAL1_ENTRY, p.optionalBlock1, sizeof p.optionalBlock1)) {
        return refuse(p);
    }
    if (p.sceneHeader.optionalBlock2Present != 0 &&
        !copy_entry(p, format::OPTIONAL2_ENTRY, p.optionalBlock2, sizeof p.optionalBlock2)) {
        return refuse(p);
    }
    p.textCodePage = text_code_page(p);
    p.monitorMode = monitor_mode(p);
    return true;
}

}  // namespace sg
