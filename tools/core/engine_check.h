// What bind may start from: a complete Windows or Linux executable of ours.
// A cut-off or foreign file would give a saver that crashes, so it is
// refused before anything is written.
#pragma once

#include <string>
#include <vector>

#include "tools/core/util.h"

namespace sg::packtool {

enum class EngineKind { Windows, Linux };

// Throws Failure naming `what` and saying what is wrong. For a Linux program
// any package it already carries is ignored (bind replaces it).
EngineKind check_engine(const Bytes& file, const std::string& what);

// What is wrong with an ELF file's own description of itself (empty when its
// headers, segments and sections all lie within it).
std::vector<std::string> elf_problems(const Bytes& file);
// True for a sound ELF file that carries the code reading a bound package.
bool elf_is_ours(const Bytes& file);

}  // namespace sg::packtool
