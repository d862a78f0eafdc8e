// SPDX-License-Identifier: MIT

#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tessel {

// Fills each "%s" or "%d" of a display text with the next value, already formatted. Unlike
// printf it has no buffer to overrun, whatever length a server's handle or channel has, and a
// Shift-JIS trail byte can never be taken for "%" (trail bytes start at 0x40).
inline std::string FillText(std::string_view pattern,
                            std::initializer_list<std::string_view> values) {
    std::string out;
    out.reserve(pattern.size() + 64);
    auto next = values.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() &&
            (pattern[i + 1] == 's' || pattern[i + 1] == 'd') && next != values.end()) {
            out += *next++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

}  // namespace tessel
