// SPDX-License-Identifier: MIT

#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tessel {

// Content types of message bodies. The field is a plain signed 32-bit number on the wire
// side: any value may arrive or be set, and unknown ones travel as "tesra/other".
enum class ContentType : std::int32_t {
    Other = 0,
    Result = 1,
    Text = 2,
    Sjis = 3,
    Euc = 4,
    Binary = 5,
};

inline constexpr std::array<std::string_view, 6> kContentTypeWords = {
    "tesra/other", "tesra/result", "tesra/text", "tesra/sjis", "tesra/euc", "tesra/binary",
};

// Exact words of codes 1 to 5 map to their codes; every other text, "tesra/other" included, to 0.
constexpr ContentType ContentTypeFromText(std::string_view text) {
    for (std::size_t i = 1; i < kContentTypeWords.size(); ++i) {
        if (kContentTypeWords[i] == text) {
            return static_cast<ContentType>(i);
        }
    }
    return ContentType::Other;
}

// Only the low 8 bits of the code choose the word; anything outside 1 to 5 is "tesra/other".
constexpr std::string_view ContentTypeText(ContentType type) {
    const auto low = static_cast<std::uint32_t>(type) & 0xFFu;
    return low < kContentTypeWords.size() ? kContentTypeWords[low] : kContentTypeWords[0];
}

}  // namespace tessel
