// SPDX-License-Identifier: MIT

#include "views/SessionRecord.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "frame/TempDir.h"
#include "support/Bytes.h"
#include "support/FrontEndRecorder.h"
#include "views/ConversationLog.h"
#include "views/DisplayDrain.h"
#include "views/HtmlSession.h"

namespace tessel {
namespace {

using test::ReadBytes;
using test::TempDir;

using Run = std::pair<ColourMarker, std::string>;
using Line = std::vector<Run>;

std::vector<Run> RunsOf(const RecordedLine& line) {
    std::vector<Run> runs;
    ForEachRecordedRun(line, [&](ColourMarker slot, std::string_view text) {
        runs.emplace_back(slot, std::string(text));
    });
    return runs;
}

std::vector<Line> LinesOf(const SessionRecord& record) {
    std::vector<Line> lines;
    for (const RecordedLine& line : record.Lines()) {
        lines.push_back(RunsOf(line));
    }
    return lines;
}

constexpr auto N = ColourMarker::Normal;
constexpr auto Nm = ColourMarker::Name;
constexpr auto S = ColourMarker::System;
constexpr auto D = ColourMarker::Dice;

struct RecordCase {
    const char* what;
    std::vector<Run> painted;    // as the pane painted them, in order
    std::vector<Line> finished;  // the record's lines
    Line open;                   // the line still open
};

TEST(SessionRecord, KeepsThePanesLinesWithTheirColours) {
    const RecordCase cases[] = {
        {"a chat line", {{Nm, "taro:"}, {N, " hello\r\n"}}, {{{Nm, "taro:"}, {N, " hello"}}}, {}},
        {"two lines in one run", {{S, "one\r\ntwo\r\n"}}, {{{S, "one"}}, {{S, "two"}}}, {}},
        {"a line left open joins the next item",
         {{S, "system: a"}, {N, "b\r\n"}, {N, "c"}},
         {{{S, "system: a"}, {N, "b"}}},
         {{N, "c"}}},
        {"an empty line stays a line", {{N, "\r\n"}, {N, "x\n"}}, {{}, {{N, "x"}}}, {}},
        {"a lone carriage return is text", {{N, "a\rb\r\n"}}, {{{N, "a\rb"}}}, {}},
        {"a roll report over lines",
         {{Nm, "taro"}, {D, " 2d6\r\n 7\r\n"}},
         {{{Nm, "taro"}, {D, " 2d6"}}, {{D, " 7"}}},
         {}},
        // 0xFC 0xFB across two double-byte characters is text, not a marker.
        {"marker bytes across characters",
         {{N, "\x81\xFC\xFB\x40\r\n"}},
         {{{N, "\x81\xFC\xFB\x40"}}},
         {}},
        {"a lone lead byte ending a run keeps the next run's colour",
         {{N, "a\x81"}, {Nm, "b\r\n"}},
         {{{N, "a\xFF"}, {Nm, "b"}}},
         {}},
    };
    for (const RecordCase& c : cases) {
        SessionRecord record;
        std::vector<Line> told;
        for (const auto& [slot, text] : c.painted) {
            record.AppendRun(slot, text, 100,
                             [&](const RecordedLine& line) { told.push_back(RunsOf(line)); });
        }
        EXPECT_EQ(LinesOf(record), c.finished) << c.what;
        EXPECT_EQ(told, c.finished) << c.what;
        const RecordedLine* open = record.OpenLine();
        EXPECT_EQ(open ? RunsOf(*open) : Line{}, c.open) << c.what;
    }
}

TEST(SessionRecord, DropsTheOldestLinesPastEitherBound) {
    struct Case {
        SessionRecord::Limits limits;
        int lines;
        std::size_t kept;
    };
    const std::size_t lineBytes = 2 + 6 + SessionRecord::kLineOverhead;  // marker, "lineNN"
    const Case cases[] = {
        {{3, 1 << 20}, 10, 3},
        {{100, lineBytes * 4}, 10, 4},
        {{100, lineBytes * 4 + lineBytes / 2}, 10, 4},
        {{100, 1 << 20}, 10, 10},
    };
    for (const Case& c : cases) {
        SessionRecord record(c.limits);
        for (int i = 0; i < c.lines; ++i) {
            record.AppendRun(N, "line" + std::to_string(10 + i) + "\r\n", i);
        }
        ASSERT_EQ(record.Lines().size(), c.kept);
        EXPECT_EQ(record.Dropped(), c.lines - c.kept);
        EXPECT_LE(record.Bytes(), c.limits.bytes);
        // The newest are kept, oldest first.
        EXPECT_EQ(RunsOf(record.Lines().back()), (Line{{N, "line" + std::to_string(9 + c.lines)}}));
        EXPECT_EQ(RunsOf(record.Lines().front()),
                  (Line{{N, "line" + std::to_string(10 + c.lines - c.kept)}}));
    }
}

TEST(HtmlLogPathBeside, NamesTheHtmlLogAfterTheTextLog) {
    const std::pair<const char*, const char*> cases[] = {
        {"/logs/tsl261208.log", "/logs/tsl261208.html"},
        {"chat.txt", "chat.txt.html"},
        {"/logs/.log", "/logs/.log.html"},
        {"a.log.log", "a.log.html"},
        {"noext", "noext.html"},
    };
    for (const auto& [log, html] : cases) {
        EXPECT_EQ(HtmlLogPathBeside(log), html) << log;
    }
}

TEST(HtmlRenderer, PeerTextNeverBecomesMarkup) {
    const std::pair<const char*, const char*> cases[] = {
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"a & b \"c\" 'd'", "a &amp; b &quot;c&quot; &#39;d&#39;"},
        {"</span></div><div>", "&lt;/span&gt;&lt;/div&gt;&lt;div&gt;"},
        {"\x1b[2J\x07", "^[[2J^G"},
        // Shift-JIS becomes UTF-8; a byte that is no character becomes U+FFFD.
        {"\x82\xa0", "\xE3\x81\x82"},
        {"\x82", "\xEF\xBF\xBD"},
        {"\x82\xa0\xFF\x82\xa2", "\xE3\x81\x82\xEF\xBF\xBD\xE3\x81\x84"},
    };
    HtmlRenderer renderer;
    for (const auto& [peer, page] : cases) {
        std::string out;
        renderer.AppendText(out, peer);
        EXPECT_EQ(out, page) << peer;
    }
}

TEST(HtmlRenderer, TheStyleCarriesThePanesColoursAndAFontNameCannotLeaveIt) {
    HtmlStyle style;
    style.colours = {0xFFFFFF, 0xFFFF00, 0x80FFFF, 0x0000FF};
    style.background = 0x102030;
    style.fontName = "Evil\"}</style><script>";
    style.fontSize = 105;
    HtmlRenderer renderer;
    std::string page;
    renderer.AppendDocumentStart(page, style, "<title>");
    EXPECT_NE(page.find("background: #302010"), std::string::npos);
    EXPECT_NE(page.find(".c1 { color: #00ffff; }"), std::string::npos);
    EXPECT_NE(page.find(".c2 { color: #ffff80; }"), std::string::npos);
    EXPECT_NE(page.find(".c3 { color: #ff0000; }"), std::string::npos);
    EXPECT_NE(page.find("font-size: 10.5pt"), std::string::npos);
    EXPECT_NE(page.find("\"Evil/stylescript\""), std::string::npos) << page;
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_NE(page.find("<title>&lt;title&gt;</title>"), std::string::npos);
}

TEST(RenderSessionPage, SaysOnceThatTheOldestLinesWereDropped) {
    SessionRecord record({2, 1 << 20});
    for (int i = 0; i < 5; ++i) {
        record.AppendRun(N, "line" + std::to_string(i) + "\r\n", 0);
    }
    record.AppendRun(N, "open", 0);
    const std::string page = RenderSessionPage(record, HtmlStyle{}, HtmlSessionHeader{});
    std::size_t notes = 0;
    for (std::size_t at = 0; (at = page.find("class=\"note", at)) != std::string::npos; ++at) {
        ++notes;
    }
    EXPECT_EQ(notes, 1U);
    EXPECT_NE(page.find(" 3 "), std::string::npos);
    EXPECT_EQ(page.find("line2"), std::string::npos);
    EXPECT_LT(page.find("line3"), page.find("line4"));
    EXPECT_LT(page.find("line4"), page.find("open"));
    EXPECT_NE(page.rfind("</html>\n"), std::string::npos);
}

// The HTML log beside the text log, through the drain as a front end runs it.
class HtmlLogTest : public ::testing::Test {
  protected:
    HtmlLogTest() : settings_(*Settings::Open(dir_.path())) {}

    std::unique_ptr<ConversationLog> MakeLog() {
        ConversationLog::Hooks hooks;
        hooks.sessionHeader = [] {
            return HtmlSessionHeader{"127.0.0.1:3962", "#main", "taro", 1'000'000};
        };
        return std::make_unique<ConversationLog>(settings_, std::move(hooks));
    }

    void Show(ConversationLog& log, std::vector<DisplayItem> items) {
        for (DisplayItem& item : items) {
            queue_.PostDisplayItem(std::move(item));
        }
        DisplayDrain drain({queue_, &log, nullptr, nullptr, nullptr, nullptr, &record_});
        Pane pane;
        drain.Drain(pane);
    }

    struct Pane : DisplaySink {
        void AppendRun(ColourMarker, std::string_view) override {}
    };

    std::string Path(const char* name) const { return dir_.path() + "/" + name; }

    TempDir dir_;
    Settings settings_;
    test::FrontEndRecorder frontEnd_;
    DisplayQueue queue_{frontEnd_};
    SessionRecord record_;
};

TEST_F(HtmlLogTest, IsOffByDefaultAndTheTextLogIsAllThereIs) {
    auto log = MakeLog();
    EXPECT_FALSE(log->HtmlLog());
    ASSERT_TRUE(log->StartManualLog(Path("chat.log")));
    Show(*log, {{"taro", "hello", DisplayKind::Chat, 0, {}}});
    EXPECT_FALSE(std::filesystem::exists(Path("chat.html")));
    EXPECT_EQ(ReadBytes(Path("chat.log")).value_or(""), "taro: hello\r\n");
}

TEST_F(HtmlLogTest, FollowsTheTextLogLineByLine) {
    auto log = MakeLog();
    log->SetHtmlLog(true);
    EXPECT_EQ(settings_.GetInt(SettingKey::htmllog), 1);
    ASSERT_TRUE(log->StartManualLog(Path("chat.log")));
    EXPECT_EQ(log->HtmlLogPath(), Path("chat.html"));
    const std::string start = ReadBytes(Path("chat.html")).value_or("");
    EXPECT_EQ(start.rfind("<!DOCTYPE html>", 0), 0U);
    EXPECT_NE(start.find("#main"), std::string::npos);

    Show(*log, {{"taro", "<b>hi</b>", DisplayKind::Chat, 0, {}}});
    const std::string one = ReadBytes(Path("chat.html")).value_or("");
    EXPECT_EQ(one.substr(0, start.size()), start);
    EXPECT_NE(one.find("<span class=\"c1\">taro:</span><span class=\"c0\"> &lt;b&gt;hi&lt;/b&gt;"
                       "</span></div>\n"),
              std::string::npos)
        << one;
    // Stopping the log closes both; a new log of the same name continues the page with a new
    // session header and no second document start.
    log->StopLog();
    EXPECT_FALSE(log->IsHtmlLogging());
    ASSERT_TRUE(log->StartManualLog(Path("chat.log")));
    Show(*log, {{"", "again\r\n", DisplayKind::System, 0, {}}});
    const std::string two = ReadBytes(Path("chat.html")).value_or("");
    EXPECT_EQ(two.substr(0, one.size()), one);
    EXPECT_EQ(two.find("<!DOCTYPE", 1), std::string::npos);
    EXPECT_NE(two.find("<header>", one.size()), std::string::npos);
    EXPECT_NE(two.find("again", one.size()), std::string::npos);
}

}  // namespace
}  // namespace tessel
