// SPDX-License-Identifier: MIT

#include "session/Dispatcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "connection/ConnectionState.h"
#include "protocol/Charset.h"
#include "session/SessionTexts.h"
#include "support/Bytes.h"
#include "support/DisplayCollector.h"
#include "support/ProtocolFixture.h"

namespace tessel {
namespace {

using test::Bytes;

DisplayItem System(std::string text) {
    DisplayItem item;
    item.kind = DisplayKind::System;
    item.text = std::move(text);
    return item;
}

DisplayItem SystemChat(std::string text) {
    DisplayItem item;
    item.kind = DisplayKind::Chat;
    item.name = "system";
    item.systemName = 1;
    item.text = std::move(text);
    return item;
}

class DispatcherTest : public test::ProtocolStateTest {
  protected:
    void SetUp() override {
        ProtocolStateTest::SetUp();
        ResetConnectionState();
    }
    void TearDown() override {
        ResetConnectionState();
        ProtocolStateTest::TearDown();
    }

    // Hands the dispatcher a message as the reader delivers it: wire text, not yet converted.
    void Receive(std::string commandLine, std::string body = "", std::string id = "",
                 ContentType type = ContentType::Euc) {
        ProtocolMessage message;
        message.SetCommandLine(commandLine, ContentType::Other, 0);
        message.id.assign(id);
        message.contentType = type;
        message.contentLength = static_cast<std::int32_t>(body.size());
        message.body.assignBytes(body);
        dispatcher.OnMessage(message);
    }

    std::vector<DisplayItem> Shown() {
        std::vector<DisplayItem> items;
        while (auto item = queue.TakeDisplayItem()) {
            items.push_back(*item);
        }
        return items;
    }

    test::FrontEndRecorder frontEnd;
    DisplayQueue queue{frontEnd};
    UserTable users;
    std::vector<std::string> sent;
    int logRefreshes = 0;
    Dispatcher dispatcher{Dispatcher::Services{queue, frontEnd, users, nullptr, nullptr,
                                               [this](std::string_view bytes) {
                                                   sent.emplace_back(bytes);
                                                   return true;
                                               },
                                               [this] { ++logRefreshes; }}};
};

TEST_F(DispatcherTest, ProbeIsAnsweredUnderItsOwnId) {
    Receive("READY 42\n", "", "s***012abc");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Bytes(sent[0]),
              Bytes("TesseraRELAY 0.2\ntoServer\nRESPONSE 000 42\nID: s***012abc\n\n"));
    EXPECT_EQ(ClientNumber(), 12);
    EXPECT_TRUE(Shown().empty());
    // The next generated ID carries the new client number.
    EXPECT_EQ(GeneralId(), "a01200000000");
}

TEST_F(DispatcherTest, ClientNumbersOutsideThreeDigitsAreIgnored) {
    Receive("SHOWMESG bob\n", "hi", "s***123456");
    Receive("SHOWMESG bob\n", "hi", "s***-1");
    EXPECT_EQ(ClientNumber(), 255);
    Receive("SHOWMESG bob\n", "hi", "s***999");
    EXPECT_EQ(ClientNumber(), 999);
}

TEST_F(DispatcherTest, AcknowledgementsMakePendingHandleAndChannelCurrent) {
    SetPendingHandle("\xC2\xC0\xCF\xBA");  // "太郎" as sent, EUC-JP
    SetPendingChannel("#main");
    Receive("RESPONSE 100\n", "OPEN someone-else\n");
    EXPECT_EQ(CurrentHandle(), "\x91\xBE\x98\x59");
    Receive("RESPONSE 100\n", "JOIN #main\n");
    EXPECT_EQ(CurrentChannel(), "#main");
    EXPECT_EQ(Shown(), (std::vector<DisplayItem>{System(" OPEN \x91\xBE\x98\x59\r\n"),
                                                 System(" JOIN #main\r\n")}));
    EXPECT_EQ(frontEnd.count("TitleRefresh"), 2);
    EXPECT_EQ(logRefreshes, 2);

    // An acknowledgement of anything else changes nothing and shows nothing.
    Receive("RESPONSE 100\n", "MODE +o\n");
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(logRefreshes, 2);
}

TEST_F(DispatcherTest, TheLogIsReopenedBeforeTheAcknowledgementIsShown) {
    // What the front end could have drawn (and logged) by the time each reopen happens.
    std::vector<std::string> order;
    Dispatcher logged{Dispatcher::Services{queue, frontEnd, users, nullptr, nullptr, {}, [&] {
                                               for (const DisplayItem& item : Shown()) {
                                                   order.push_back(item.text);
                                               }
                                               order.emplace_back("reopen");
                                           }}};
    SetPendingHandle("taro");
    SetPendingChannel("#main");
    for (const std::string body : {"OPEN taro\n", "JOIN #main\n"}) {
        ProtocolMessage message;
        message.SetCommandLine("RESPONSE 100\n", ContentType::Other, 0);
        message.contentType = ContentType::Euc;
        message.contentLength = static_cast<std::int32_t>(body.size());
        message.body.assign(body);
        logged.OnMessage(message);
    }
    for (const DisplayItem& item : Shown()) {
        order.push_back(item.text);
    }
    EXPECT_EQ(order,
              (std::vector<std::string>{"reopen", " OPEN taro\r\n", "reopen", " JOIN #main\r\n"}));
}

// Whether the display would take any colour marker from `text`.
bool HasMarker(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); i += ShiftJisCharLength(text, i)) {
        if (ShiftJisCharLength(text, i) == 2 && text[i] == kMarkerLead &&
            ColourMarkerOf(text[i + 1])) {
            return true;
        }
    }
    return false;
}

TEST_F(DispatcherTest, PeersCannotPaintTheirTextInTheProgramsColours) {
    // 81 A2 FE FA in EUC-JP becomes 81 81 FC FA in Shift-JIS: a character, then a marker.
    const std::string crafted = "\x81\xA2\xFE\xFA";
    SetCurrentChannel("#main");
    Receive("SHOWMESG bob\n", crafted + "hi");
    Receive("SHOWMESG " + crafted + "\n", "hi");
    Receive("SHOWMESG bob\n", "\xFC\xFAhi", "", ContentType::Sjis);
    Receive("SHOW 2 6 " + crafted + " 0 0\n", crafted + "\n3\n", "m25500000000+001x" + crafted,
            ContentType::Result);
    Receive("PUTUSER\n", crafted + " #main 1.2.3.4:5 0\n");
    Receive("PUTCHANNEL\n", crafted + "\n");
    const auto items = Shown();
    ASSERT_EQ(items.size(), 6u);
    for (const DisplayItem& item : items) {
        EXPECT_FALSE(HasMarker(item.name)) << ::testing::PrintToString(Bytes(item.name));
        EXPECT_FALSE(HasMarker(item.text)) << ::testing::PrintToString(Bytes(item.text));
        EXPECT_FALSE(HasMarker(item.rollInfo.note))
            << ::testing::PrintToString(Bytes(item.rollInfo.note));
    }
    EXPECT_EQ(Bytes(items[0].text), Bytes("\x81\x81\x81\xAChi"));
}

TEST_F(DispatcherTest, ErrorResponsesShowTheirLines) {
    const std::vector<std::pair<std::string, std::string_view>> cases = {
        {"RESPONSE 101\n", texts::kError101}, {"RESPONSE 102 bad\n", texts::kError102},
        {"RESPONSE 103\n", texts::kError103}, {"RESPONSE 200\n", texts::kError200},
        {"RESPONSE 201\n", texts::kError201}, {"RESPONSE 202\n", texts::kError202},
        {"RESPONSE 300\n", texts::kError300}, {"RESPONSE 301\n", texts::kError301},
    };
    for (const auto& [line, text] : cases) {
        Receive(line);
        EXPECT_EQ(Shown(), std::vector<DisplayItem>{System(std::string(text))}) << line;
    }
    Receive("RESPONSE 000\n");
    Receive("RESPONSE 999\n");
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(Bytes(std::string(texts::kError202)),
              Bytes("ERROR : \x93\xAF\x96\xBC\x82\xCC\x83\x86\x81[\x83U\x81[\x82\xAA\x82\xA2\x82"
                    "\xDC\x82\xB7\x81"
                    "B\r\n"));
}

TEST_F(DispatcherTest, RollResultsCarryModifierAndNoteFromTheId) {
    Receive("SHOW 2 6 taro 0 0\n", "4\n5\n", "m25500000000-003x", ContentType::Result);
    // "攻撃" travels as EUC-JP 0xB9 0xB6 0xB7 0xE2 and is shown as Shift-JIS 0x8D 0x55 0x8C 0x82.
    Receive("SHOW 3 10 jiro 1 0\n", "10\n0\n3\n", "m00100002000+012x\xB9\xB6\xB7\xE2",
            ContentType::Result);
    Receive("SHOW 1 20 gm 0 0\n", "17\n", "a00300001000", ContentType::Result);
    const auto items = Shown();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].kind, DisplayKind::Roll);
    EXPECT_EQ(items[0].name, "taro");
    EXPECT_EQ(items[0].text, "4\n5\n");
    EXPECT_EQ(items[0].rollInfo, (RollInfo{2, 6, 0, 0, -3, ""}));
    EXPECT_EQ(items[1].rollInfo, (RollInfo{3, 10, 1, 0, 12, "\x8D\x55\x8C\x82"}));
    EXPECT_EQ(items[2].rollInfo, (RollInfo{1, 20, 0, 0, 0, ""}));
}

TEST_F(DispatcherTest, ChatLinesExpandLineFeedsAndConvert) {
    Receive("SHOWMESG bob\n", "hi\nthere \xA4\xA2", "s***001");
    EXPECT_EQ(Shown(), (std::vector<DisplayItem>{
                           DisplayItem{"bob", "hi\r\nthere \x82\xA0", DisplayKind::Chat, 0, {}}}));
    // A Shift-JIS body is taken as it is, but cannot bring colour markers of its own.
    Receive("SHOWMESG bob\n", "\x82\xA0\xFC\xFA fake notice \x83\xFC", "", ContentType::Sjis);
    EXPECT_EQ(Bytes(Shown()[0].text), Bytes("\x82\xA0\x81\xAC fake notice \x83\xFC"));
}

TEST_F(DispatcherTest, ChannelListIsOneSystemItem) {
    Receive("PUTCHANNEL\n", "#main 3\n#side 1\n");
    EXPECT_EQ(Shown(), std::vector<DisplayItem>{System(std::string(texts::kChannelList) +
                                                       "#main 3\r\n#side 1\r\n\r\n")});
}

TEST_F(DispatcherTest, BinaryMessagesAreIgnoredWithoutSettings) {
    Receive("SHOWMESG bob\n", "CC SOUNDPLAY door.wav\n", "", ContentType::Binary);
    Receive("SHOWMESG bob\n", "CC FILESEND a.txt   1        1\nx", "", ContentType::Binary);
    Receive("SHOWMESG bob\n", "junk", "", ContentType::Binary);
    EXPECT_TRUE(Shown().empty());
}

TEST_F(DispatcherTest, RequestWordsAndUnknownCommandsAreIgnored) {
    Receive("OPERATE x\n");
    Receive("FAKEROLL 1 6 0 0\n");
    Receive("HELLO\n");
    Receive("");
    EXPECT_TRUE(Shown().empty());
    EXPECT_TRUE(sent.empty());
}

TEST_F(DispatcherTest, UserTableIsRebuiltAndRefreshed) {
    Receive("PUTUSER\n", "taro #main 1.2.3.4:5 1\njiro #main 1.2.3.5:6 0\nNo entry\nghost x y 1\n");
    const auto rows = users.Snapshot();
    EXPECT_EQ(rows[0].handle, "taro");
    EXPECT_EQ(rows[0].address, "1.2.3.4:5");
    EXPECT_EQ(rows[0].attribute, 1);
    EXPECT_EQ(rows[1].handle, "jiro");
    EXPECT_TRUE(rows[2].handle.empty());
    EXPECT_TRUE(rows[3].handle.empty());
    EXPECT_EQ(frontEnd.count("UserListRefresh"), 1);

    // More than 32 lines fill 32 rows; over-long words are cut to their fields.
    std::string many;
    for (int i = 0; i < 40; ++i) {
        many += "u" + std::to_string(i) + " #c a" + std::to_string(i) + " 257\n";
    }
    many += std::string(100, 'h') + " #c x 0\n";
    Receive("PUTUSER\n", many);
    const auto full = users.Snapshot();
    EXPECT_EQ(full[31].handle, "u31");
    EXPECT_EQ(full[31].attribute, 1);  // 257 keeps its low 8 bits
}

struct NoticeCase {
    const char* what;
    std::string before;
    std::string after;
    std::string expected;
};

class UserNotices : public ::testing::TestWithParam<NoticeCase> {};

TEST_P(UserNotices, AnnounceChangesInTheOwnChannel) {
    const NoticeCase& c = GetParam();
    EXPECT_EQ(
        Bytes(UserTableNotices(ParseUserTable(c.before), ParseUserTable(c.after), "me", "#main")),
        Bytes(c.expected))
        << c.what;
}

std::string Fill(std::string_view pattern, std::string a, std::string b = "") {
    std::string out;
    bool first = true;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
            out += first ? a : b;
            first = false;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    PutUser, UserNotices,
    ::testing::Values(
        NoticeCase{"newcomer", "me #main A 0\nNo entry\n",
                   "me #main A 0\nbob #main B 0\nNo entry\n",
                   Fill(texts::kEnteredChannel, "bob", "#main")},
        NoticeCase{"newcomer elsewhere", "", "bob #side B 0\n", ""},
        NoticeCase{"moves out", "bob #main B 0\n", "bob #side B 0\n",
                   Fill(texts::kLeftChannel, "bob", "#main")},
        NoticeCase{"moves in", "bob #side B 0\n", "bob #main B 0\n",
                   Fill(texts::kEnteredChannel, "bob", "#main")},
        NoticeCase{"moves between others", "bob #a B 0\n", "bob #b B 0\n", ""},
        NoticeCase{
            "rename and a move in, in table order", "bob #main B 0\ncarl #side C 0\n",
            "bobby #main B 0\ncarl #main C 0\n",
            Fill(texts::kRenamed, "bob", "bobby") + Fill(texts::kEnteredChannel, "carl", "#main")},
        NoticeCase{"becomes master", "bob #main B 0\n", "bob #main B 1\n",
                   Fill(texts::kBecameMaster, "bob")},
        NoticeCase{"stops being master", "bob #main B 1\n", "bob #main B 0\n",
                   Fill(texts::kStoppedMaster, "bob")},
        NoticeCase{"other attribute values", "bob #main B 0\n", "bob #main B 2\n", ""},
        NoticeCase{"own row is never announced", "me #side A 0\n", "me #main A 1\n", ""},
        NoticeCase{"leaving the table is silent", "bob #main B 0\n", "", ""}));

TEST_F(DispatcherTest, PutUserPostsAllNoticesAsOneItem) {
    SetCurrentHandle("me");
    SetCurrentChannel("#main");
    Receive("PUTUSER\n", "me #main A 0\nbob #side B 0\nNo entry\n");
    Shown();
    Receive("PUTUSER\n", "me #main A 0\nbob #main B 1\ncarl #main C 0\nNo entry\n");
    EXPECT_EQ(Shown(),
              std::vector<DisplayItem>{SystemChat(Fill(texts::kEnteredChannel, "bob", "#main") +
                                                  Fill(texts::kEnteredChannel, "carl", "#main"))});
}

TEST(GetLineTest, KeepsLineFeedsAndDropsUnfinishedLines) {
    EXPECT_EQ(GetLine("a\r\nb\nc", 1), "a\n");
    EXPECT_EQ(GetLine("a\r\nb\nc", 2), "b\n");
    EXPECT_EQ(GetLine("a\r\nb\nc", 3), "");
    EXPECT_EQ(GetLine("a\r\nb\nc", 9), "");
    EXPECT_EQ(GetLine("", 1), "");
}

}  // namespace
}  // namespace tessel
