// SPDX-License-Identifier: MIT

#include "protocol/Charset.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "support/Bytes.h"
#include "support/Iconv.h"

namespace tessel {
namespace {

constexpr std::size_t kTestLimit = 4352;

using test::Bytes;
using test::Iconv;

std::string Pair(unsigned a, unsigned b) {
    return {static_cast<char>(a), static_cast<char>(b)};
}

// Every two-byte position of JIS X 0208 that glibc knows: our arithmetic must agree with
// glibc's tables in both directions.
TEST(CharsetOracle, AllJisX0208CharactersMatchIconv) {
    const Iconv eucToSjis("SHIFT_JIS", "EUC-JP");
    const Iconv sjisToEuc("EUC-JP", "SHIFT_JIS");
    ASSERT_TRUE(eucToSjis.valid());
    ASSERT_TRUE(sjisToEuc.valid());
    int checked = 0;
    for (unsigned row = 1; row <= 94; ++row) {
        for (unsigned cell = 1; cell <= 94; ++cell) {
            const std::string euc = Pair(0xA0 + row, 0xA0 + cell);
            const auto sjis = eucToSjis(euc);
            if (!sjis || sjis->size() != 2) {
                continue;  // a position glibc leaves unassigned
            }
            const auto expectedEuc = sjisToEuc(*sjis);
            ASSERT_TRUE(expectedEuc.has_value());
            ASSERT_EQ(Bytes(ToEuc(*sjis, kTestLimit)), Bytes(*expectedEuc))
                << "row " << row << " cell " << cell;
            ASSERT_EQ(Bytes(ToShiftJis(*expectedEuc)), Bytes(*sjis))
                << "row " << row << " cell " << cell;
            ++checked;
        }
    }
    // JIS X 0208 assigns 6879 characters; glibc knows all of them.
    EXPECT_GE(checked, 6879);
}

// glibc's ISO-2022-JP converter transliterates half-width katakana to the full-width JIS
// X 0208 characters (with the C.UTF-8 locale's tables); its escape sequence wraps the two JIS
// bytes we compare with.
TEST(CharsetOracle, HalfWidthKanaWidenAsIconvTransliterates) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    struct RestoreLocale {
        std::string name;
        ~RestoreLocale() { std::setlocale(LC_ALL, name.c_str()); }
    } restore{previous};
    const Iconv toJis("ISO-2022-JP//TRANSLIT", "SHIFT_JIS");
    ASSERT_TRUE(toJis.valid());
    for (unsigned b = 0xA1; b <= 0xDD; ++b) {
        const auto jis = toJis(std::string(1, static_cast<char>(b)));
        ASSERT_TRUE(jis.has_value()) << std::hex << b;
        ASSERT_EQ(jis->substr(0, 3), "\x1B$B") << std::hex << b;
        const std::string expected = Pair(((*jis)[3] & 0x7F) | 0x80, ((*jis)[4] & 0x7F) | 0x80);
        EXPECT_EQ(Bytes(ToEuc(std::string(1, static_cast<char>(b)), kTestLimit)), Bytes(expected))
            << "half-width byte " << std::hex << b;
    }
}

TEST(CharsetWiden, SpaceAndVoicedMarksHaveFixedCodes) {
    EXPECT_EQ(WidenKana(0xA0), 0x8140);
    EXPECT_EQ(WidenKana(0xA1), 0x8142);
    EXPECT_EQ(WidenKana(0xB1), 0x8341);
    EXPECT_EQ(WidenKana(0xDD), 0x8393);
    EXPECT_EQ(WidenKana(0xDE), 0x814A);
    EXPECT_EQ(WidenKana(0xDF), 0x814B);
    EXPECT_EQ(WidenKana(0x9F), 0);
    // A voiced mark after a kana stays a character of its own: "ｶﾞ" is カ then ゛.
    EXPECT_EQ(Bytes(ToEuc("\xB6\xDE", kTestLimit)), Bytes("\xA5\xAB\xA1\xAB"));
}

TEST(CharsetToEuc, WidensOnlyKanaThatAreNotTrailBytes) {
    EXPECT_EQ(Bytes(ToEuc("\xB1\xB2", kTestLimit)), Bytes("\xA5\xA2\xA5\xA4"));
    // 0x83 0xB1 is one character (ア's neighbour), its trail byte is not a kana.
    const auto expected = Iconv("EUC-JP", "SHIFT_JIS")("\x83\xB1");
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(Bytes(ToEuc("\x83\xB1", kTestLimit)), Bytes(*expected));
    // A trail byte in the lead range does not start a character.
    EXPECT_EQ(Bytes(ToEuc("\x88\x9F"
                          "a",
                          kTestLimit)),
              Bytes(*Iconv("EUC-JP", "SHIFT_JIS")("\x88\x9F"
                                                  "a")));
    EXPECT_EQ(Bytes(ToEuc("hello, world", kTestLimit)), Bytes("hello, world"));
}

TEST(CharsetToEuc, BrokenAndUnmappableCharactersAreReplacedNotMisread) {
    // A lead byte before a line feed or at the end keeps the line feed and becomes "?".
    EXPECT_EQ(Bytes(ToEuc("a\x82\nb", kTestLimit)), Bytes("a?\nb"));
    EXPECT_EQ(Bytes(ToEuc("a\x82", kTestLimit)), Bytes("a?"));
    // User-defined characters have no EUC-JP form: the geta mark stands in.
    EXPECT_EQ(Bytes(ToEuc("\xF0\x40", kTestLimit)), Bytes("\xA2\xAE"));
    EXPECT_EQ(Bytes(ToEuc("\xFC\xFC", kTestLimit)), Bytes("\xA2\xAE"));
    // Text ends at its first zero byte.
    EXPECT_EQ(Bytes(ToEuc(std::string("ab\0cd", 5), kTestLimit)), Bytes("ab"));
}

TEST(CharsetToEuc, StopsNearTheLimitWithoutSplittingOrOverrunning) {
    constexpr std::size_t kLimit = 256;
    // ASCII stops at exactly limit - 3 bytes.
    EXPECT_EQ(ToEuc(std::string(300, 'a'), kLimit).size(), kLimit - 3);
    // Two-byte characters never split, and the result fits the field with its terminator.
    for (std::size_t prefix = 0; prefix < 8; ++prefix) {
        std::string text(kLimit - 8 + prefix, 'a');
        text += "\x82\xA0\xB1\xB1\x82\xA0";
        const std::string out = ToEuc(text, kLimit);
        EXPECT_LE(out.size(), kLimit - 2) << prefix;
        EXPECT_GE(out.size(), kLimit - 3) << prefix;
        for (std::size_t i = text.size() - 6; i < out.size(); ++i) {
            ASSERT_GE(static_cast<unsigned char>(out[i]), 0xA1) << "split at " << i;
        }
        const std::size_t ascii = std::min(out.size(), kLimit - 8 + prefix);
        EXPECT_EQ((out.size() - ascii) % 2, 0u) << prefix;
    }
}

TEST(CharsetToShiftJis, ConvertsPairsAndPassesEverythingElse) {
    EXPECT_EQ(Bytes(ToShiftJis("\xA4\xA2")), Bytes("\x82\xA0"));
    EXPECT_EQ(Bytes(ToShiftJis("plain ascii\r\n")), Bytes("plain ascii\r\n"));
    // A single shift and its half-width byte pass through.
    EXPECT_EQ(Bytes(ToShiftJis("\x8E")), Bytes("\x8E"));
    // A lone lead before a control byte, or at the end, is kept and the next byte survives.
    EXPECT_EQ(Bytes(ToShiftJis("\xA4\n")), Bytes("\xA4\n"));
    EXPECT_EQ(Bytes(ToShiftJis("x\xA4")), Bytes("x\xA4"));
    EXPECT_EQ(Bytes(ToShiftJis("\xFF\xA4\xA2")), Bytes("\xFF\x82\xA0"));
}

TEST(CharsetInPlace, StaysInsideTheBufferAndTerminates) {
    char buffer[8] = "\xB1\xB1\xB1\xB1\xB1\xB1\xB1";  // seven half-width kana, no room to widen
    const std::size_t length = ToEucInPlace(buffer, sizeof buffer);
    EXPECT_EQ(length, 6u);  // three widened characters, then the limit
    EXPECT_EQ(buffer[length], '\0');
    EXPECT_EQ(Bytes(std::string(buffer, length)), Bytes("\xA5\xA2\xA5\xA2\xA5\xA2"));

    char euc[5] = {'\xA4', '\xA2', '\xA4', '\xA4', '\xA4'};  // not terminated
    EXPECT_EQ(ToShiftJisInPlace(euc, sizeof euc), 4u);
    EXPECT_EQ(Bytes(std::string(euc, 4)), Bytes("\x82\xA0\x82\xA2"));
    EXPECT_EQ(euc[4], '\0');
}

}  // namespace
}  // namespace tessel
