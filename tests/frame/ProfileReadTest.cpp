// SPDX-License-Identifier: MIT

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <string_view>

#include "frame/TempDir.h"
#include "platform/ProfileStore.h"

namespace tessel {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr std::string_view kMissing = "<default>";

struct ReadCase {
    const char* name;
    std::string_view file;
    std::string_view section;
    std::string_view key;
    std::string_view expected;  // kMissing: the default comes back
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class ProfileReadRules : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileReadRules, FindsTheValueTheWindowsRulesGive) {
    const ReadCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("tessel.ini");
    WriteBytes(path, c.file);
    ProfileStore store(path);
    EXPECT_EQ(store.GetProfileString(c.section, c.key, kMissing), c.expected);
    // Reading never changes the file.
    EXPECT_EQ(ReadBytes(path), std::string(c.file));
}

// clang-format off
const ReadCase kReadCases[] = {
    // Names compare without regard to case.
    {"NamesIgnoreCase", "[section1]\r\nname1=val1\r\n", "SECTION1", "NaMe1", "val1"},
    {"SectionIgnoresCase", "[SeCtIoN1]\r\nname1=val1\r\n", "section1", "name1", "val1"},
    // Line ends: CR LF, CR and LF.
    {"CrLfLines", "[s]\r\na=1\r\nb=2\r\n", "s", "b", "2"},
    {"CrLines", "[s]\ra=1\rb=2\r", "s", "b", "2"},
    {"LfLines", "[s]\na=1\nb=2\n", "s", "b", "2"},
    {"MixedLines", "[s]\ra=1\nb=2\r\nc=3", "s", "c", "3"},
    {"CrCrIsTwoLineEnds", "[s]\r\ra=1\r\r", "s", "a", "1"},
    {"BlankLinesSkipped", "\r\n \t \r\n[s]\r\n\r\n\r\nk=v\r\n", "s", "k", "v"},
    {"ControlWhitespaceTrimmed", "\v[s]\f\r\n\tk\v=\fv\t\r\n", "s", "k", "v"},
    // Section lines.
    {"SectionNameTrimmed", "[ section1 ]\r\nk=v\r\n", "section1", "k", "v"},
    {"IndentedSection", "   [s]   \r\nk=v\r\n", "s", "k", "v"},
    {"SectionRunsToLastBracket", "[a]b]\r\nk=v\r\n", "a]b", "k", "v"},
    {"TextAfterSectionIgnored", "[s] old\r\nk=v\r\n", "s", "k", "v"},
    {"UnclosedBracketIsNoSection", "[s\r\nk=v\r\n", "s", "k", kMissing},
    {"RequestedSectionTrimmed", "[s]\r\nk=v\r\n", "  s\t", "k", "v"},
    // Key lines.
    {"KeyAndValueTrimmed", "[s]\r\n  key  =  a b  \r\n", "s", "key", "a b"},
    {"SplitsAtFirstEquals", "[s]\r\na=b=c\r\n", "s", "a", "b=c"},
    {"RequestedKeyTrimmed", "[s]\r\nkey=v\r\n", "s", "  key \t", "v"},
    {"KeyWithInnerBlank", "[s]\r\nmy key=v\r\n", "s", "my key", "v"},
    // Quotes: one matching pair around the value.
    {"DoubleQuotesRemoved", "[s]\r\nk=\"val2\"\r\n", "s", "k", "val2"},
    {"SingleQuotesRemoved", "[s]\r\nk='val2'\r\n", "s", "k", "val2"},
    {"UnmatchedQuoteStays", "[s]\r\nk=\"abc\r\n", "s", "k", "\"abc"},
    {"MixedQuotesStay", "[s]\r\nk=\"abc'\r\n", "s", "k", "\"abc'"},
    {"LoneQuoteStays", "[s]\r\nk=\"\r\n", "s", "k", "\""},
    {"EmptyQuotes", "[s]\r\nk=\"\"\r\n", "s", "k", ""},
    {"QuotesKeepBlanks", "[s]\r\nk=\" a \"\r\n", "s", "k", " a "},
    {"OnlyOnePairRemoved", "[s]\r\nk=\"\"x\"\"\r\n", "s", "k", "\"x\""},
    // Comments only at the start of a line.
    {"SemicolonInValue", "[s]\r\npepsi=diet ;gag\r\n", "s", "pepsi", "diet ;gag"},
    {"CommentedKey", "[s]\r\n;k=v\r\n", "s", "k", kMissing},
    {"IndentedComment", "[s]\r\n  ;k=v\r\n", "s", "k", kMissing},
    {"CommentedSection", ";[s]\r\nk=v\r\n", "s", "k", kMissing},
    // A line without '=' is not a key.
    {"LineWithoutEqualsIsNoKey", "[s]\r\nk\r\n", "s", "k", kMissing},
    {"LineWithoutEqualsSkipped", "[s]\r\nk\r\nk=v\r\n", "s", "k", "v"},
    // The empty value is a value.
    {"EmptyValue", "[s]\r\nname2=\r\n", "s", "name2", ""},
    {"EmptyValueWithBlanks", "[s]\r\nname2=   \r\n", "s", "name2", ""},
    // First match wins.
    {"FirstKeyWins", "[s]\r\nk=1\r\nK=2\r\n", "s", "k", "1"},
    {"FirstSectionWins", "[s]\r\nk=1\r\n[S]\r\nk=2\r\n", "s", "k", "1"},
    {"OnlyFirstSectionSearched", "[s]\r\nk=1\r\n[s]\r\nj=2\r\n", "s", "j", kMissing},
    {"KeyInLaterSection", "[a]\r\nk=1\r\n[b]\r\nk=2\r\n", "b", "k", "2"},
    // Keys before the first section belong to no section.
    {"KeyBeforeFirstSection", "k=0\r\n[s]\r\nj=1\r\n", "s", "k", kMissing},
    // Missing section or key.
    {"MissingSection", "[s]\r\nk=v\r\n", "t", "k", kMissing},
    {"MissingKey", "[s]\r\nk=v\r\n", "s", "j", kMissing},
    {"EmptyFile", "", "s", "k", kMissing},
    {"KeyOfNextSectionNotFound", "[s]\r\n[t]\r\nk=v\r\n", "s", "k", kMissing},
    // Shift-JIS bytes come back as they are ("テスト値").
    {"ShiftJisValue", "[s]\r\nk=\x83\x65\x83\x58\x83\x67\x92\x6c\r\n", "s", "k",
     "\x83\x65\x83\x58\x83\x67\x92\x6c"},
    // A double-byte character is one unit: "ア" (83 41) is not "ヂ" (83 61) even though
    // its trail byte looks like 'A' and the other's like 'a'.
    {"DoubleByteNamesNotCaseFolded", "[\x83\x41]\r\nk=v\r\n", "\x83\x61", "k", kMissing},
    {"DoubleByteNamesMatchExactly", "[\x83\x41]\r\nk=v\r\n", "\x83\x41", "k", "v"},
    // "ゾ" (83 5D) ends in the byte of ']' but closes no section.
    {"TrailByteIsNoBracket", "[\x83\x5d\r\nk=v\r\n", "\x83", "k", kMissing},
    {"DoubleByteSectionWithTrailBracket", "[\x83\x5d]\r\nk=v\r\n", "\x83\x5d", "k", "v"},
    // Empty requested names find nothing, not keys before the first section.
    {"EmptyRequestedKey", "=v\r\n[s]\r\n=w\r\n", "s", "", kMissing},
    {"EmptyRequestedSection", "k=v\r\n[]\r\nk=w\r\n", "", "k", kMissing},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Profile, ProfileReadRules, ::testing::ValuesIn(kReadCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct IntCase {
    const char* name;
    std::optional<std::string_view> stored;  // nullopt: no such key
    std::int32_t expected;
};

void PrintTo(const IntCase& c, std::ostream* os) {
    *os << c.name;
}

class ProfileIntegers : public ::testing::TestWithParam<IntCase> {};

constexpr std::int32_t kIntDefault = 77;

TEST_P(ProfileIntegers, ParsesLikeThePlatform) {
    const IntCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("tessel.ini");
    std::string file = "[s]\r\nother=5\r\n";
    if (c.stored) {
        file.append("k=").append(*c.stored).append("\r\n");
    }
    WriteBytes(path, file);
    EXPECT_EQ(ProfileStore(path).GetProfileInt("s", "k", kIntDefault), c.expected);
}

// clang-format off
const IntCase kIntCases[] = {
    {"One", "1", 1},
    {"PlusOne", "+1", 1},
    {"Quoted", "\"12\"", 12},
    {"MinusOne", "-1", -1},
    {"WrapsModulo2To32", "4294967297", 1},
    {"AllBitsIsMinusOne", "4294967295", -1},
    {"WrapsIntoNegative", "2147483648", INT_MIN},
    {"LargestPositive", "2147483647", INT_MAX},
    {"StopsAtFirstNonDigit", "42A9", 42},
    {"StopsAtBlank", "12 34", 12},
    {"LeadingLetterIsZero", "B42", 0},
    {"Hex", "0x1A", 26},
    {"HexUpperX", "0X1a", 26},
    {"NegativeHex", "-0x10", -16},
    {"HexWraps", "0x100000001", 1},
    {"HexWithoutDigits", "0x", 0},
    {"HexStopsAtNonDigit", "0x1G", 1},
    {"LeadingZeros", "007", 7},
    {"BlanksInsideQuotesSkipped", "\"  7\"", 7},
    {"SignOnly", "-", 0},
    {"TwoSigns", "+-1", 0},
    {"EmptyValueGivesDefault", "", kIntDefault},
    {"EmptyQuotesGiveDefault", "\"\"", kIntDefault},
    {"MissingGivesDefault", std::nullopt, kIntDefault},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Profile, ProfileIntegers, ::testing::ValuesIn(kIntCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileRead, MissingFileGivesDefaultsAndIsNotCreated) {
    TempDir dir;
    const std::string path = dir.File("tessel.ini");
    ProfileStore store(path);
    EXPECT_EQ(store.GetProfileString("Settings", "name", "dflt"), "dflt");
    EXPECT_EQ(store.GetProfileInt("Settings", "port", 3962), 3962);
    EXPECT_EQ(ReadBytes(path), std::nullopt);
    EXPECT_TRUE(test::Entries(dir.path()).empty());
}

TEST(ProfileRead, MissingDirectoryGivesDefaults) {
    TempDir dir;
    ProfileStore store(dir.File("no/such/tessel.ini"));
    EXPECT_EQ(store.GetProfileString("s", "k", "dflt"), "dflt");
    EXPECT_EQ(store.GetProfileInt("s", "k", -3), -3);
}

TEST(ProfileRead, DirectoryInPlaceOfFileGivesDefaults) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("tessel.ini"));
    EXPECT_EQ(ProfileStore(dir.File("tessel.ini")).GetProfileString("s", "k", "dflt"), "dflt");
}

TEST(ProfileRead, EveryReadSeesTheFileAsItIsNow) {
    TempDir dir;
    const std::string path = dir.File("tessel.ini");
    ProfileStore store(path);
    WriteBytes(path, "[s]\r\nk=first\r\n");
    EXPECT_EQ(store.GetProfileString("s", "k", ""), "first");
    WriteBytes(path, "[s]\r\nk=second\r\n");
    EXPECT_EQ(store.GetProfileString("s", "k", ""), "second");
    std::filesystem::remove(path);
    EXPECT_EQ(store.GetProfileString("s", "k", "gone"), "gone");
}

TEST(ProfileRead, FollowsASymbolicLink) {
    TempDir dir;
    WriteBytes(dir.File("real.ini"), "[s]\r\nk=linked\r\n");
    std::filesystem::create_symlink("real.ini", dir.File("tessel.ini"));
    EXPECT_EQ(ProfileStore(dir.File("tessel.ini")).GetProfileString("s", "k", ""), "linked");
}

}  // namespace
}  // namespace tessel
