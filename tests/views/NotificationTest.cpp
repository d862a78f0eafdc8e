// SPDX-License-Identifier: MIT

#include "views/Notification.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace tessel {
namespace {

class RecordingSoundPlayer : public SoundPlayer {
  public:
    void Play(const std::string& path) override { played.push_back(path); }
    std::vector<std::string> played;
};

constexpr const char* kSound = "sounds/call.wav";

DisplayItem Chat(std::string name, std::string text, std::int32_t systemName = 0) {
    DisplayItem item;
    item.kind = DisplayKind::Chat;
    item.name = std::move(name);
    item.text = std::move(text);
    item.systemName = systemName;
    return item;
}

NotifySettings Settings(std::int32_t mode, std::array<std::string, 4> strings) {
    NotifySettings settings;
    settings.mode = mode;
    settings.strings = std::move(strings);
    settings.soundFile = kSound;
    return settings;
}

struct NotifyCase {
    const char* what;
    std::int32_t mode;
    std::array<std::string, 4> strings;
    std::string ownHandle;
    std::string speaker;
    std::string text;
    bool sounds;
};

class NotifyRuleTest : public ::testing::TestWithParam<NotifyCase> {};

TEST_P(NotifyRuleTest, PlaysTheSoundOnlyWhenTheRulesSaySo) {
    const NotifyCase& c = GetParam();
    RecordingSoundPlayer player;
    const bool played =
        NotifyCheck(Chat(c.speaker, c.text), c.ownHandle, Settings(c.mode, c.strings), player);
    EXPECT_EQ(played, c.sounds) << c.what;
    EXPECT_EQ(player.played,
              c.sounds ? std::vector<std::string>{kSound} : std::vector<std::string>{})
        << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, NotifyRuleTest,
    ::testing::Values(
        NotifyCase{"mode 0 never sounds", 0, {"taro"}, "jiro", "hanako", "hello taro", false},
        NotifyCase{"mode 1: a notify string in another user's line",
                   1,
                   {"taro"},
                   "jiro",
                   "hanako",
                   "hello taro",
                   true},
        NotifyCase{"mode 1: the same line sent by the user",
                   1,
                   {"taro"},
                   "jiro",
                   "jiro",
                   "hello taro",
                   false},
        NotifyCase{
            "lines from system never sound", 1, {"taro"}, "jiro", "system", "hello taro", false},
        NotifyCase{
            "mode 1 ignores the own handle", 1, {"taro"}, "jiro", "hanako", "hi jiro", false},
        NotifyCase{"mode 2: the own handle in another user's line",
                   2,
                   {},
                   "jiro",
                   "hanako",
                   "hi jiro",
                   true},
        NotifyCase{"mode 2: the own handle in the user's own line",
                   2,
                   {},
                   "jiro",
                   "jiro",
                   "I am jiro",
                   false},
        NotifyCase{"mode 2: the own handle in a system line",
                   2,
                   {},
                   "jiro",
                   "system",
                   "jiro joined",
                   false},
        NotifyCase{"mode 2: notify strings still count",
                   2,
                   {"", "", "taro"},
                   "jiro",
                   "hanako",
                   "hello taro",
                   true},
        NotifyCase{"mode 2 without a confirmed handle: the strings count",
                   2,
                   {"taro"},
                   "",
                   "hanako",
                   "hello taro",
                   true},
        NotifyCase{"mode 2 without a confirmed handle: nothing else does",
                   2,
                   {"taro"},
                   "",
                   "hanako",
                   "hello",
                   false},
        NotifyCase{"other modes behave as mode 1 (string)",
                   5,
                   {"taro"},
                   "jiro",
                   "hanako",
                   "hello taro",
                   true},
        NotifyCase{"other modes behave as mode 1 (handle)",
                   5,
                   {"taro"},
                   "jiro",
                   "hanako",
                   "hi jiro",
                   false},
        NotifyCase{
            "negative modes behave as mode 1", -1, {"taro"}, "jiro", "hanako", "hi jiro", false},
        NotifyCase{
            "the speaker's name is never searched", 1, {"taro"}, "jiro", "taro", "hello", false},
        NotifyCase{
            "empty strings take no part", 1, {"", "", "", ""}, "jiro", "hanako", "hello", false},
        NotifyCase{
            "the fourth string counts", 1, {"", "", "", "lo"}, "jiro", "hanako", "hello", true},
        NotifyCase{"case matters", 1, {"Taro"}, "jiro", "hanako", "hello taro", false},
        NotifyCase{"a double-byte string matches whole characters",
                   1,
                   {"\x82\xA2"},
                   "jiro",
                   "hanako",
                   "\x82\xA0\x82\xA2",
                   true},
        // あい is 0x82 0xA0 0x82 0xA2: the bytes 0xA0 0x82 straddle the two characters.
        NotifyCase{"a match across a character boundary does not count",
                   1,
                   {"\xA0\x82"},
                   "jiro",
                   "hanako",
                   "\x82\xA0\x82\xA2",
                   false},
        // ア is 0x83 0x41: its trail byte is the letter A, which is not in the text.
        NotifyCase{
            "a trail byte is not an ASCII letter", 1, {"A"}, "jiro", "hanako", "\x83\x41", false},
        NotifyCase{"a handle hidden in trail bytes does not count",
                   2,
                   {},
                   "A",
                   "hanako",
                   "\x83\x41",
                   false}));

TEST(NotifyCheckTest, HandleAndStringInOneLineSoundOnce) {
    RecordingSoundPlayer player;
    EXPECT_TRUE(NotifyCheck(Chat("hanako", "jiro and taro"), "jiro",
                            Settings(2, {"taro", "jiro", "and"}), player));
    EXPECT_EQ(player.played, std::vector<std::string>{kSound});
}

TEST(NotifyCheckTest, OnlyChatLinesFromUsersCanSound) {
    RecordingSoundPlayer player;
    const NotifySettings settings = Settings(2, {"taro"});
    EXPECT_FALSE(NotifyCheck(Chat("hanako", "taro jiro", 1), "jiro", settings, player));
    DisplayItem notice = Chat("hanako", "taro jiro");
    notice.kind = DisplayKind::System;
    EXPECT_FALSE(NotifyCheck(notice, "jiro", settings, player));
    DisplayItem roll = Chat("hanako", "taro jiro");
    roll.kind = DisplayKind::Roll;
    EXPECT_FALSE(NotifyCheck(roll, "jiro", settings, player));
    EXPECT_TRUE(player.played.empty());
}

TEST(NotifyCheckTest, TheStoredSoundPathIsPlayedUnchanged) {
    RecordingSoundPlayer player;
    NotifySettings settings = Settings(1, {"taro"});
    settings.soundFile = "bell";  // no directory, no extension: played as it is
    NotifyCheck(Chat("hanako", "taro"), "jiro", settings, player);
    EXPECT_EQ(player.played, std::vector<std::string>{"bell"});
}

TEST(ContainsShiftJisTest, MatchesStartAndEndOnCharacterBoundaries) {
    EXPECT_TRUE(ContainsShiftJis("hello taro", "taro"));
    EXPECT_TRUE(ContainsShiftJis("taro", "taro"));
    EXPECT_FALSE(ContainsShiftJis("tar", "taro"));
    EXPECT_FALSE(ContainsShiftJis("anything", ""));
    EXPECT_FALSE(ContainsShiftJis("", "a"));
    // A needle ending in a lead byte would take half of the character that follows.
    EXPECT_FALSE(ContainsShiftJis("\x82\xA0", "\x82"));
    // 表 is 0x95 0x5C: its trail byte is a backslash.
    EXPECT_FALSE(ContainsShiftJis("\x95\x5C", "\\"));
    EXPECT_TRUE(ContainsShiftJis("\x95\x5C\\", "\\"));
    // A half-width katakana byte is a character of its own.
    EXPECT_TRUE(ContainsShiftJis("\xB1\x82\xA0", "\x82\xA0"));
}

}  // namespace
}  // namespace tessel
