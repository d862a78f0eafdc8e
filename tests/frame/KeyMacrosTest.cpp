// SPDX-License-Identifier: MIT

#include "frame/KeyMacros.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/TempDir.h"
#include "protocol/ProtocolState.h"
#include "protocol/TextFormat.h"
#include "support/Bytes.h"

namespace tessel {
namespace {

using test::Bytes;
using test::TempDir;
using test::WriteBytes;

class KeyMacrosTest : public ::testing::Test {
  protected:
    KeyMacrosTest()
        : macros_(dir_.path() + "/",
                  KeyMacros::Hooks{[this] { return connected_; },
                                   [this](std::string_view c) { sent_.emplace_back(c); },
                                   [this](std::string_view n) { notices_.emplace_back(n); },
                                   &ownFiles_}) {
        ResetProtocolState();
    }
    ~KeyMacrosTest() override { ResetProtocolState(); }

    // Writes a key file under the start-up directory and loads it as the dialog would.
    bool Load(std::string_view name, std::string_view bytes) {
        WriteBytes(dir_.File(name), bytes);
        return macros_.LoadKeyFile(dir_.File(name));
    }

    // Every slot as it stands: 36 Ctrl+Shift slots, then 24 function key slots.
    std::vector<std::string> AllSlots() const {
        std::vector<std::string> slots;
        for (std::size_t i = 0; i < kCtrlShiftMacroCount; ++i) {
            slots.emplace_back(macros_.CtrlShiftMacro(i));
        }
        for (std::size_t i = 0; i < kFunctionKeyMacroCount; ++i) {
            slots.emplace_back(macros_.FunctionKeyMacro(i));
        }
        return slots;
    }

    TempDir dir_;
    bool connected_ = false;
    std::vector<std::string> sent_;
    std::vector<std::string> notices_;
    OwnFiles ownFiles_;
    KeyMacros macros_;
};

// Index into AllSlots().
constexpr std::size_t CtrlShift(std::size_t slot) {
    return slot;
}
constexpr std::size_t Fkey(std::size_t slot) {
    return kCtrlShiftMacroCount + slot;
}

// ---------------------------------------------------------------------------------------
// Which key names which slot

struct KeyCase {
    std::string_view key;
    std::optional<std::size_t> slot;  // index into AllSlots(), or none
};

// clang-format off
const KeyCase kKeyCases[] = {
    {"0", CtrlShift(0)},   {"9", CtrlShift(9)},
    {"A", CtrlShift(10)},  {"M", CtrlShift(22)},  {"Z", CtrlShift(35)},
    {"f1", Fkey(0)},       {"f12", Fkey(11)},
    // f13 to f24 reach Shift+F1 to Shift+F12, exactly as sf1 to sf12 do.
    {"f13", Fkey(12)},     {"f24", Fkey(23)},
    {"sf1", Fkey(12)},     {"sf12", Fkey(23)},
    // The number is read as atoi reads it.
    {"f1abc", Fkey(0)},    {"f 3", Fkey(2)},      {"f+4", Fkey(3)},    {"f\t5", Fkey(4)},
    {"sf 2", Fkey(13)},    {"f007", Fkey(6)},
    // Only the low eight bits of the number count.
    {"f257", Fkey(0)},     {"f256", std::nullopt}, {"f-255", Fkey(0)},
    // No number, zero, or a slot outside the table: nothing.
    {"f", std::nullopt},   {"f0", std::nullopt},   {"fx1", std::nullopt},
    {"f25", std::nullopt}, {"f255", std::nullopt}, {"f-1", std::nullopt},
    {"sf13", std::nullopt}, {"sf0", std::nullopt}, {"sf", std::nullopt},
    {"f99999999999", std::nullopt}, {"f-99999999999", std::nullopt},
    // Keys are case-sensitive; other single characters define nothing.
    {"a", std::nullopt},   {"z", std::nullopt},   {"F1", std::nullopt},  {"SF1", std::nullopt},
    {"!", std::nullopt},   {"AB", std::nullopt},  {"10", std::nullopt},  {"", std::nullopt},
    {"\x82\x60", std::nullopt},  // full-width "Ａ"
};
// clang-format on

TEST(KeyMacroKeys, EachKeyNamesItsSlotOrNone) {
    for (const KeyCase& c : kKeyCases) {
        SCOPED_TRACE(std::string("key \"") + std::string(c.key) + "\"");
        TempDir dir;
        KeyMacros macros(dir.path() + "/", {});
        WriteBytes(dir.File("k.key"), std::string(c.key) + "=X\n");
        ASSERT_TRUE(macros.LoadKeyFile(dir.File("k.key")));
        std::vector<std::string> expected(kCtrlShiftMacroCount + kFunctionKeyMacroCount);
        if (c.slot) {
            expected[*c.slot] = "X";
        }
        std::vector<std::string> actual;
        for (std::size_t i = 0; i < kCtrlShiftMacroCount; ++i) {
            actual.emplace_back(macros.CtrlShiftMacro(i));
        }
        for (std::size_t i = 0; i < kFunctionKeyMacroCount; ++i) {
            actual.emplace_back(macros.FunctionKeyMacro(i));
        }
        EXPECT_EQ(actual, expected);
    }
}

TEST_F(KeyMacrosTest, CommandIdsReachTheirSlots) {
    ASSERT_TRUE(Load("k.key", "0=zero\nZ=zed\nf1=one\nsf12=last\n"));
    EXPECT_EQ(macros_.MacroForCommand(32814), "zero");
    EXPECT_EQ(macros_.MacroForCommand(32849), "zed");
    EXPECT_EQ(macros_.MacroForCommand(32904), "one");
    EXPECT_EQ(macros_.MacroForCommand(32927), "last");
    EXPECT_EQ(macros_.MacroForCommand(32815), "");  // bound to nothing
    EXPECT_EQ(macros_.MacroForCommand(32813), std::nullopt);
    EXPECT_EQ(macros_.MacroForCommand(32850), std::nullopt);  // the dialog, not a macro
    EXPECT_EQ(macros_.MacroForCommand(32903), std::nullopt);
    EXPECT_EQ(macros_.MacroForCommand(32928), std::nullopt);
    EXPECT_EQ(macros_.CtrlShiftMacro(36), "");
    EXPECT_EQ(macros_.FunctionKeyMacro(24), "");
}

// ---------------------------------------------------------------------------------------
// Lines and values

TEST_F(KeyMacrosTest, BlanksAroundTheEqualsSignAreNotPartOfKeyOrValue) {
    ASSERT_TRUE(Load("k.key",
                     "  A  =  hello world  \n"
                     "\tB\t=\ta=b = c\t\n"
                     "C=\n"
                     "D==\n"));
    EXPECT_EQ(macros_.CtrlShiftMacro(10), "hello world");
    EXPECT_EQ(macros_.CtrlShiftMacro(11), "a=b = c");  // everything after the first "="
    EXPECT_EQ(macros_.CtrlShiftMacro(12), "");
    EXPECT_EQ(macros_.CtrlShiftMacro(13), "=");
}

TEST_F(KeyMacrosTest, CrLfAndLfLineEndsAndALastLineWithoutEnd) {
    ASSERT_TRUE(Load("k.key", "A=one\r\nB=two\nC=three\r\n\r\nD=four"));
    EXPECT_EQ(Bytes(macros_.CtrlShiftMacro(10)), Bytes("one"));
    EXPECT_EQ(Bytes(macros_.CtrlShiftMacro(11)), Bytes("two"));
    EXPECT_EQ(Bytes(macros_.CtrlShiftMacro(12)), Bytes("three"));
    EXPECT_EQ(Bytes(macros_.CtrlShiftMacro(13)), Bytes("four"));
}

TEST_F(KeyMacrosTest, LinesWithoutEqualsAndUnknownKeysAreIgnored) {
    ASSERT_TRUE(Load("k.key",
                     "; a comment\n"
                     "A hello\n"
                     "Include=other.key\n"
                     "SPROLL=3d6\n"
                     "Exec=JOIN x\n"
                     "macro=text\n"
                     "B=kept\n"));
    std::vector<std::string> expected(kCtrlShiftMacroCount + kFunctionKeyMacroCount);
    expected[CtrlShift(11)] = "kept";
    EXPECT_EQ(AllSlots(), expected);
    EXPECT_EQ(SprollText(), "");
    EXPECT_EQ(macros_.DeferredExec(), "");
}

TEST_F(KeyMacrosTest, ShiftJisValuesAreKeptByteForByte) {
    // "表示" (0x95 0x5C 0x8E 0xA6): the second byte of "表" is a backslash.
    ASSERT_TRUE(Load("k.key", "A=\x95\x5c\x8e\xa6 %1\r\n"));
    EXPECT_EQ(Bytes(macros_.CtrlShiftMacro(10)), Bytes("\x95\x5c\x8e\xa6 %1"));
}

TEST_F(KeyMacrosTest, LaterDefinitionsReplaceEarlierOnes) {
    ASSERT_TRUE(Load("k.key", "f13=first\nsf1=second\nA=a1\nA=a2\n"));
    EXPECT_EQ(macros_.FunctionKeyMacro(12), "second");
    EXPECT_EQ(macros_.CtrlShiftMacro(10), "a2");
}

TEST_F(KeyMacrosTest, ValuesAreCutToSixtyThreeBytes) {
    const std::string longValue = std::string(60, 'x') + "0123456789";
    ASSERT_TRUE(Load("k.key", "A=" + longValue + "\nf2=" + std::string(63, 'y') +
                                  "\nsproll=" + longValue + "\n"));
    EXPECT_EQ(macros_.CtrlShiftMacro(10), std::string(60, 'x') + "012");
    EXPECT_EQ(macros_.FunctionKeyMacro(1), std::string(63, 'y'));
    EXPECT_EQ(SprollText(), std::string(60, 'x') + "012");
}

TEST_F(KeyMacrosTest, ASecondFileChangesOnlyTheSlotsItNames) {
    ASSERT_TRUE(Load("one.key", "A=first A\nB=first B\nf1=first F1\n"));
    ASSERT_TRUE(Load("two.key", "B=second B\nf2=second F2\n"));
    EXPECT_EQ(macros_.CtrlShiftMacro(10), "first A");
    EXPECT_EQ(macros_.CtrlShiftMacro(11), "second B");
    EXPECT_EQ(macros_.FunctionKeyMacro(0), "first F1");
    EXPECT_EQ(macros_.FunctionKeyMacro(1), "second F2");
}

TEST_F(KeyMacrosTest, FileThatCannotBeOpenedChangesNothing) {
    ASSERT_TRUE(Load("k.key", "A=kept\n"));
    EXPECT_FALSE(macros_.LoadKeyFile(dir_.File("missing.key")));
    EXPECT_FALSE(macros_.LoadKeyFile(dir_.path()));  // a directory is no key file
    EXPECT_FALSE(macros_.LoadKeyFile(""));
    EXPECT_EQ(macros_.CtrlShiftMacro(10), "kept");
}

TEST_F(KeyMacrosTest, OnlyRegularFilesAreReadAndNoneIsWaitedOn) {
    ASSERT_EQ(::mkfifo(dir_.File("fifo.key").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir_.File("zero.key"));
    EXPECT_FALSE(macros_.LoadKeyFile(dir_.File("fifo.key")));
    EXPECT_FALSE(macros_.LoadKeyFile(dir_.File("zero.key")));
    EXPECT_FALSE(macros_.LoadKeyFile("/dev/urandom"));
    ASSERT_TRUE(Load("main.key",
                     "A=before\ninclude=fifo.key\ninclude=zero.key\ninclude=../../dev/urandom\n"
                     "B=after\n"));
    EXPECT_EQ(macros_.CtrlShiftMacro(10), "before");
    EXPECT_EQ(macros_.CtrlShiftMacro(11), "after");
    EXPECT_TRUE(notices_.empty());
}

TEST_F(KeyMacrosTest, AKeyFileOverTheLimitIsRefusedWithANotice) {
    std::string largest = "A=largest\n";
    largest.resize(kMaxKeyFileSize, '#');
    EXPECT_TRUE(Load("largest.key", largest));
    EXPECT_EQ(macros_.CtrlShiftMacro(10), "largest");
    EXPECT_TRUE(notices_.empty());

    std::string larger = "A=larger\n";
    larger.resize(kMaxKeyFileSize + 1, '#');
    EXPECT_FALSE(Load("larger.key", larger));
    EXPECT_EQ(macros_.CtrlShiftMacro(10), "largest");
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0], FillText(kFileTooLargeText,
                                    {dir_.File("larger.key"), std::to_string(kMaxKeyFileSize)}));
}

TEST_F(KeyMacrosTest, KeyFilesAndTheirIncludesBecomeOwnFiles) {
    ASSERT_TRUE(Load("main.key", "include=inc.key\n"));  // inc.key does not exist yet
    EXPECT_TRUE(ownFiles_.IsOwnName(dir_.path() + "/", "main.key"));
    EXPECT_TRUE(ownFiles_.IsOwnName(dir_.path() + "/", "inc.key"));
    EXPECT_FALSE(ownFiles_.IsOwnName(dir_.path() + "/", "other.key"));
}

TEST_F(KeyMacrosTest, AJapaneseKeyFileNameIsUtf8OnDisk) {
    // "ダイス.key"
    WriteBytes(dir_.File("\xe3\x83\x80\xe3\x82\xa4\xe3\x82\xb9.key"), "A=dice\n");
    EXPECT_TRUE(macros_.LoadChosenKeyFile(dir_.File("\x83\x5f\x83\x43\x83\x58.key")));
    EXPECT_EQ(macros_.CtrlShiftMacro(10), "dice");
}

TEST_F(KeyMacrosTest, SprollSetsTheRollShortcut) {
    ASSERT_TRUE(Load("k.key", "sproll = 2d6+3\n"));
    EXPECT_EQ(SprollText(), "2d6+3");
}

// ---------------------------------------------------------------------------------------
// include

TEST_F(KeyMacrosTest, IncludeTakesEffectAtItsPositionAndGoesOnlyOneLevelDeep) {
    WriteBytes(dir_.File("inc.key"), "A=from include\nC=include C\ninclude=deep.key\n");
    WriteBytes(dir_.File("deep.key"), "D=too deep\n");
    ASSERT_TRUE(Load("main.key", "A=main A\ninclude = inc.key\nB=main B\nC=main C\n"));
    EXPECT_EQ(macros_.CtrlShiftMacro(10), "from include");
    EXPECT_EQ(macros_.CtrlShiftMacro(11), "main B");
    EXPECT_EQ(macros_.CtrlShiftMacro(12), "main C");
    EXPECT_EQ(macros_.CtrlShiftMacro(13), "");
}

TEST_F(KeyMacrosTest, IncludeIsRelativeToTheStartupDirectory) {
    std::filesystem::create_directory(dir_.File("sub"));
    WriteBytes(dir_.File("inc.key"), "A=startup directory\n");
    WriteBytes(dir_.File("sub/inc.key"), "A=beside the including file\n");
    ASSERT_TRUE(Load("sub/main.key", "include=inc.key\n"));
    EXPECT_EQ(macros_.CtrlShiftMacro(10), "startup directory");
}

TEST_F(KeyMacrosTest, MissingIncludeIsSkipped) {
    ASSERT_TRUE(Load("main.key", "A=before\ninclude=nothere.key\nB=after\n"));
    EXPECT_EQ(macros_.CtrlShiftMacro(10), "before");
    EXPECT_EQ(macros_.CtrlShiftMacro(11), "after");
}

TEST_F(KeyMacrosTest, FileIncludingItselfIsReadTwiceAndStops) {
    ASSERT_TRUE(Load("self.key", "exec=again\ninclude=self.key\n"));
    connected_ = true;
    ASSERT_TRUE(macros_.LoadKeyFile(dir_.File("self.key")));
    EXPECT_EQ(sent_, (std::vector<std::string>{"again", "again"}));
}

// ---------------------------------------------------------------------------------------
// exec

TEST_F(KeyMacrosTest, ExecWaitsForTheConnectionWhenNotConnected) {
    ASSERT_TRUE(Load("k.key", "exec=JOIN first\nexec = JOIN second\n"));
    EXPECT_TRUE(sent_.empty());
    EXPECT_EQ(macros_.DeferredExec(), "JOIN second");  // the last one replaces the first
    EXPECT_EQ(macros_.TakeDeferredExec(), "JOIN second");
    EXPECT_EQ(macros_.DeferredExec(), "");
}

TEST_F(KeyMacrosTest, ExecIsSentAtOnceWhileConnected) {
    connected_ = true;
    ASSERT_TRUE(Load("k.key", "exec=JOIN first\nA=x\nexec=JOIN second\n"));
    EXPECT_EQ(sent_, (std::vector<std::string>{"JOIN first", "JOIN second"}));
    EXPECT_EQ(macros_.DeferredExec(), "");
}

TEST_F(KeyMacrosTest, ExecTooLongForTheMailboxIsNeitherSentNorKept) {
    const std::string fits(kMaxRequestTextLength, 'c');
    const std::string tooLong(kMaxRequestTextLength + 1, 'c');
    ASSERT_TRUE(Load("k.key", "exec=" + fits + "\nexec=" + tooLong + "\n"));
    EXPECT_EQ(macros_.DeferredExec(), fits);
    connected_ = true;
    ASSERT_TRUE(Load("k.key", "exec=" + tooLong + "\n"));
    EXPECT_TRUE(sent_.empty());
}

// ---------------------------------------------------------------------------------------
// The default file and the dialog's file name

TEST_F(KeyMacrosTest, MissingDefaultFileIsNoErrorAndLeavesNoName) {
    EXPECT_FALSE(macros_.LoadDefaultKeyFile());
    EXPECT_EQ(macros_.KeyFileName(), "");
    EXPECT_EQ(macros_.KeyConfigPath(), dir_.path() + "/");
}

TEST_F(KeyMacrosTest, DefaultFileDefersItsExecAndNamesItself) {
    WriteBytes(dir_.File("tessel.key"), "A=default\nexec=JOIN dice\n");
    EXPECT_TRUE(macros_.LoadDefaultKeyFile());
    EXPECT_EQ(macros_.KeyFileName(), "tessel.key");
    EXPECT_EQ(macros_.KeyConfigPath(), dir_.File("tessel.key"));
    EXPECT_EQ(macros_.CtrlShiftMacro(10), "default");
    EXPECT_EQ(macros_.DeferredExec(), "JOIN dice");
}

TEST_F(KeyMacrosTest, ChosenFileNameIsWhatFollowsTheLastSeparator) {
    std::filesystem::create_directory(dir_.File("keys"));
    WriteBytes(dir_.File("keys/dice.key"), "A=dice\n");
    EXPECT_TRUE(macros_.LoadChosenKeyFile(dir_.File("keys/dice.key")));
    EXPECT_EQ(macros_.KeyFileName(), "dice.key");
    EXPECT_FALSE(macros_.LoadChosenKeyFile(dir_.File("keys/none.key")));
    EXPECT_EQ(macros_.KeyFileName(), "dice.key");
}

// ---------------------------------------------------------------------------------------
// Expanding a macro's text

struct ExpandCase {
    std::string_view macro;
    std::string_view line;
    std::string_view expected;
    bool hadPlaceholder;
};

// clang-format off
const ExpandCase kExpandCases[] = {
    {"%1 %2", "hello world", "hello world", true},
    {"GETUSER", "anything at all", "GETUSER", false},
    {"GETUSER", "", "GETUSER", false},
    // A line that begins with a blank has an empty first word.
    {"[%1][%2]", " hello world", "[][hello]", true},
    {"%1-%2", "", "-", true},
    {"%3", "a\tb  \t c", "c", true},
    {"%1%1%1", "ab", "ababab", true},
    {"%5 %4 %3 %2 %1", "1 2 3 4 5 6", "5 4 3 2 1", true},
    // Placeholders from 6 on are left alone; %10 is word 1 and a 0.
    {"%6 %10", "hello world", "%6 hello0", true},
    {"100%", "x", "100%", false},
    {"%%1", "x", "%x", true},
    // A word may bring in a later placeholder, never an earlier one.
    {"%1", "%2 x", "x", true},
    {"%2", "%1 x", "x", true},
    {"%2", "y %1", "%1", true},
    // What a word brings in is not searched again for the same placeholder.
    {"%1", "a%1", "a%1", true},
    {"%1", "%1", "%1", true},
};
// clang-format on

TEST(ExpandMacroText, ReplacesPlaceholdersWithTheWordsOfTheLine) {
    for (const ExpandCase& c : kExpandCases) {
        const MacroExpansion result = ExpandMacroText(c.macro, c.line);
        EXPECT_EQ(Bytes(result.text), Bytes(c.expected)) << c.macro << " / " << c.line;
        EXPECT_EQ(result.hadPlaceholder, c.hadPlaceholder) << c.macro << " / " << c.line;
        EXPECT_TRUE(result.fits);
    }
}

TEST(ExpandMacroText, ReadsOnlyTheFirst255BytesOfTheLine) {
    EXPECT_EQ(ExpandMacroText("%2", std::string(250, 'a') + " abcdefgh").text, "abcd");
    EXPECT_EQ(ExpandMacroText("%2", std::string(254, 'a') + " abcdefgh").text, "");
}

TEST(ExpandMacroText, TextThatOutgrowsTheMailboxIsRefused) {
    const std::string word(255, 'w');
    // 17 words of 255 bytes and 16 more bytes: exactly 4351.
    const std::string exact = [] {
        std::string m;
        for (int i = 0; i < 17; ++i) {
            m += "%1";
        }
        return m;
    }();
    const MacroExpansion fits = ExpandMacroText(exact + std::string(16, 'x'), word);
    EXPECT_TRUE(fits.fits);
    EXPECT_EQ(fits.text.size(), kMaxRequestTextLength);
    EXPECT_EQ(ExpandMacroText(exact + std::string(17, 'x'), word),
              (MacroExpansion{.text = {}, .hadPlaceholder = false, .fits = false}));
}

TEST(ExpandMacroText, WordsThatMultiplyPlaceholdersAreBounded) {
    std::string macro;
    for (int i = 0; i < 31; ++i) {
        macro += "%1";
    }
    std::string line;
    for (int i = 0; i < 60; ++i) {
        line += "%2";
    }
    line += " " + std::string(130, 'b');
    const MacroExpansion result = ExpandMacroText(macro, line);
    EXPECT_FALSE(result.fits);
    EXPECT_EQ(result.text, "");
}

}  // namespace
}  // namespace tessel
