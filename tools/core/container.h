// Where a scene package lives: a package file, the "KAVREN"/103 resource of
// a Windows saver, or the package appended to the Linux program.
#pragma once

#include <filesystem>
#include <string>

#include "tools/core/util.h"

namespace sg::packtool {

enum class FileKind { Package, WindowsExe, LinuxExe };

struct Source {
    FileKind kind = FileKind::Package;
    Bytes file;         // the whole file as read
    Bytes package;      // the scene package in it
    std::string what;   // "Windows executable (x86_64)", for messages
};

constexpr std::uint32_t PACKAGE_LANGUAGE = 1041;  // Japanese, as the saver's resource is stored

// Reads a file and finds its package; throws Failure when it has none.
Source open_source(const std::filesystem::path& path);
Source source_from_bytes(Bytes file, const std::string& name);

bool is_elf(const Bytes& file);

}  // namespace sg::packtool
