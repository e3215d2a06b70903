#include "tools/core/temp_dir.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <sys/syscall.h>
#endif

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "tools/core/output.h"
#include "tools/core/util.h"

namespace sg::packtool {

namespace fs = std::filesystem;

namespace {

// Read by the handlers: fixed buffers, each published by its flag after the
// path is complete.
constexpr int DIR_SLOTS = 8;
char dirPaths[DIR_SLOTS][PATH_MAX];
volatile sig_atomic_t dirUsed[DIR_SLOTS];
std::mutex dirLock;

int track_dir(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    std::lock_guard lock(dirLock);
    for (int i = 0; i < DIR_SLOTS; ++i)
        if (!dirUsed[i]) {
            std::memcpy(dirPaths[i], path.c_str(), path.size() + 1);
            dirUsed[i] = 1;
            return i;
        }
    return -1;
}

void untrack_dir(int slot) {
    if (slot < 0) return;
    std::lock_guard lock(dirLock);
    dirUsed[slot] = 0;
}

// Empties a folder of the plain files made in it, then removes it. Only
// system calls: the handlers run this.
void remove_flat_dir(const char* path) {
#if defined(__linux__) && !defined(__EMSCRIPTEN__) && defined(SYS_getdents64)
    struct Entry {
        std::uint64_t ino;
        std::int64_t off;
        unsigned short reclen;
        unsigned char type;
        char name[1];
    };
    for (int pass = 0; pass < 64; ++pass) {
        const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return;
        bool removed = false;
        alignas(8) char buffer[8192];
        for (;;) {
            const long n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
            if (n <= 0) break;
            for (long at = 0; at < n;) {
                const Entry* e = reinterpret_cast<const Entry*>(buffer + at);
                at += e->reclen;
                const char* name = e->name;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
                removed = ::unlinkat(fd, name, 0) == 0 || removed;
            }
        }
        ::close(fd);
        if (::rmdir(path) == 0 || !removed) return;
    }
#else
    // No signals reach a program here before it ends: nothing but the
    // folder itself to try.
    ::rmdir(path);
#endif
}

std::string dot_name(const fs::path& beside, const char* suffix) {
    fs::path p = beside;
    if (p.filename().empty()) p = p.parent_path();  // "out/" names "out"
    const fs::path dir = p.parent_path();
    const std::string name = "." + p.filename().string() + suffix;
    return (dir.empty() ? fs::path(name) : dir / name).string();
}

// Pauses the program (SIGSTOP) once `files` files are written into temporary
// folders when SNOWGLOBE_PACK_PAUSE_AFTER_FILES says so: the tests stop it
// there, at a known state, to end it by a signal.
void pause_for_tests(int files) {
    static const char* at = std::getenv("SNOWGLOBE_PACK_PAUSE_AFTER_FILES");
    if (at && std::atoi(at) == files) ::raise(SIGSTOP);
}

}  // namespace

TempFile make_temp_file_beside(const fs::path& path) {
    std::string name = dot_name(path, ".XXXXXX");
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back(0);
    const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) throw Failure(path.string() + ": cannot write beside it: " + std::strerror(errno));
    TempFile t{fd, fs::path(buffer.data())};
    track_temp(t.path);
    return t;
}

TempDir::TempDir(const fs::path& beside) {
    std::string name = dot_name(beside, ".tmp-XXXXXX");
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back(0);
    if (!::mkdtemp(buffer.data())) throw Failure(name + ": cannot create: " + std::strerror(errno));
    path_ = fs::absolute(fs::path(buffer.data()));
    slot_ = track_dir(path_.string());
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code ec;
    fs::remove_all(path_, ec);
    release();
}

void TempDir::release() {
    untrack_dir(slot_);
    slot_ = -1;
    path_.clear();
}

void TempDir::write(const std::string& name, std::span<const std::uint8_t> bytes) {
    const fs::path file = path_ / name;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) throw Failure(file.string() + ": cannot create: " + std::strerror(errno));
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    const int err = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok) throw Failure(file.string() + ": write failed: " + std::strerror(err));
    pause_for_tests(++files_);
}

void remove_temp_dirs_now() {
    for (int i = 0; i < DIR_SLOTS; ++i)
        if (dirUsed[i]) remove_flat_dir(dirPaths[i]);
}

}  // namespace sg::packtool
