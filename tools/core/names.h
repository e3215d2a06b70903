// The manifest's words for the numbers of the package format, shared by
// build, extract, inspect and validate so they always agree.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace sg::packtool::names {

inline constexpr std::array<std::string_view, 5> BACKGROUND = {"black", "white", "desktop", "tiled", "picture"};
inline constexpr std::array<std::string_view, 2> FIT = {"centred", "stretched"};
// Direction codes are the cells of a 3 x 3 grid, row by row from the top left.
inline constexpr std::array<std::string_view, 9> DIRECTION = {"up-left",   "up",   "up-right",
                                                               "left",      "none", "right",
                                                               "down-left", "down", "down-right"};
inline constexpr std::array<std::string_view, 9> ENTRY = {"anywhere",     "top",           "bottom",
                                                           "left",         "right",         "left-or-top",
                                                           "left-or-bottom", "right-or-top", "right-or-bottom"};
inline constexpr std::array<std::string_view, 4> CORNER = {"top-left", "top-right", "bottom-left", "bottom-right"};
inline constexpr std::array<std::string_view, 3> DELAY = {"after-cycle", "none", "after-exit"};
inline constexpr std::array<std::string_view, 4> MASK = {"top-left", "black", "white", "opaque"};
inline constexpr std::array<std::string_view, 2> SWAY_AXIS = {"y", "x"};  // any other code: no sway
// The monitor modes, in the monitors record's order.
inline constexpr std::array<std::string_view, 3> MONITORS = {"primary", "each", "span"};
inline constexpr std::array<int, 5> SPEED_PIXELS = {1, 2, 5, 9, 16};

// Codes the manifest writes for "none" sway and "fixed" placement.
constexpr int SWAY_NONE_CODE = 2;
constexpr int PLACEMENT_RANDOM = 1;
constexpr int PLACEMENT_FIXED_CODE = 0;

template <std::size_t N>
std::optional<int> code_of(const std::array<std::string_view, N>& table, std::string_view word) {
    for (std::size_t i = 0; i < N; ++i)
        if (table[i] == word) return static_cast<int>(i);
    return std::nullopt;
}

template <std::size_t N>
std::string word_of(const std::array<std::string_view, N>& table, long long code) {
    if (code >= 0 && static_cast<std::size_t>(code) < N) return std::string(table[static_cast<std::size_t>(code)]);
    return std::to_string(code);
}

template <std::size_t N>
std::string listing(const std::array<std::string_view, N>& table) {
    std::string out;
    for (std::size_t i = 0; i < N; ++i) {
        if (i) out += i + 1 == N ? " or " : ", ";
        out += "\"" + std::string(table[i]) + "\"";
    }
    return out;
}

}  // namespace sg::packtool::names
