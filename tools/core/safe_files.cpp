#include "tools/core/safe_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace sg::packtool {

namespace fs = std::filesystem;

namespace {

const char* kind_of(mode_t mode) {
    if (S_ISDIR(mode)) return "is a directory, not a file";
    if (S_ISFIFO(mode)) return "is a FIFO, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
    if (S_ISSOCK(mode)) return "is a socket, not a regular file";
    return "is not a regular file";
}

struct Fd {
    int fd;
    ~Fd() { ::close(fd); }
};

std::string real_path(const fs::path& path, int& error) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) {
        error = errno;
        return {};
    }
    std::string out = resolved;
    std::free(resolved);
    return out;
}

}  // namespace

Bytes read_regular_file(const fs::path& path, std::uint64_t limit) {
    // O_NONBLOCK: opening a FIFO with no writer returns at once, to be refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) throw Failure(path.string() + ": cannot open: " + std::strerror(errno));
    Fd guard{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) throw Failure(path.string() + ": cannot open: " + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) throw Failure(path.string() + ": " + kind_of(st.st_mode));
    if (static_cast<std::uint64_t>(st.st_size) > limit)
        throw Failure(path.string() + ": is " + std::to_string(st.st_size) + " bytes; at most " + std::to_string(limit) +
                      " are read here");
    Bytes out;
    out.reserve(static_cast<std::size_t>(st.st_size));
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw Failure(path.string() + ": read error: " + std::strerror(errno));
        if (n == 0) break;
        if (out.size() + static_cast<std::size_t>(n) > limit)
            throw Failure(path.string() + ": grew past " + std::to_string(limit) + " bytes while being read; at most " +
                          std::to_string(limit) + " are read here");
        out.insert(out.end(), buffer, buffer + n);
    }
    return out;
}

fs::path inside_folder(const fs::path& dir, const std::string& name) {
    if (fs::path(name).is_absolute())
        throw Failure(name + ": is an absolute path; a manifest names files inside its own folder");
    const fs::path folder = dir.empty() ? fs::path(".") : dir;
    const fs::path named = dir.empty() ? fs::path(name) : dir / name;
    int error = 0;
    const std::string base = real_path(folder, error);
    if (base.empty()) throw Failure(folder.string() + ": cannot open: " + std::strerror(error));
    const std::string file = real_path(named, error);
    if (file.empty()) throw Failure(named.string() + ": cannot open: " + std::strerror(error));
    const std::string prefix = base == "/" ? base : base + "/";
    if (file.compare(0, prefix.size(), prefix) != 0)
        throw Failure(name + ": leads outside the manifest's folder (to " + file +
                      "); a scene names only files inside the folder of its manifest");
    return file;
}

}  // namespace sg::packtool
