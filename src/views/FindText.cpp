// SPDX-License-Identifier: MIT

#include "views/FindText.h"

#include <algorithm>
#include <array>

namespace tessel {

namespace {

// U+FF61 to U+FF9F, the half-width katakana block, in its full-width forms.
constexpr std::array<char16_t, 0x3F> kWideKana = {
    u'。', u'「', u'」', u'、', u'・', u'ヲ', u'ァ', u'ィ', u'ゥ', u'ェ', u'ォ', u'ャ', u'ュ',
    u'ョ', u'ッ', u'ー', u'ア', u'イ', u'ウ', u'エ', u'オ', u'カ', u'キ', u'ク', u'ケ', u'コ',
    u'サ', u'シ', u'ス', u'セ', u'ソ', u'タ', u'チ', u'ツ', u'テ', u'ト', u'ナ', u'ニ', u'ヌ',
    u'ネ', u'ノ', u'ハ', u'ヒ', u'フ', u'ヘ', u'ホ', u'マ', u'ミ', u'ム', u'メ', u'モ', u'ヤ',
    u'ユ', u'ヨ', u'ラ', u'リ', u'ル', u'レ', u'ロ', u'ワ', u'ン', u'゛', u'゜'};

constexpr char16_t kVoiced = u'゛';      // U+309B, also what ﾞ becomes
constexpr char16_t kSemiVoiced = u'゜';  // U+309C, also what ﾟ becomes

// One unit folded on its own: width first, then ASCII case.
char16_t FoldUnit(char16_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) {
        c = static_cast<char16_t>(c - 0xFF01 + 0x21);
    } else if (c == 0x3000) {
        c = u' ';
    } else if (c >= 0xFF61 && c <= 0xFF9F) {
        c = kWideKana[c - 0xFF61];
    } else if (c == 0x3099) {
        c = kVoiced;  // the combining marks fold to the spacing ones
    } else if (c == 0x309A) {
        c = kSemiVoiced;
    }
    if (c >= u'A' && c <= u'Z') {
        c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return c;
}

// The katakana a voicing mark makes of `base`, or 0 when the pair does not combine.
char16_t Combine(char16_t base, char16_t mark) {
    if (mark == kVoiced) {
        // カ to ト: each voiced form follows its plain one (ッ sits between, unvoiced).
        if ((base >= u'カ' && base <= u'ヂ' && (base - u'カ') % 2 == 0) ||
            (base >= u'ツ' && base <= u'ト' && (base - u'ツ') % 2 == 0)) {
            return static_cast<char16_t>(base + 1);
        }
        if (base >= u'ハ' && base <= u'ホ' && (base - u'ハ') % 3 == 0) {
            return static_cast<char16_t>(base + 1);
        }
        if (base == u'ウ') {
            return u'ヴ';
        }
        if (base == u'ワ') {
            return u'ヷ';
        }
        if (base == u'ヲ') {
            return u'ヺ';
        }
        return 0;
    }
    if (mark == kSemiVoiced && base >= u'ハ' && base <= u'ホ' && (base - u'ハ') % 3 == 0) {
        return static_cast<char16_t>(base + 2);
    }
    return 0;
}

}  // namespace

std::u16string FoldForFind(std::u16string_view text, std::vector<std::size_t>* origin) {
    std::u16string folded;
    folded.reserve(text.size());
    if (origin != nullptr) {
        origin->clear();
        origin->reserve(text.size() + 1);
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = FoldUnit(text[i]);
        if (!folded.empty() && (c == kVoiced || c == kSemiVoiced)) {
            if (const char16_t combined = Combine(folded.back(), c); combined != 0) {
                // The mark joins the kana before it; the pair keeps the kana's origin.
                folded.back() = combined;
                continue;
            }
        }
        folded.push_back(c);
        if (origin != nullptr) {
            origin->push_back(i);
        }
    }
    if (origin != nullptr) {
        origin->push_back(text.size());
    }
    return folded;
}

FindText::FindText(std::u16string_view needle) : needle_(FoldForFind(needle)) {}

std::vector<FindText::Span> FindText::MatchesIn(std::u16string_view text) const {
    std::vector<Span> spans;
    if (needle_.empty() || text.empty()) {
        return spans;
    }
    std::vector<std::size_t> origin;
    const std::u16string folded = FoldForFind(text, &origin);
    for (std::size_t at = folded.find(needle_); at != std::u16string::npos;
         at = folded.find(needle_, at + needle_.size())) {
        const std::size_t start = origin[at];
        const std::size_t end = origin[at + needle_.size()];
        spans.push_back({start, end - start});
    }
    return spans;
}

}  // namespace tessel
