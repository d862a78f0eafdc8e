// SPDX-License-Identifier: MIT

#include "views/DisplayDrain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Bytes.h"
#include "support/FrontEndRecorder.h"
#include "support/ProtocolFixture.h"
#include "support/TempDirectory.h"

namespace tessel {
namespace {

using test::Bytes;

class RecordingSink : public DisplaySink {
  public:
    void AppendRun(ColourMarker slot, std::string_view text) override {
        runs.push_back({slot, std::string(text)});
    }
    std::string Text() const {
        std::string all;
        for (const ColouredRun& run : runs) {
            all += run.bytes;
        }
        return all;
    }
    std::vector<ColouredRun> runs;
};

class RecordingPlayer : public SoundPlayer {
  public:
    void Play(const std::string& path) override { played.push_back(path); }
    std::vector<std::string> played;
};

DisplayItem Chat(std::string name, std::string text) {
    return DisplayItem{std::move(name), std::move(text), DisplayKind::Chat, 0, {}};
}

class DisplayDrainTest : public test::ProtocolStateTest {
  protected:
    void SetUp() override {
        ProtocolStateTest::SetUp();
        settings = Settings::Open(dir.path());
        log = std::make_unique<ConversationLog>(*settings, ConversationLog::Hooks{});
        notify.mode = 1;
        notify.strings[0] = "taro";
        notify.soundFile = "call.wav";
    }

    test::TempDirectory dir;
    std::optional<Settings> settings;
    std::unique_ptr<ConversationLog> log;
    NotifySettings notify;
    test::FrontEndRecorder frontEnd;
    DisplayQueue queue{frontEnd};
    RecordingSink sink;
    RecordingPlayer player;
    DisplayDrain drain{{queue, nullptr, &player, [this] { return notify; }, [] { return "me"; }}};
};

TEST_F(DisplayDrainTest, ItemsArePaintedInOrderAndChatCanCallThePlayer) {
    queue.PostDisplayItem(Chat("bob", "hi taro"));
    queue.PostDisplayItem(DisplayItem{"", "notice taro\r\n", DisplayKind::System, 0, {}});
    EXPECT_EQ(drain.Drain(sink), 2);
    EXPECT_EQ(sink.runs, (std::vector<ColouredRun>{{ColourMarker::Name, "bob:"},
                                                   {ColourMarker::Normal, " hi taro\r\n"},
                                                   {ColourMarker::System, "notice taro\r\n"}}));
    // Only the chat line from a user sounds, not the notice.
    EXPECT_EQ(player.played, std::vector<std::string>{"call.wav"});
    EXPECT_EQ(drain.Drain(sink), 0);
}

TEST_F(DisplayDrainTest, OnlyThePlayersOwnShownRollsAreRecorded) {
    const DisplayItem theirs{"bob", "1\n", DisplayKind::Roll, 0, {1, 6, 0, 0, 0, ""}};
    queue.PostDisplayItem(theirs);
    queue.PostDisplayItem(DisplayItem{"me", "4\n5\n", DisplayKind::Roll, 0, {2, 6, 0, 0, 3, ""}});
    queue.PostDisplayItem(theirs);
    EXPECT_EQ(drain.Drain(sink), 3);
    EXPECT_EQ(LastOwnRoll().count, 2);
    EXPECT_EQ(LastOwnRoll().modifier, 3);
    EXPECT_EQ(PreviousOwnRoll().count, 0);
}

TEST_F(DisplayDrainTest, TheLogGetsTheLinesWithoutColours) {
    const std::string path = dir.dir() + "manual.log";
    ASSERT_TRUE(log->StartManualLog(path));
    DisplayDrain logged{{queue, log.get(), nullptr, {}, {}}};
    queue.PostDisplayItem(Chat("bob", "hello"));
    queue.PostDisplayItem(DisplayItem{"", "closed\r\n", DisplayKind::System, 0, {}});
    logged.Drain(sink);
    EXPECT_EQ(Bytes(dir.Read("manual.log")), Bytes("bob: hello\r\nclosed\r\n"));
    EXPECT_EQ(Bytes(dir.Read("manual.log")), Bytes(sink.Text()));
}

TEST_F(DisplayDrainTest, AFailingLogIsReportedOnceInThePane) {
    ASSERT_TRUE(log->StartManualLog("/dev/full"));
    DisplayDrain logged{{queue, log.get(), nullptr, {}, {}}};
    queue.PostDisplayItem(Chat("bob", "one"));
    queue.PostDisplayItem(Chat("bob", "two"));
    logged.Drain(sink);
    const std::string notice = LogWriteFailedNotice("/dev/full");
    const std::string shown = sink.Text();
    EXPECT_NE(shown.find(notice), std::string::npos) << shown;
    EXPECT_EQ(shown.find(notice), shown.rfind(notice));
    EXPECT_FALSE(log->IsLogging());
}

}  // namespace
}  // namespace tessel
