// Makes a saver for another scene: copies a built snowglobe.scr and replaces
// its scene package resource ("KAVREN", 103, Japanese) with a package file,
// through the system's resource update calls. Runs under wine in the tests.
//
//   bindres ENGINE.scr PACKAGE OUT.scr
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr WORD JAPANESE = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);  // 1041

std::wstring widen(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

int fail(const char* what, const char* path) {
    std::fprintf(stderr, "bindres: %s: %s (error %lu)\n", what, path, GetLastError());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bindres ENGINE.scr PACKAGE OUT.scr\n");
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) return fail("cannot read the package", argv[2]);
    std::vector<char> package{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (package.size() < 112) return fail("too small to be a scene package", argv[2]);

    const std::wstring out = widen(argv[3]);
    if (!CopyFileW(widen(argv[1]).c_str(), out.c_str(), FALSE))
        return fail("cannot copy the engine", argv[1]);

    HANDLE update = BeginUpdateResourceW(out.c_str(), FALSE);
    if (!update) return fail("cannot open for resource update", argv[3]);
    if (!UpdateResourceW(update, L"KAVREN", MAKEINTRESOURCEW(103), JAPANESE, package.data(),
                         static_cast<DWORD>(package.size()))) {
        EndUpdateResourceW(update, TRUE);
        DeleteFileW(out.c_str());
        return fail("cannot replace the package resource", argv[3]);
    }
    if (!EndUpdateResourceW(update, FALSE)) {
        DeleteFileW(out.c_str());
        return fail("cannot write", argv[3]);
    }
    return 0;
}
