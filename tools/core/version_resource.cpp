#include "tools/core/version_resource.h"

#include <cstdlib>

namespace sg::packtool {

namespace {

constexpr unsigned BLOCK_ENTRIES = 16;
constexpr std::uint32_t SAVER_NAME_ID = 1;  // string 1 lives in block 1, entry 1
constexpr std::uint32_t FIXED_INFO_SIGNATURE = 0xFEEF04BD;
constexpr std::uint32_t VOS_NT_WINDOWS32 = 0x00040004;
constexpr std::uint32_t VFT_APP = 1;

void put_u16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put_u32(Bytes& out, std::uint32_t v) {
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}
void put_text(Bytes& out, const std::u16string& text) {
    for (char16_t c : text) put_u16(out, c);
    put_u16(out, 0);
}
void align4(Bytes& out) {
    while (out.size() % 4) out.push_back(0);
}

// A version node: length, value length, type, key, padding, value, then the
// children, each starting on a 32-bit boundary. Lengths count bytes from the
// node's start to the end of its last child (or value).
struct Node {
    std::u16string key;
    Bytes value;
    std::uint16_t valueLength = 0;  // in words for text, in bytes otherwise
    bool text = false;
    std::vector<Node> children;
};

void write_node(Bytes& out, const Node& node) {
    align4(out);
    const std::size_t start = out.size();
    put_u16(out, 0);  // length, filled in below
    put_u16(out, node.valueLength);
    put_u16(out, node.text ? 1 : 0);
    put_text(out, node.key);
    align4(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const Node& child : node.children) write_node(out, child);
    write_u16(&out[start], static_cast<std::uint32_t>(out.size() - start));
}

Node string_node(const std::u16string& key, const std::u16string& value) {
    Node n;
    n.key = key;
    n.text = true;
    put_text(n.value, value);
    n.valueLength = static_cast<std::uint16_t>(value.size() + 1);
    return n;
}

// One node read back: where its value and its children lie.
struct Span {
    std::u16string key;
    std::size_t value = 0;
    std::size_t valueBytes = 0;
    std::size_t children = 0;
    std::size_t end = 0;
};

std::optional<Span> read_node(const Bytes& b, std::size_t at, std::size_t limit) {
    if (at + 6 > limit) return std::nullopt;
    const std::size_t length = read_u16(&b[at]);
    if (length < 6 || length > limit - at) return std::nullopt;
    Span s;
    s.end = at + length;
    std::size_t p = at + 6;
    for (;; p += 2) {
        if (p + 2 > s.end) return std::nullopt;
        const char16_t c = static_cast<char16_t>(read_u16(&b[p]));
        if (c == 0) break;
        s.key += c;
    }
    s.value = (p + 2 + 3) & ~std::size_t{3};
    const bool text = read_u16(&b[at + 4]) == 1;
    s.valueBytes = std::size_t{read_u16(&b[at + 2])} * (text ? 2 : 1);
    s.children = (s.value + s.valueBytes + 3) & ~std::size_t{3};
    if (s.value > s.end) s.value = s.end;
    if (s.valueBytes > s.end - s.value) s.valueBytes = s.end - s.value;
    return s;
}

// The children of a node, in order; stops at the first damaged one.
std::vector<Span> children_of(const Bytes& b, const Span& parent) {
    std::vector<Span> out;
    for (std::size_t at = parent.children; at < parent.end; at = (out.back().end + 3) & ~std::size_t{3}) {
        auto child = read_node(b, at, parent.end);
        if (!child) break;
        out.push_back(*child);
    }
    return out;
}

std::vector<std::uint16_t> version_numbers(const std::string& version) {
    std::vector<std::uint16_t> parts;
    const char* p = version.c_str();
    while (*p && parts.size() < 4) {
        char* end = nullptr;
        const unsigned long v = std::strtoul(p, &end, 10);
        if (end == p) break;
        parts.push_back(static_cast<std::uint16_t>(v > 0xFFFF ? 0xFFFF : v));
        p = *end == '.' ? end + 1 : end;
        if (*end != '.') break;
    }
    return parts;
}

}  // namespace

Bytes string_block_with(const std::optional<Bytes>& block, unsigned index, const std::u16string& text) {
    std::vector<std::u16string> entries(BLOCK_ENTRIES);
    if (block) {
        for (unsigned i = 0; i < BLOCK_ENTRIES; ++i) {
            auto entry = string_block_entry(*block, i);
            if (!entry) break;
            entries[i] = *entry;
        }
    }
    entries[index % BLOCK_ENTRIES] = text.substr(0, 0xFFFF);
    Bytes out;
    for (const std::u16string& e : entries) {
        put_u16(out, static_cast<std::uint32_t>(e.size()));
        for (char16_t c : e) put_u16(out, c);
    }
    return out;
}

std::optional<std::u16string> string_block_entry(const Bytes& block, unsigned index) {
    std::size_t at = 0;
    for (unsigned i = 0; i < BLOCK_ENTRIES; ++i) {
        if (!in_bounds(static_cast<std::int64_t>(at), 2, block.size())) return std::nullopt;
        const std::size_t count = read_u16(&block[at]);
        at += 2;
        if (!in_bounds(static_cast<std::int64_t>(at), static_cast<std::int64_t>(count) * 2, block.size()))
            return std::nullopt;
        if (i == index) {
            std::u16string text;
            for (std::size_t k = 0; k < count; ++k) text += static_cast<char16_t>(read_u16(&block[at + 2 * k]));
            return text;
        }
        at += count * 2;
    }
    return std::nullopt;
}

Bytes version_info(const VersionStrings& v) {
    Node root;
    root.key = u"VS_VERSION_INFO";
    put_u32(root.value, FIXED_INFO_SIGNATURE);
    put_u32(root.value, 0x00010000);  // structure version 1.0
    const std::uint32_t ms = (std::uint32_t{v.version[0]} << 16) | v.version[1];
    const std::uint32_t ls = (std::uint32_t{v.version[2]} << 16) | v.version[3];
    for (int i = 0; i < 2; ++i) {  // file version, then product version
        put_u32(root.value, ms);
        put_u32(root.value, ls);
    }
    put_u32(root.value, 0x3F);  // flags mask
    put_u32(root.value, 0);     // flags
    put_u32(root.value, VOS_NT_WINDOWS32);
    put_u32(root.value, VFT_APP);
    put_u32(root.value, 0);  // subtype
    put_u32(root.value, 0);  // date
    put_u32(root.value, 0);
    root.valueLength = static_cast<std::uint16_t>(root.value.size());

    Node table;
    table.key = u"000004b0";  // language neutral, UTF-16
    table.text = true;
    for (const auto& [key, value] : v.strings) table.children.push_back(string_node(key, value));
    Node stringInfo;
    stringInfo.key = u"StringFileInfo";
    stringInfo.text = true;
    stringInfo.children.push_back(std::move(table));

    Node translation;
    translation.key = u"Translation";
    put_u16(translation.value, LANGUAGE_NEUTRAL);
    put_u16(translation.value, 1200);
    translation.valueLength = 4;
    Node varInfo;
    varInfo.key = u"VarFileInfo";
    varInfo.text = true;
    varInfo.children.push_back(std::move(translation));

    root.children.push_back(std::move(stringInfo));
    root.children.push_back(std::move(varInfo));
    Bytes out;
    write_node(out, root);
    return out;
}

std::optional<std::u16string> version_string(const Bytes& info, const std::u16string& key) {
    auto root = read_node(info, 0, info.size());
    if (!root || root->key != u"VS_VERSION_INFO") return std::nullopt;
    for (const Span& group : children_of(info, *root)) {
        if (group.key != u"StringFileInfo") continue;
        for (const Span& table : children_of(info, group))
            for (const Span& entry : children_of(info, table)) {
                if (entry.key != key) continue;
                std::u16string value;
                for (std::size_t p = entry.value; p + 2 <= entry.value + entry.valueBytes && read_u16(&info[p]) != 0; p += 2)
                    value += static_cast<char16_t>(read_u16(&info[p]));
                return value;
            }
    }
    return std::nullopt;
}

void set_saver_name(std::vector<pe::Resource>& list, const std::u16string& title, const std::string& version) {
    const pe::ResName stringType = pe::ResName::of(RT_STRING);
    const pe::ResName block = pe::ResName::of(SAVER_NAME_ID / BLOCK_ENTRIES + 1);
    bool named = false;
    for (pe::Resource& r : list) {
        if (r.type == stringType && r.name == block) {
            r.data = string_block_with(r.data, SAVER_NAME_ID % BLOCK_ENTRIES, title);
            named = true;
        }
    }
    if (!named)
        pe::set_resource(list, stringType, block, LANGUAGE_NEUTRAL,
                         string_block_with(std::nullopt, SAVER_NAME_ID % BLOCK_ENTRIES, title));

    VersionStrings v;
    const std::vector<std::uint16_t> numbers = version_numbers(version);
    for (std::size_t i = 0; i < numbers.size(); ++i) v.version[i] = numbers[i];
    const std::u16string versionText = std::u16string(version.begin(), version.end());
    v.strings = {{u"FileDescription", title},
                 {u"FileVersion", versionText},
                 {u"ProductName", title},
                 {u"ProductVersion", versionText}};
    pe::set_resource(list, pe::ResName::of(RT_VERSION), pe::ResName::of(1), LANGUAGE_NEUTRAL, version_info(v));
}

std::optional<std::u16string> saver_name(const Bytes& file, const std::string& what) {
    const pe::Image image = pe::parse(file, what);
    for (const pe::Resource& r : pe::resources(file, image, what))
        if (r.type == pe::ResName::of(RT_STRING) && r.name == pe::ResName::of(SAVER_NAME_ID / BLOCK_ENTRIES + 1))
            if (auto name = string_block_entry(r.data, SAVER_NAME_ID % BLOCK_ENTRIES)) return name;
    return std::nullopt;
}

}  // namespace sg::packtool
