// KERNEL in memory: the package resource, movable global memory, the last
// error, and the C runtime's generator.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>

#include "format/exe_package.h"
#include "platform/headless/state.h"

namespace pf::headless::detail {

namespace {

constexpr std::uintptr_t PACKAGE_RESOURCE_ID = 103;
constexpr std::uintptr_t RESOURCE_HANDLE = 0x5103;
constexpr std::uintptr_t LOADED_RESOURCE_HANDLE = 0x5104;
// Movable blocks get small handles that no heap pointer can equal.
constexpr std::uintptr_t FIRST_BLOCK_HANDLE = 0x40004;
constexpr std::uintptr_t BLOCK_HANDLE_STEP = 8;

bool is_int_resource(const char* p) { return reinterpret_cast<std::uintptr_t>(p) < 0x10000; }

bool same_ascii_nocase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        if (x != y) return false;
        if (!x) return true;
    }
}

// The package appended to the running executable, read once and kept for the
// life of the process: the sound plays straight from it.
std::span<const std::uint8_t> executable_package() {
    Lasting& l = state().lasting;
    if (!l.executablePackageRead) {
        l.executablePackage = sg::format::exe_package::load_for_process("/proc/self/exe");
        l.executablePackageRead = true;
    }
    return l.executablePackage;
}

bool package_bytes(const void** data, std::size_t* size) {
    State& s = state();
    if (s.packageMode == 1) {
        *data = s.packageData;
        *size = s.packageSize;
    } else {
        const std::span<const std::uint8_t> v = executable_package();
        *data = v.data();
        *size = v.size();
    }
    return *data && *size;
}

GlobalBlock* find_block(std::uintptr_t handle) {
    for (auto& b : state().blocks)
        if (b.handle == handle) return &b;
    return nullptr;
}

}  // namespace

void release_blocks() {
    State& s = state();
    for (auto& b : s.blocks) std::free(b.memory);
    s.blocks.clear();
}

}  // namespace pf::headless::detail

namespace pf {

using namespace headless::detail;

HRSRC FindResourceA(HINSTANCE, const char* name, const char* type) {
    if (!type || is_int_resource(type) || !same_ascii_nocase(type, "KAVREN")) {
        set_last_error(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    bool named103 = is_int_resource(name) ? reinterpret_cast<std::uintptr_t>(name) == PACKAGE_RESOURCE_ID
                                          : std::strcmp(name, "#103") == 0;
    const void* data;
    std::size_t size;
    if (!named103 || !package_bytes(&data, &size)) {
        set_last_error(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(RESOURCE_HANDLE);
}

HGLOBAL LoadResource(HINSTANCE, HRSRC resource) {
    const void* data;
    std::size_t size;
    if (reinterpret_cast<std::uintptr_t>(resource) != RESOURCE_HANDLE || !package_bytes(&data, &size)) {
        set_last_error(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HGLOBAL>(LOADED_RESOURCE_HANDLE);
}

void* LockResource(HGLOBAL loaded) {
    const void* data;
    std::size_t size;
    if (reinterpret_cast<std::uintptr_t>(loaded) != LOADED_RESOURCE_HANDLE || !package_bytes(&data, &size))
        return nullptr;
    // Resources are read-only; the pointer type is the API's.
    return const_cast<void*>(data);
}

DWORD SizeofResource(HINSTANCE, HRSRC resource) {
    const void* data;
    std::size_t size;
    if (reinterpret_cast<std::uintptr_t>(resource) != RESOURCE_HANDLE || !package_bytes(&data, &size)) {
        set_last_error(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    return static_cast<DWORD>(std::min<std::size_t>(size, 0xFFFFFFFFu));
}

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) {
    State& s = state();
    // calloc zero-fills, so GMEM_ZEROINIT costs nothing extra.
    void* memory = bytes <= 0x7FFFFFFF ? std::calloc(bytes ? bytes : 1, 1) : nullptr;
    if (!memory) {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    GlobalBlock b;
    b.memory = memory;
    b.bytes = bytes;
    b.moveable = flags & GMEM_MOVEABLE;
    // A fixed block's handle is its address, as on Windows.
    b.handle = b.moveable ? FIRST_BLOCK_HANDLE + BLOCK_HANDLE_STEP * s.nextBlockHandle++
                          : reinterpret_cast<std::uintptr_t>(memory);
    s.blocks.push_back(b);
    return reinterpret_cast<HGLOBAL>(b.handle);
}

void* GlobalLock(HGLOBAL block) {
    GlobalBlock* b = find_block(reinterpret_cast<std::uintptr_t>(block));
    if (!b) {
        set_last_error(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (b->moveable) ++b->locks;
    return b->memory;
}

HGLOBAL GlobalHandle(const void* pointer) {
    if (pointer) {
        for (const auto& b : state().blocks)
            if (b.memory == pointer) return reinterpret_cast<HGLOBAL>(b.handle);
    }
    set_last_error(ERROR_INVALID_HANDLE);
    return nullptr;
}

BOOL GlobalUnlock(HGLOBAL block) {
    GlobalBlock* b = find_block(reinterpret_cast<std::uintptr_t>(block));
    if (!b) {
        set_last_error(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!b->moveable) return 1;
    if (b->locks == 0) {
        set_last_error(ERROR_NOT_LOCKED);
        return 0;
    }
    --b->locks;
    if (b->locks > 0) return 1;
    set_last_error(0);
    return 0;
}

HGLOBAL GlobalFree(HGLOBAL block) {
    State& s = state();
    if (!block) return nullptr;
    auto it = std::find_if(s.blocks.begin(), s.blocks.end(),
                           [&](const GlobalBlock& b) { return b.handle == reinterpret_cast<std::uintptr_t>(block); });
    if (it == s.blocks.end()) {
        set_last_error(ERROR_INVALID_HANDLE);
        return block;
    }
    std::free(it->memory);
    s.blocks.erase(it);
    return nullptr;
}

DWORD GetLastError() { return state().lastError; }

int rand() {
    std::uint32_t& r = state().randState;
    r = r * 214013u + 2531011u;
    return static_cast<int>((r >> 16) & 0x7FFF);
}

void diagnostics::rand_reset() { state().randState = 1; }

}  // namespace pf
