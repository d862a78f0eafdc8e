// SPDX-License-Identifier: MIT

#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessel {

// Matching for the find bar over UTF-16 text: ASCII letters match in either case, and the
// full-width and half-width forms of ASCII and of katakana count as one character, a
// half-width kana with its separate voicing mark included (ｶﾞ finds ガ and the other way
// round). Everything else must match exactly; hiragana and katakana stay apart.
class FindText {
  public:
    // A place in the searched text, in UTF-16 code units of the text as given.
    struct Span {
        std::size_t start = 0;
        std::size_t length = 0;
        friend bool operator==(const Span&, const Span&) = default;
    };

    explicit FindText(std::u16string_view needle);

    // True when the needle folds to nothing: it matches nowhere.
    bool empty() const { return needle_.empty(); }

    // Every match in `text`, left to right, none overlapping.
    std::vector<Span> MatchesIn(std::u16string_view text) const;

  private:
    std::u16string needle_;
};

// `text` folded as the matching sees it; `origin`, when given, receives for each folded unit
// the index of the first source unit it came from, plus one last entry for the end of `text`.
std::u16string FoldForFind(std::u16string_view text, std::vector<std::size_t>* origin = nullptr);

}  // namespace tessel
