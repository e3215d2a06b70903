// Zip files of a scene folder (a manifest with its pictures and sound), for
// the studio's download and for opening what an author zipped.
#pragma once

#include <string>

namespace sg::web {

// Writes every file under `dir` (names relative to it, sorted, deflated) to
// the zip `out`. Returns 0, or 1 after printing why to std::cerr.
int zip_folder(const std::string& dir, const std::string& out);

// Unpacks the zip `in` into `dir` (which must not exist or be empty). Stored
// and deflated entries; names with "..", absolute names, entries larger
// than 64 MiB, more than MAX_FILE_BYTES (safe_files.h) in all, and records
// that share or overlap another's bytes are refused. Returns 0, or 1 after printing why to std::cerr.
int unzip_to(const std::string& in, const std::string& dir);

}  // namespace sg::web
