// Finding one resource in a Windows executable image (PE32 or PE32+) held in
// memory: the scene package of a .scr is its "KAVREN"/103 resource. Reads
// only inside the bytes it is given and never throws; a damaged image is a
// refusal, not a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace sg::format::pe_resource {

enum class Status {
    NotPe,    // no "MZ" header leading to a "PE\0\0" signature
    Found,
    Missing,  // a readable image without that resource
    Damaged,  // the headers or the resource directory point outside the image
};

struct Lookup {
    Status status = Status::NotPe;
    std::span<const std::uint8_t> data;  // Found: the resource's bytes, inside the image
};

// Resource `type` (an upper-case ASCII name) / `id`, in `language` when the
// image has several languages of it, else in the first one listed.
Lookup find(std::span<const std::uint8_t> image, const char* type, std::uint32_t id,
            std::uint32_t language);

}  // namespace sg::format::pe_resource
