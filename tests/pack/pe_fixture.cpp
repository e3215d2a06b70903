// A small Windows program for the bind tests: writes its KAVREN/103 resource,
// found as the saver finds it, to the file named on its command line, and
// prints its size and whether the other resources survived. With a second
// argument "icons" it also loads icon 101 at 16 and 32 pixels, as the shell
// does, and prints the sizes it got.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

int main(int argc, char** argv) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(103), "KAVREN");
    if (!found) {
        std::puts("no package");
        return 3;
    }
    DWORD size = SizeofResource(nullptr, found);
    const unsigned char* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found)));
    if (argc > 1) {
        std::FILE* out = std::fopen(argv[1], "wb");
        if (!out || std::fwrite(bytes, 1, size, out) != size || std::fclose(out) != 0) {
            std::puts("cannot write");
            return 4;
        }
    }
    HRSRC extra = FindResourceA(nullptr, "EXTRA", MAKEINTRESOURCEA(10));  // RT_RCDATA
    char text[64] = {};
    LoadStringA(GetModuleHandleA(nullptr), 7, text, sizeof text);
    std::printf("%lu %s %s\n", static_cast<unsigned long>(size), extra ? "extra" : "no-extra", text);
    if (argc > 2 && std::strcmp(argv[2], "icons") == 0) {
        std::printf("icons");
        for (int n : {16, 32}) {
            HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(101), IMAGE_ICON, n, n, 0));
            ICONINFO info{};
            BITMAP bm{};
            if (!icon || !GetIconInfo(icon, &info) || !GetObjectA(info.hbmColor, sizeof bm, &bm)) {
                std::printf(" none");
                continue;
            }
            std::printf(" %ldx%ld", static_cast<long>(bm.bmWidth), static_cast<long>(bm.bmHeight));
        }
        std::printf("\n");
    }
    return 0;
}
