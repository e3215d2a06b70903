#include "tools/core/output.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>

#include <toml++/toml.h>

#include "tools/core/safe_files.h"
#include "tools/core/temp_dir.h"

namespace sg::packtool {

namespace fs = std::filesystem;

namespace {

// The handler may only read these: fixed buffers, each published by its
// flag after the path is complete and withdrawn before it is reused.
constexpr int SLOTS = 32;
char tempPaths[SLOTS][PATH_MAX];
volatile sig_atomic_t tempUsed[SLOTS];
int nextSlot = 0;
std::mutex slotsLock;

extern "C" void remove_temps_and_die(int sig) {
    for (int i = 0; i < SLOTS; ++i)
        if (tempUsed[i]) ::unlink(tempPaths[i]);
    remove_temp_dirs_now();
    // SA_RESETHAND gave the signal its default action back; the signal is
    // blocked while we run, so it ends the program as soon as we return.
    ::raise(sig);
}

bool write_all(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

void install_cleanup_handlers() {
    struct sigaction sa {};
    sa.sa_handler = remove_temps_and_die;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        // A signal the caller chose to ignore (nohup) stays ignored.
        if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        ::sigaction(sig, &sa, nullptr);
    }
}

void track_temp(const fs::path& path) {
    std::string abs = fs::absolute(path).string();
    if (abs.size() >= PATH_MAX) return;
    std::lock_guard lock(slotsLock);
    int slot = nextSlot;
    for (int i = 0; i < SLOTS; ++i)
        if (!tempUsed[(nextSlot + i) % SLOTS]) {
            slot = (nextSlot + i) % SLOTS;
            break;
        }
    nextSlot = (slot + 1) % SLOTS;
    tempUsed[slot] = 0;
    std::memcpy(tempPaths[slot], abs.c_str(), abs.size() + 1);
    tempUsed[slot] = 1;
}

void untrack_temp(const fs::path& path) {
    std::string abs = fs::absolute(path).string();
    std::lock_guard lock(slotsLock);
    for (int i = 0; i < SLOTS; ++i)
        if (tempUsed[i] && abs == tempPaths[i]) tempUsed[i] = 0;
}

fs::path resolve_output(const fs::path& path) {
    fs::path at = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
        std::error_code ec;
        fs::path target = fs::read_symlink(at, ec);
        if (ec) throw Failure(path.string() + ": cannot read the link: " + ec.message());
        at = target.is_absolute() ? target : at.parent_path() / target;
    }
    throw Failure(path.string() + ": too many levels of symbolic links");
}

void write_output(const fs::path& path, std::span<const std::uint8_t> bytes, std::optional<mode_t> mode) {
    if (path == "-") {
        std::fflush(stdout);
        if (!write_all(1, bytes)) throw Failure("standard output: write failed: " + std::string(std::strerror(errno)));
        return;
    }
    const fs::path target = resolve_output(path);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) throw Failure(path.string() + ": is a directory");
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or FIFO: renaming over it would put a file in its place.
        int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) throw Failure(path.string() + ": cannot write: " + std::strerror(errno));
        bool ok = write_all(fd, bytes);
        int err = errno;
        ok = (::close(fd) == 0) && ok;
        if (!ok) throw Failure(path.string() + ": write failed: " + std::strerror(err));
        return;
    }
    const TempFile made = make_temp_file_beside(target);
    const fs::path temp = made.path;
    const int fd = made.fd;
    mode_t perms = mode ? *mode : exists ? (st.st_mode & 07777) : 0666;
    bool ok = write_all(fd, bytes);
    ok = set_file_mode(fd, perms, mode || exists) && ok;
    ok = (::close(fd) == 0) && ok;
    std::error_code ec;
    if (!ok) {
        fs::remove(temp, ec);
        untrack_temp(temp);
        throw Failure(path.string() + ": write failed (disk full?)");
    }
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        untrack_temp(temp);
        throw Failure(path.string() + ": cannot replace: " + ec.message());
    }
    untrack_temp(temp);
}

void refuse_output_is_input(const std::string& output, const std::vector<fs::path>& inputs) {
    if (output == "-" && ::isatty(1))
        throw Failure("standard output is a terminal; send -o - into a pipe or a file");
    struct stat out {};
    if (output == "-" ? ::fstat(1, &out) != 0 : ::stat(output.c_str(), &out) != 0) return;  // a new file
    if (!S_ISREG(out.st_mode)) return;  // a terminal, pipe or device is nobody's input here
    for (const fs::path& input : inputs) {
        struct stat in {};
        if (::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
            throw Failure((output == "-" ? std::string("standard output") : output) + ": is the input " +
                          input.string() + "; give another output");
    }
}

std::vector<fs::path> manifest_inputs(const fs::path& manifest) {
    std::vector<fs::path> files{manifest};
    toml::table table;
    try {
        const Bytes text = read_regular_file(manifest, MAX_MANIFEST_BYTES);
        table = toml::parse(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), manifest.string());
    } catch (const std::exception&) {
        return files;  // build reports what is wrong with it
    }
    const fs::path dir = manifest.parent_path();
    auto visit = [&](auto&& self, const toml::node& node) -> void {
        if (auto* s = node.as_string()) {
            const std::string& v = s->get();
            if (v.empty() || v.size() > 4096) return;
            std::error_code ec;
            fs::path p = fs::path(v).is_absolute() ? fs::path(v) : dir / v;
            if (fs::is_regular_file(p, ec)) files.push_back(p);
        } else if (auto* t = node.as_table()) {
            for (auto&& [k, v] : *t) self(self, v);
        } else if (auto* a = node.as_array()) {
            for (auto&& v : *a) self(self, v);
        }
    };
    visit(visit, table);
    return files;
}

}  // namespace sg::packtool
