// Temporary files and folders beside an output, made so that nothing planted
// there can be written through: names chosen by mkstemp/mkdtemp (created,
// never reused), files inside a folder created with O_EXCL and O_NOFOLLOW.
// All are removed when SIGINT, SIGTERM or SIGHUP end the program.
#pragma once

#include <filesystem>
#include <span>
#include <string>

namespace sg::packtool {

// A new empty file ".NAME.XXXXXX" beside `path` (mode 0600), open for
// writing and tracked for removal; the caller renames it or removes it, then
// calls untrack_temp (output.h). Throws Failure.
struct TempFile {
    int fd = -1;
    std::filesystem::path path;
};
TempFile make_temp_file_beside(const std::filesystem::path& path);

// A new folder ".NAME.tmp-XXXXXX" beside `path` (mode 0700), removed with
// the files in it by the destructor unless released, and by the handlers.
class TempDir {
public:
    explicit TempDir(const std::filesystem::path& beside);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // A new file in the folder: a name already there, a symlink among them,
    // is refused, never followed or replaced. Throws Failure.
    void write(const std::string& name, std::span<const std::uint8_t> bytes);
    // The folder was renamed away or removed: nothing is left to clean.
    void release();

private:
    std::filesystem::path path_;
    int slot_ = -1;
    int files_ = 0;
};

// For the signal handlers: removes the tracked folders and what they hold,
// with system calls only (async-signal-safe).
void remove_temp_dirs_now();

}  // namespace sg::packtool
