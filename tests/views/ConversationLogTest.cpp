// SPDX-License-Identifier: MIT

#include "views/ConversationLog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "frame/TempDir.h"
#include "support/Bytes.h"

namespace tessel {
namespace {

using test::Bytes;
using test::Entries;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// 5 March 2026, 14:07:09.
std::tm FixedTime() {
    std::tm time{};
    time.tm_year = 2026 - 1900;
    time.tm_mon = 2;
    time.tm_mday = 5;
    time.tm_hour = 14;
    time.tm_min = 7;
    time.tm_sec = 9;
    return time;
}

std::string Contents(const std::string& path) {
    return ReadBytes(path).value_or("");
}

// ---------------------------------------------------------------------------------------
// Tag expansion

struct ExpandCase {
    std::string_view pattern;
    std::string_view channel;
    std::string_view handle;
    std::string_view expected;
};

TEST(ExpandLogName, ReplacesEveryTagInItsOrder) {
    const ExpandCase cases[] = {
        {"tsl%y%m%d.log", "", "", "tsl260305.log"},
        {"%Y-%m-%d_%H%M%S.log", "", "", "2026-03-05_140709.log"},
        {"%y%y%Y", "", "", "26262026"},
        {"%C-%N.log", "", "", "-.log"},
        {"%C-%N.log", "dice", "taro", "dice-taro.log"},
        // Tags are case-sensitive: %D, %c and %n are left alone.
        {"%D%c%n%", "dice", "taro", "%D%c%n%"},
        // A channel carrying %N gets the handle there; date tags in it stay as they are,
        // having been replaced before the channel went in.
        {"%C.log", "a%Nb", "taro", "atarob.log"},
        {"%C.log", "x%y", "taro", "x%y.log"},
        // The channel's own "%C" is not expanded again.
        {"[%C]", "%C", "", "[%C]"},
    };
    for (const ExpandCase& c : cases) {
        EXPECT_EQ(Bytes(ExpandLogName(c.pattern, kLogNameSize, FixedTime(), c.channel, c.handle)),
                  Bytes(c.expected))
            << c.pattern << " with " << c.channel << "/" << c.handle;
    }
}

TEST(ExpandLogName, ZeroPadsEverySmallNumber) {
    std::tm time{};
    time.tm_year = 2003 - 1900;
    time.tm_mon = 0;
    time.tm_mday = 1;
    EXPECT_EQ(ExpandLogName("%Y %y %m %d %H %M %S", kLogNameSize, time, "", ""),
              "2003 03 01 01 00 00 00");
}

TEST(ExpandLogName, HoldsAtMostSizeMinusOneBytes) {
    const std::string pattern(300, 'a');
    EXPECT_EQ(ExpandLogName(pattern, 256, FixedTime(), "", ""), std::string(255, 'a'));
    EXPECT_EQ(ExpandLogName(pattern, 255, FixedTime(), "", ""), std::string(254, 'a'));
    EXPECT_EQ(ExpandLogName(pattern, 1, FixedTime(), "", ""), "");
    EXPECT_EQ(ExpandLogName(pattern, 0, FixedTime(), "", ""), "");
    // A tag near the end is expanded before the cut.
    EXPECT_EQ(ExpandLogName(std::string(252, 'a') + "%Y", 256, FixedTime(), "", ""),
              std::string(252, 'a') + "202");
}

TEST(ExpandLogName, NeverCutsADoubleByteCharacterInHalf) {
    // "あ" is 0x82 0xA0; after 254 bytes of "a" only its first byte would still fit.
    const std::string pattern = std::string(254, 'a') + "\x82\xa0";
    EXPECT_EQ(Bytes(ExpandLogName(pattern, 256, FixedTime(), "", "")),
              Bytes(std::string(254, 'a')));
    EXPECT_EQ(Bytes(ExpandLogName(pattern, 257, FixedTime(), "", "")), Bytes(pattern));
}

TEST(ExpandLogName, NamesCannotLeaveTheDirectory) {
    const ExpandCase cases[] = {
        {"%C/%N.log", "../../etc", "..", "______etc/__.log"},
        {"%C", "..", "", "__"},
        {"%C%N", ".", ".", "__"},
        {"x%C.log", "/tmp/evil", "", "x_tmp_evil.log"},
        // "." and "/" never occur as the second byte of a Shift-JIS character, so
        // double-byte names come through whole: "表" is 0x95 0x5C.
        {"%N.log", "", "\x95\x5c", "\x95\x5c.log"},
    };
    for (const ExpandCase& c : cases) {
        EXPECT_EQ(Bytes(ExpandLogName(c.pattern, kLogNameSize, FixedTime(), c.channel, c.handle)),
                  Bytes(c.expected))
            << c.pattern << " with " << c.channel << "/" << c.handle;
    }
}

TEST(LogWriteFailedNotice, NamesTheStoppedLogInJapanese) {
    // "ログファイルに書き込めないため、ログを停止しました: /tmp/x.log" and a line end.
    EXPECT_EQ(Bytes(LogWriteFailedNotice("/tmp/x.log")),
              Bytes("\x83\x8d\x83\x4f\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xc9\x8f\x91\x82\xab"
                    "\x8d\x9e\x82\xdf\x82\xc8\x82\xa2\x82\xbd\x82\xdf\x81\x41\x83\x8d\x83\x4f"
                    "\x82\xf0\x92\xe2\x8e\x7e\x82\xb5\x82\xdc\x82\xb5\x82\xbd: /tmp/x.log\r\n"));
}

// ---------------------------------------------------------------------------------------
// The log object

class ConversationLogTest : public ::testing::Test {
  protected:
    ConversationLogTest() : settings_(*Settings::Open(dir_.path())) {
        std::filesystem::create_directory(dir_.File("auto"));
    }

    // The automatic log goes to auto/ unless a test says otherwise.
    void UseAutoLogDirectory() { settings_.SetString(SettingKey::logdir, AutoDir()); }
    std::string AutoDir() const { return dir_.File("auto") + "/"; }
    std::string AutoFile() const { return AutoDir() + "tsl260305.log"; }

    std::unique_ptr<ConversationLog> MakeLog() {
        ConversationLog::Hooks hooks;
        hooks.localTime = [] { return FixedTime(); };
        hooks.currentNames = [this] { return names_; };
        hooks.titleChanged = [this] { ++titleRefreshes_; };
        return std::make_unique<ConversationLog>(settings_, hooks);
    }

    TempDir dir_;
    Settings settings_;
    LogNames names_;
    std::atomic<int> titleRefreshes_{0};
};

// The four states of the log, named by what the user sees.
enum class State { kNoLog, kManualOpen, kAutoOpen, kAutoClosed };
enum class Action { kManualOk, kManualFails, kToggle, kStop, kRefresh };

const char* Name(State s) {
    switch (s) {
        case State::kNoLog:
            return "no log";
        case State::kManualOpen:
            return "manual log open";
        case State::kAutoOpen:
            return "automatic log open";
        case State::kAutoClosed:
            return "automatic log on, file closed";
    }
    return "?";
}

const char* Name(Action a) {
    switch (a) {
        case Action::kManualOk:
            return "manual log confirmed";
        case Action::kManualFails:
            return "manual log that cannot open";
        case Action::kToggle:
            return "automatic log toggled";
        case Action::kStop:
            return "log stopped";
        case Action::kRefresh:
            return "automatic log refreshed";
    }
    return "?";
}

struct Transition {
    State from;
    Action action;
    State to;
    std::string_view fileWithLine;  // where a line written afterwards lands ("" for nowhere)
    int titleRefreshes;
    std::int32_t storedAutoLog;  // autolog in tessel.ini afterwards
};

// Manual logs are chosen in the automatic log's directory, so the log directory the manual
// log leaves behind is the automatic log's as well.
constexpr std::string_view kManual = "auto/manual.log";
constexpr std::string_view kManual2 = "auto/manual2.log";
constexpr std::string_view kAuto = "auto/tsl260305.log";

// clang-format off
const Transition kTransitions[] = {
    {State::kNoLog,      Action::kManualOk,    State::kManualOpen, kManual2, 1, 0},
    {State::kNoLog,      Action::kManualFails, State::kNoLog,      "",       1, 0},
    {State::kNoLog,      Action::kToggle,      State::kAutoOpen,   kAuto,    1, 1},
    {State::kNoLog,      Action::kStop,        State::kNoLog,      "",       1, 0},
    {State::kNoLog,      Action::kRefresh,     State::kNoLog,      "",       0, 0},
    {State::kManualOpen, Action::kManualOk,    State::kManualOpen, kManual2, 1, 0},
    {State::kManualOpen, Action::kManualFails, State::kNoLog,      "",       1, 0},
    {State::kManualOpen, Action::kToggle,      State::kAutoOpen,   kAuto,    1, 1},
    {State::kManualOpen, Action::kStop,        State::kNoLog,      "",       1, 0},
    {State::kManualOpen, Action::kRefresh,     State::kManualOpen, kManual,  0, 0},
    // The manual log switches the automatic log off for this run only: autolog stays 1.
    {State::kAutoOpen,   Action::kManualOk,    State::kManualOpen, kManual2, 1, 1},
    {State::kAutoOpen,   Action::kManualFails, State::kNoLog,      "",       1, 1},
    {State::kAutoOpen,   Action::kToggle,      State::kNoLog,      "",       1, 0},
    {State::kAutoOpen,   Action::kStop,        State::kAutoClosed, "",       1, 1},
    {State::kAutoOpen,   Action::kRefresh,     State::kAutoOpen,   kAuto,    1, 1},
    {State::kAutoClosed, Action::kManualOk,    State::kManualOpen, kManual2, 1, 1},
    {State::kAutoClosed, Action::kManualFails, State::kNoLog,      "",       1, 1},
    {State::kAutoClosed, Action::kToggle,      State::kNoLog,      "",       1, 0},
    {State::kAutoClosed, Action::kStop,        State::kAutoClosed, "",       1, 1},
    {State::kAutoClosed, Action::kRefresh,     State::kAutoOpen,   kAuto,    1, 1},
};
// clang-format on

TEST(ConversationLogStates, EveryTransitionOfTheStateTable) {
    for (const Transition& t : kTransitions) {
        SCOPED_TRACE(std::string(Name(t.from)) + ", then " + Name(t.action));
        TempDir dir;
        std::filesystem::create_directory(dir.File("auto"));
        Settings settings = *Settings::Open(dir.path());
        settings.SetString(SettingKey::logdir, dir.File("auto") + "/");
        int titles = 0;
        ConversationLog::Hooks hooks;
        hooks.localTime = [] { return FixedTime(); };
        hooks.titleChanged = [&titles] { ++titles; };
        ConversationLog log(settings, hooks);

        switch (t.from) {
            case State::kNoLog:
                break;
            case State::kManualOpen:
                ASSERT_TRUE(log.StartManualLog(dir.File(kManual)));
                break;
            case State::kAutoOpen:
                log.ToggleAutoLog();
                break;
            case State::kAutoClosed:
                log.ToggleAutoLog();
                log.StopLog();
                break;
        }
        titles = 0;

        switch (t.action) {
            case Action::kManualOk:
                log.StartManualLog(dir.File(kManual2));
                break;
            case Action::kManualFails:
                log.StartManualLog(dir.File("missing/manual.log"));
                break;
            case Action::kToggle:
                log.ToggleAutoLog();
                break;
            case Action::kStop:
                log.StopLog();
                break;
            case Action::kRefresh:
                log.RefreshAutoLog();
                break;
        }

        const bool autoOn = t.to == State::kAutoOpen || t.to == State::kAutoClosed;
        const bool open = t.to == State::kAutoOpen || t.to == State::kManualOpen;
        EXPECT_EQ(log.AutoLog(), autoOn);
        EXPECT_EQ(log.IsLogging(), open);
        EXPECT_EQ(titles, t.titleRefreshes);
        EXPECT_EQ(settings.GetInt(SettingKey::autolog), t.storedAutoLog);

        const LogWriteResult written = log.WriteLine("after\r\n");
        EXPECT_EQ(written.status, open ? LogWriteStatus::kWritten : LogWriteStatus::kNotLogging);
        for (std::string_view file : {kManual, kManual2, kAuto}) {
            EXPECT_EQ(Contents(dir.File(file)), file == t.fileWithLine ? "after\r\n" : "") << file;
        }
    }
}

TEST_F(ConversationLogTest, StartsWithTheStoredSettings) {
    settings_.SetInt(SettingKey::autolog, 0);
    settings_.SetString(SettingKey::logdir, "/somewhere/");
    const auto log = MakeLog();
    EXPECT_FALSE(log->AutoLog());
    EXPECT_FALSE(log->IsLogging());
    EXPECT_EQ(log->LogDir(), "/somewhere/");
    EXPECT_EQ(log->AutoLogName(), "tsl%y%m%d.log");
    EXPECT_EQ(log->LogPath(), "");
    EXPECT_EQ(titleRefreshes_, 0);
}

TEST_F(ConversationLogTest, OpensTheAutomaticLogAtStartWhenItIsOn) {
    UseAutoLogDirectory();
    settings_.SetInt(SettingKey::autolog, 1);
    const auto log = MakeLog();
    EXPECT_TRUE(log->AutoLog());
    EXPECT_TRUE(log->IsLogging());
    EXPECT_EQ(log->LogPath(), AutoFile());
    EXPECT_EQ(log->WriteLine("hello\r\n").status, LogWriteStatus::kWritten);
    EXPECT_EQ(Contents(AutoFile()), "hello\r\n");
    EXPECT_EQ(titleRefreshes_, 0);
}

TEST_F(ConversationLogTest, PeersControlCharactersNeverReachTheFile) {
    UseAutoLogDirectory();
    settings_.SetInt(SettingKey::autolog, 1);
    const auto log = MakeLog();
    struct Case {
        std::string shown;
        std::string logged;
    };
    const Case cases[] = {
        // A received file's name in the failure line, an escape sequence in a chat text.
        {"\x83t\x83@\x83"
         "C\x83\x8B"
         "a\x1B[2J\x07\x7F.txt\r\n",
         "\x83t\x83@\x83"
         "C\x83\x8B"
         "a^[[2J^G^?.txt\r\n"},
        {"bob: \x1B]0;owned\x07\x08x\r\n", "bob: ^[]0;owned^G^Hx\r\n"},
        // Tabs and the pane's line ends stay; so does every Shift-JIS pair.
        {"a\tb\r\n\x82\xA0\x83\x7E\r\n", "a\tb\r\n\x82\xA0\x83\x7E\r\n"},
        // A carriage return of its own would overwrite the line in a terminal.
        {"a\rb\r\n", "a^Mb\r\n"},
        {std::string("\0x\x82\xA0\x1B\r\n", 7), "^@x\x82\xA0^[\r\n"},
    };
    std::string expected;
    for (const Case& c : cases) {
        EXPECT_EQ(log->WriteLine(c.shown).status, LogWriteStatus::kWritten);
        expected += c.logged;
    }
    EXPECT_EQ(Contents(AutoFile()), expected);
}

TEST_F(ConversationLogTest, AnyNonZeroAutologCountsAsOn) {
    UseAutoLogDirectory();
    settings_.SetInt(SettingKey::autolog, 5);
    const auto log = MakeLog();
    EXPECT_TRUE(log->AutoLog());
    log->ToggleAutoLog();  // on means the toggle switches it off
    EXPECT_FALSE(log->AutoLog());
    EXPECT_EQ(settings_.GetInt(SettingKey::autolog), 0);
}

TEST_F(ConversationLogTest, StartUpNameIsOneByteShorterThanTheMenuName) {
    UseAutoLogDirectory();
    settings_.SetString(SettingKey::autologname, std::string(260, 'n'));
    settings_.SetInt(SettingKey::autolog, 1);
    const auto log = MakeLog();
    EXPECT_EQ(log->LogPath(), AutoDir() + std::string(254, 'n'));
    log->RefreshAutoLog();
    EXPECT_EQ(log->LogPath(), AutoDir() + std::string(255, 'n'));
}

TEST_F(ConversationLogTest, AutomaticLogThatCannotOpenStaysOnAndClosed) {
    settings_.SetString(SettingKey::logdir, dir_.File("missing") + "/");
    settings_.SetInt(SettingKey::autolog, 1);
    const auto log = MakeLog();
    EXPECT_TRUE(log->AutoLog());
    EXPECT_FALSE(log->IsLogging());

    log->ToggleAutoLog();
    log->ToggleAutoLog();  // switching on is kept even though the open fails again
    EXPECT_TRUE(log->AutoLog());
    EXPECT_FALSE(log->IsLogging());
    EXPECT_EQ(settings_.GetInt(SettingKey::autolog), 1);

    // Once the directory exists, the next refresh opens the log.
    std::filesystem::create_directory(dir_.File("missing"));
    log->RefreshAutoLog();
    EXPECT_TRUE(log->IsLogging());
}

TEST_F(ConversationLogTest, DatePatternGivesTheDatedFileInTheLogDirectory) {
    UseAutoLogDirectory();
    const auto log = MakeLog();
    log->ToggleAutoLog();
    EXPECT_EQ(log->LogPath(), AutoDir() + "tsl260305.log");
    EXPECT_TRUE(std::filesystem::exists(AutoDir() + "tsl260305.log"));
}

TEST_F(ConversationLogTest, RefreshReopensUnderTheNewHandleAndChannel) {
    UseAutoLogDirectory();
    settings_.SetString(SettingKey::autologname, "%C-%N.log");
    const auto log = MakeLog();
    log->ToggleAutoLog();
    EXPECT_EQ(log->LogPath(), AutoDir() + "-.log");
    log->WriteLine("before\r\n");

    names_ = {"dice", "taro"};
    log->RefreshAutoLog();
    EXPECT_EQ(log->LogPath(), AutoDir() + "dice-taro.log");
    log->WriteLine("after\r\n");
    EXPECT_EQ(Contents(AutoDir() + "-.log"), "before\r\n");
    EXPECT_EQ(Contents(AutoDir() + "dice-taro.log"), "after\r\n");
}

TEST_F(ConversationLogTest, AJapaneseHandleAndChannelNameTheLogInUtf8) {
    UseAutoLogDirectory();
    settings_.SetString(SettingKey::autologname, "%N-%C.log");
    OwnFiles own;
    ConversationLog::Hooks hooks;
    hooks.localTime = [] { return FixedTime(); };
    hooks.currentNames = [this] { return names_; };
    hooks.ownFiles = &own;
    ConversationLog log(settings_, hooks);
    names_ = {"#\x95\x94\x89\xae", "\x91\xbe\x98\x59"};  // #部屋, 太郎
    log.ToggleAutoLog();
    ASSERT_TRUE(log.IsLogging());
    EXPECT_EQ(log.LogPath(), AutoDir() + "\x91\xbe\x98\x59-#\x95\x94\x89\xae.log");
    EXPECT_EQ(log.WriteLine("line\r\n").status, LogWriteStatus::kWritten);
    // 太郎-#部屋.log in UTF-8
    EXPECT_EQ(Entries(AutoDir()),
              (std::set<std::string>{"\xe5\xa4\xaa\xe9\x83\x8e-#\xe9\x83\xa8\xe5\xb1\x8b.log"}));
    // While it is open, no received file may take its place.
    EXPECT_TRUE(own.IsOwnName(AutoDir(), "\x91\xbe\x98\x59-#\x95\x94\x89\xae.log"));
    log.ProposeManualLogPath();  // the proposal is not the open file
    log.StopLog();
    EXPECT_FALSE(own.IsOwnName(AutoDir(), "\x91\xbe\x98\x59-#\x95\x94\x89\xae.log"));
}

TEST_F(ConversationLogTest, ChannelAndHandleWithPathCharactersStayInsideTheLogDirectory) {
    UseAutoLogDirectory();
    settings_.SetString(SettingKey::autologname, "%C-%N.log");
    names_ = {"../../evil", "a/b"};
    const auto log = MakeLog();
    log->ToggleAutoLog();
    ASSERT_TRUE(log->IsLogging());
    EXPECT_EQ(Entries(AutoDir()), (std::set<std::string>{"______evil-a_b.log"}));
    EXPECT_EQ(Entries(dir_.path()), (std::set<std::string>{"auto", "tessel.ini"}));

    // With a separator of the user's own in the pattern, ".." still cannot climb out.
    log->ApplyAutoLogSettings(AutoDir(), "%C/%N.log");
    names_ = {"..", ".."};
    log->RefreshAutoLog();
    EXPECT_EQ(log->LogPath(), AutoDir() + "__/__.log");
    EXPECT_FALSE(log->IsLogging());  // auto/__/ does not exist
    EXPECT_EQ(Entries(dir_.path()), (std::set<std::string>{"auto", "tessel.ini"}));
}

TEST_F(ConversationLogTest, ManualLogProposesTheDatedNameInTheLogDirectory) {
    settings_.SetString(SettingKey::logdir, "/logs/");
    const auto log = MakeLog();
    EXPECT_EQ(log->ProposeManualLogPath(), "/logs/tsl260305.log");
    // A cancelled dialog leaves the proposal as the log path and nothing else changed.
    EXPECT_EQ(log->LogPath(), "/logs/tsl260305.log");
    EXPECT_FALSE(log->IsLogging());
    EXPECT_EQ(titleRefreshes_, 0);
}

TEST_F(ConversationLogTest, ManualLogMakesItsDirectoryTheLogDirectory) {
    std::filesystem::create_directory(dir_.File("chosen"));
    const auto log = MakeLog();
    ASSERT_TRUE(log->StartManualLog(dir_.File("chosen/session.txt")));
    EXPECT_EQ(log->LogPath(), dir_.File("chosen/session.txt"));
    EXPECT_EQ(log->LogDir(), dir_.File("chosen") + "/");
    EXPECT_EQ(settings_.GetString(SettingKey::logdir), dir_.File("chosen") + "/");
    EXPECT_EQ(log->ProposeManualLogPath(), dir_.File("chosen/tsl260305.log"));
}

TEST_F(ConversationLogTest, ManualPathWithoutDirectoryEmptiesTheLogDirectory) {
    settings_.SetString(SettingKey::logdir, "/logs/");
    const auto log = MakeLog();
    // A path without any "/" leaves no directory part (this one cannot even be opened).
    log->StartManualLog("");
    EXPECT_EQ(log->LogDir(), "");
    EXPECT_EQ(settings_.GetString(SettingKey::logdir), "");
}

TEST_F(ConversationLogTest, ChoosingAnExistingFileAppendsToIt) {
    const std::string path = dir_.File("old.log");
    WriteBytes(path, "earlier session\r\n");
    const auto log = MakeLog();
    ASSERT_TRUE(log->StartManualLog(path));
    log->WriteLine("later\r\n");
    EXPECT_EQ(Contents(path), "earlier session\r\nlater\r\n");

    // Reopening the automatic log under the same name continues it as well.
    UseAutoLogDirectory();
    WriteBytes(AutoFile(), "one\r\n");
    log->ApplyAutoLogSettings(AutoDir(), "tsl%y%m%d.log");
    log->ToggleAutoLog();
    log->WriteLine("two\r\n");
    log->RefreshAutoLog();
    log->WriteLine("three\r\n");
    EXPECT_EQ(Contents(AutoFile()), "one\r\ntwo\r\nthree\r\n");
}

TEST_F(ConversationLogTest, LinesAreWrittenExactlyAndFlushedAtOnce) {
    const std::string path = dir_.File("lines.log");
    const auto log = MakeLog();
    ASSERT_TRUE(log->StartManualLog(path));
    const std::string lines[] = {
        "taro: hello\r\n",
        // "さいころ" in Shift-JIS, as a system line carries its own line end.
        "\x82\xb3\x82\xa2\x82\xb1\x82\xeb\r\n",
        // A line without its own end leaves the next one on the same line.
        "jiro: ",
        "",
        "hi\r\n",
    };
    std::string expected;
    for (const std::string& line : lines) {
        EXPECT_EQ(log->WriteLine(line).status, LogWriteStatus::kWritten);
        expected += line;
        // Read through another handle while the log is still open: nothing waits in a buffer.
        EXPECT_EQ(Bytes(Contents(path)), Bytes(expected));
    }
    EXPECT_TRUE(log->IsLogging());
}

TEST_F(ConversationLogTest, LinesShownWhileNotLoggingAreNeverWritten) {
    const std::string path = dir_.File("late.log");
    const auto log = MakeLog();
    EXPECT_EQ(log->WriteLine("early\r\n").status, LogWriteStatus::kNotLogging);
    ASSERT_TRUE(log->StartManualLog(path));
    log->WriteLine("late\r\n");
    log->StopLog();
    EXPECT_EQ(log->WriteLine("stopped\r\n").status, LogWriteStatus::kNotLogging);
    EXPECT_EQ(Contents(path), "late\r\n");
}

TEST_F(ConversationLogTest, FailedWriteIsReportedOnceAndStopsTheLog) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "needs /dev/full, which fails every write";
    }
    const auto log = MakeLog();
    ASSERT_TRUE(log->StartManualLog("/dev/full"));
    titleRefreshes_ = 0;

    EXPECT_EQ(log->WriteLine("lost\r\n"), (LogWriteResult{LogWriteStatus::kFailed, "/dev/full"}));
    EXPECT_FALSE(log->IsLogging());
    EXPECT_EQ(titleRefreshes_, 1);  // the logging mark goes off
    EXPECT_EQ(log->WriteLine("next\r\n"), LogWriteResult{});
    EXPECT_EQ(titleRefreshes_, 1);
}

TEST_F(ConversationLogTest, FailedAutomaticLogComesBackAtTheNextRefresh) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "needs /dev/full, which fails every write";
    }
    const auto log = MakeLog();
    log->ApplyAutoLogSettings("/dev/", "full");
    log->ToggleAutoLog();
    ASSERT_TRUE(log->IsLogging());
    EXPECT_EQ(log->WriteLine("lost\r\n").status, LogWriteStatus::kFailed);
    EXPECT_TRUE(log->AutoLog());
    EXPECT_FALSE(log->IsLogging());

    log->ApplyAutoLogSettings(AutoDir(), "tsl%y%m%d.log");
    EXPECT_TRUE(log->IsLogging());
    log->WriteLine("kept\r\n");
    EXPECT_EQ(Contents(AutoFile()), "kept\r\n");
}

TEST_F(ConversationLogTest, SettingsDialogStoresBothTextsAndReopensOnlyWhenOn) {
    const auto log = MakeLog();
    log->ApplyAutoLogSettings(AutoDir(), "%N.txt");
    EXPECT_EQ(log->LogDir(), AutoDir());
    EXPECT_EQ(log->AutoLogName(), "%N.txt");
    EXPECT_EQ(settings_.GetString(SettingKey::logdir), AutoDir());
    EXPECT_EQ(settings_.GetString(SettingKey::autologname), "%N.txt");
    EXPECT_FALSE(log->IsLogging());
    EXPECT_EQ(titleRefreshes_, 0);
    EXPECT_TRUE(Entries(AutoDir()).empty());

    names_ = {"", "taro"};
    log->ToggleAutoLog();
    EXPECT_EQ(log->LogPath(), AutoDir() + "taro.txt");
    titleRefreshes_ = 0;
    log->ApplyAutoLogSettings(AutoDir(), "%N-2.txt");
    EXPECT_EQ(log->LogPath(), AutoDir() + "taro-2.txt");
    EXPECT_TRUE(log->IsLogging());
    EXPECT_EQ(titleRefreshes_, 1);
}

TEST_F(ConversationLogTest, DirectoryWithoutSeparatorIsUsedAsTyped) {
    const auto log = MakeLog();
    log->ApplyAutoLogSettings(dir_.File("auto"), "x.log");
    log->ToggleAutoLog();
    EXPECT_EQ(log->LogPath(), dir_.File("autox.log"));
    EXPECT_TRUE(std::filesystem::exists(dir_.File("autox.log")));
}

TEST_F(ConversationLogTest, RefreshFromAnotherThreadNeverLosesALine) {
    UseAutoLogDirectory();
    const auto log = MakeLog();
    log->ToggleAutoLog();
    constexpr int kLines = 2000;
    std::atomic<bool> done{false};
    std::thread refresher([&] {
        while (!done.load()) {
            log->RefreshAutoLog();
        }
    });
    std::string expected;
    for (int i = 0; i < kLines; ++i) {
        const std::string line = "line " + std::to_string(i) + "\r\n";
        EXPECT_EQ(log->WriteLine(line).status, LogWriteStatus::kWritten);
        expected += line;
    }
    done = true;
    refresher.join();
    EXPECT_EQ(Contents(AutoFile()), expected);
}

}  // namespace
}  // namespace tessel
