// SPDX-License-Identifier: MIT

#include "protocol/Words.h"

#include <gtest/gtest.h>

#include <string>

namespace tessel {
namespace {

struct WordCase {
    std::string line;
    int n;
    std::string word;
    std::string rest;
};

class WordWalk : public ::testing::TestWithParam<WordCase> {};

TEST_P(WordWalk, FindsWordAndRest) {
    const WordCase& c = GetParam();
    EXPECT_EQ(WordAt(c.line, c.n), c.word) << "WordAt(\"" << c.line << "\", " << c.n << ")";
    EXPECT_EQ(RestFrom(c.line, c.n), c.rest) << "RestFrom(\"" << c.line << "\", " << c.n << ")";
}

INSTANTIATE_TEST_SUITE_P(
    Words, WordWalk,
    ::testing::Values(
        // Blanks and tabs in runs separate words.
        WordCase{"x  y\tz", 0, "x", "x  y\tz"}, WordCase{"x  y\tz", 1, "y", "y\tz"},
        WordCase{"x  y\tz", 2, "z", "z"}, WordCase{"x  y\tz", 3, "", ""},
        // Leading blanks make word 0 empty; they separate it from word 1.
        WordCase{"  lead", 0, "", "  lead"}, WordCase{"  lead", 1, "lead", "lead"},
        // A line feed ends a word but does not separate while counting.
        WordCase{"x\ny z", 0, "x", "x"}, WordCase{"x\ny z", 1, "z", "z"},
        // A carriage return belongs to the word; the rest stops at the line feed.
        WordCase{"CLOSE\r\n", 0, "CLOSE\r", "CLOSE\r"}, WordCase{"SHOWMESG bob\n", 1, "bob", "bob"},
        // Trailing blanks: the word after them does not exist.
        WordCase{"a   ", 1, "", ""}, WordCase{"", 0, "", ""}, WordCase{"", 2, "", ""},
        // Text ends at its first zero byte.
        WordCase{std::string("a\0b c", 5), 1, "", ""},
        // Words longer than the eight bytes the walk looks at in one step.
        WordCase{"TesseraRELAY/0.1\tlonger-word-here x", 1, "longer-word-here",
                 "longer-word-here x"},
        WordCase{std::string("abcdefghijk\0lmnopq rs", 22), 0, "abcdefghijk", "abcdefghijk"},
        WordCase{std::string("abcdefghijk\0lmnopq rs", 22), 1, "", ""}));

TEST(WordCodeTest, ClassifiesWordZeroExactly) {
    EXPECT_EQ(WordCode("LIST"), CommandCode::List);
    EXPECT_EQ(WordCode("SHOW 2 6 taro 0 0\n"), CommandCode::Show);
    EXPECT_EQ(WordCode("TesseraRELAY/0.1\r\n"), CommandCode::Other);  // the CR is in the word
    EXPECT_EQ(WordCode("TesseraRELAY/0.1\n"), CommandCode::GreetingVersion);
    EXPECT_EQ(WordCode("list"), CommandCode::Other);
    EXPECT_EQ(WordCode("content-length: 5"), CommandCode::Other);
    EXPECT_EQ(WordCode(" LIST"), CommandCode::Other);
    EXPECT_EQ(WordCode(""), CommandCode::Other);
    EXPECT_EQ(WordCode("CMD QUIT"), CommandCode::Cmd);
    EXPECT_EQ(WordCode("FILE x"), CommandCode::File);
}

TEST(WordCodeTest, EveryTableWordMapsToItsCode) {
    for (const CommandWord& entry : kCommandWords) {
        EXPECT_EQ(WordCode(std::string(entry.word) + " arg"), entry.code) << entry.word;
    }
}

}  // namespace
}  // namespace tessel
