// SPDX-License-Identifier: MIT

#include "views/FindText.h"

#include <gtest/gtest.h>

#include <cctype>

#include <string>
#include <vector>

namespace tessel {
namespace {

using Span = FindText::Span;

struct MatchCase {
    const char* name;
    std::u16string needle;
    std::u16string text;
    std::vector<Span> spans;
};

void PrintTo(const MatchCase& c, std::ostream* os) {
    *os << c.name;
}

class FindTextMatches : public ::testing::TestWithParam<MatchCase> {};

TEST_P(FindTextMatches, FindsEveryPlaceInSourceUnits) {
    const MatchCase& c = GetParam();
    EXPECT_EQ(FindText(c.needle).MatchesIn(c.text), c.spans);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FindTextMatches,
    ::testing::Values(
        MatchCase{"plain ascii", u"dice", u"roll dice, more dice", {{5, 4}, {16, 4}}},
        MatchCase{"ascii case either way", u"DiCe", u"DICE dice Dice", {{0, 4}, {5, 4}, {10, 4}}},
        MatchCase{"wide ascii in the text", u"2d6", u"ｒｏｌｌ ２Ｄ６ now", {{5, 3}}},
        MatchCase{"wide ascii in the needle", u"ＧＭ", u"gm: hello", {{0, 2}}},
        MatchCase{"ideographic space is a space", u"a b", u"a　b", {{0, 3}}},
        MatchCase{"narrow kana in the text", u"セッション", u"今夜のｾｯｼｮﾝです", {{3, 5}}},
        MatchCase{"narrow kana in the needle", u"ｾｯｼｮﾝ", u"セッション", {{0, 5}}},
        MatchCase{"narrow voiced kana is one wide kana", u"ダイス", u"ﾀﾞｲｽ", {{0, 4}}},
        MatchCase{"wide voiced kana from a narrow needle", u"ﾀﾞｲｽ", u"xダイスx", {{1, 3}}},
        MatchCase{"semi-voiced", u"ﾊﾟｰﾃｨ", u"パーティ", {{0, 4}}},
        MatchCase{"vu", u"ｳﾞ", u"ヴ", {{0, 1}}},
        MatchCase{"combining mark after wide kana", u"ガ", u"カ\u3099", {{0, 2}}},
        MatchCase{"voicing keeps kana apart", u"カ", u"ガｶﾞ", {}},
        MatchCase{"voiced needle misses plain kana", u"ガ", u"カｶ", {}},
        MatchCase{"hiragana is not katakana", u"だいす", u"ダイス", {}},
        MatchCase{"narrow punctuation", u"「ok」", u"ｽ｢OK｣", {{1, 4}}},
        MatchCase{"prolonged sound mark", u"ー", u"ｰ", {{0, 1}}},
        MatchCase{"kanji exactly", u"今夜", u"今夜も今晩も今夜", {{0, 2}, {6, 2}}},
        MatchCase{"no overlap", u"aa", u"aaaa", {{0, 2}, {2, 2}}},
        MatchCase{"mark with nothing to join stays", u"ﾞ", u"ﾞa", {{0, 1}}},
        MatchCase{"needle longer than text", u"dice roll", u"dice", {}},
        MatchCase{"empty needle matches nowhere", u"", u"anything", {}},
        MatchCase{"non-ascii letters keep their case", u"é", u"É", {}}),
    [](const ::testing::TestParamInfo<MatchCase>& info) {
        std::string name;
        for (const char* p = info.param.name; *p != '\0'; ++p) {
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        }
        return name;
    });

TEST(FindText, OriginMapsEveryFoldedUnitBackToItsSource) {
    std::vector<std::size_t> origin;
    const std::u16string folded = FoldForFind(u"Aｶﾞｂ", &origin);
    EXPECT_EQ(folded, u"aガb");
    EXPECT_EQ(origin, (std::vector<std::size_t>{0, 1, 3, 4}));
}

TEST(FindText, EveryNarrowKanaFoldsToAWideOne) {
    // The whole half-width block: nothing stays narrow, nothing becomes ASCII.
    for (char16_t c = 0xFF61; c <= 0xFF9F; ++c) {
        const std::u16string folded = FoldForFind(std::u16string(1, c));
        ASSERT_EQ(folded.size(), 1u) << std::hex << static_cast<int>(c);
        EXPECT_TRUE(folded[0] >= 0x3000 && folded[0] < 0x3100) << std::hex << static_cast<int>(c);
    }
}

TEST(FindText, EveryWideAsciiFoldsToItsNarrowFormInLowerCase) {
    for (char16_t c = 0x21; c <= 0x7E; ++c) {
        const char16_t wide = static_cast<char16_t>(c - 0x21 + 0xFF01);
        const char16_t lower = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
        EXPECT_EQ(FoldForFind(std::u16string(1, wide)), std::u16string(1, lower));
        EXPECT_EQ(FoldForFind(std::u16string(1, c)), std::u16string(1, lower));
    }
}

}  // namespace
}  // namespace tessel
