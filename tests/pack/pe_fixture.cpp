// A small Windows program for the bind tests: prints the size and FNV-1a hash
// of its KAVREN/103 resource, found as the saver finds it, and whether its
// other resources survived.
#include <windows.h>

#include <cstdio>

int main() {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(103), "KAVREN");
    if (!found) {
        std::puts("no package");
        return 3;
    }
    DWORD size = SizeofResource(nullptr, found);
    const unsigned char* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found)));
    unsigned hash = 2166136261u;
    for (DWORD i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 16777619u;
    }
    HRSRC extra = FindResourceA(nullptr, "EXTRA", MAKEINTRESOURCEA(10));  // RT_RCDATA
    char text[64] = {};
    LoadStringA(GetModuleHandleA(nullptr), 7, text, sizeof text);
    std::printf("%lu %08x %s %s\n", static_cast<unsigned long>(size), hash, extra ? "extra" : "no-extra", text);
    return 0;
}
