// The scene package: find the resource and copy its fixed blocks out.
//
// The package is untrusted input. Every fixed-size block is checked against
// packageSize before it is copied, so a short or malformed package is refused
// as a whole (like a missing one) instead of being read past its end.
#include "package/package.h"

#include <cstring>

namespace sg {

const char* const PACKAGE_RESOURCE_TYPE = "KAVREN";

const std::uint8_t* packageBase = nullptr;
std::uint32_t packageSize = 0;
PackageDirectory packageDirectory;
SceneHeader sceneHeader;
LayerBlock layerBlocks[10];
InfoBlock infoBlock;
std::uint8_t optionalBlock1[OPTIONAL_BLOCK1_SIZE];
std::uint8_t optionalBlock2[OPTIONAL_BLOCK2_SIZE];

namespace {

constexpr int INFO_ENTRY = 11;
constexpr int OPTIONAL1_ENTRY = 12;
constexpr int OPTIONAL2_ENTRY = 13;

// Copies `length` bytes at directory entry `entry` into `target`, or refuses.
bool copy_entry(int entry, void* target, std::size_t length) {
    const std::int64_t offset = packageDirectory.entries[entry].offset;
    if (!package_range_ok(offset, static_cast<std::int64_t>(length))) return false;
    std::memcpy(target, packageBase + offset, length);
    return true;
}

int refuse() {
    // The blocks are unusable; make sure nothing later reads through them.
    packageBase = nullptr;
    packageSize = 0;
    pf::MessageBoxA(nullptr, "err", "hres", pf::MB_OK);
    return 0;
}

}  // namespace

bool package_range_ok(std::int64_t offset, std::int64_t length) {
    if (packageBase == nullptr) return false;
    const std::int64_t size = packageSize;
    return offset >= 0 && length >= 0 && offset <= size && length <= size - offset;
}

const std::uint8_t* package_scene_bytes(std::int64_t sceneOffset, std::int64_t length,
                                        int* available) {
    *available = 0;
    if (packageBase == nullptr) return nullptr;
    const std::int64_t start = std::int64_t{packageDirectory.entries[0].offset} + sceneOffset;
    if (length <= 0 || !package_range_ok(start, 0)) return packageBase;
    const std::int64_t left = std::int64_t{packageSize} - start;
    const std::int64_t take = length < left ? length : left;
    if (take <= 0) return packageBase;
    *available = static_cast<int>(take);
    return packageBase + start;
}

const std::uint8_t* package_open(pf::HINSTANCE instance) {
    packageSize = 0;
    pf::HRSRC resource = pf::FindResourceA(instance, pf::MAKEINTRESOURCEA(PACKAGE_RESOURCE_ID),
                                           PACKAGE_RESOURCE_TYPE);
    if (resource == nullptr) return nullptr;
    pf::HGLOBAL loaded = pf::LoadResource(instance, resource);
    if (loaded == nullptr) return nullptr;
    const void* bytes = pf::LockResource(loaded);
    if (bytes == nullptr) return nullptr;
    packageSize = pf::SizeofResource(instance, resource);
    return static_cast<const std::uint8_t*>(bytes);
}

void package_blocks_clear() {
    std::memset(&packageDirectory, 0, sizeof packageDirectory);
    std::memset(&sceneHeader, 0, sizeof sceneHeader);
    std::memset(layerBlocks, 0, sizeof layerBlocks);
    std::memset(&infoBlock, 0, sizeof infoBlock);
    std::memset(optionalBlock1, 0, sizeof optionalBlock1);
    std::memset(optionalBlock2, 0, sizeof optionalBlock2);
}

void package_globals_reset() {
    packageBase = nullptr;
    packageSize = 0;
    package_blocks_clear();
}

int package_copy_out(pf::HINSTANCE instance) {
    package_blocks_clear();

    packageBase = package_open(instance);
    if (packageBase == nullptr) return refuse();

    if (!package_range_ok(0, sizeof packageDirectory)) return refuse();
    std::memcpy(&packageDirectory, packageBase, sizeof packageDirectory);

    if (!copy_entry(0, &sceneHeader, sizeof sceneHeader)) return refuse();
    // The title names the guard and the window class: it must end inside its field.
    if (std::memchr(sceneHeader.title, 0, sizeof sceneHeader.title) == nullptr) return refuse();

    for (int k = 0; k < PACKAGE_LAYERS; ++k) {
        if (!copy_entry(1 + k, &layerBlocks[k], sizeof(LayerBlock))) return refuse();
    }

    if (!copy_entry(INFO_ENTRY, &infoBlock, sizeof infoBlock)) return refuse();
    // The lines go to SetWindowTextA and "%s": keep each one inside its field.
    for (auto& line : infoBlock.lines) line[sizeof line - 1] = 0;

    if (sceneHeader.soundEnabled != 0 &&
        !copy_entry(OPTIONAL1_ENTRY, optionalBlock1, sizeof optionalBlock1)) {
        return refuse();
    }
    if (sceneHeader.optionalBlock2Present != 0 &&
        !copy_entry(OPTIONAL2_ENTRY, optionalBlock2, sizeof optionalBlock2)) {
        return refuse();
    }
    return 1;
}

}  // namespace sg
