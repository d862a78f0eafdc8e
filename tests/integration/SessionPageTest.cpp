// SPDX-License-Identifier: MIT

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "client/ClientCore.h"
#include "connection/ConnectionState.h"
#include "support/ChildProcess.h"
#include "support/FrontEndRecorder.h"
#include "support/ProtocolFixture.h"
#include "support/RelayPort.h"
#include "support/TempDirectory.h"

namespace tessel {
namespace {

using namespace std::chrono_literals;

// What Python's HTML parser found in a page (see html_lines.py).
struct ParsedLine {
    std::string classes;  // of its runs, comma-separated
    std::string text;
    std::vector<std::pair<std::string, std::string>> runs;  // class, text
    std::string time;
};

struct ParsedPage {
    std::vector<std::pair<std::string, std::string>> tags;  // name, class
    std::vector<ParsedLine> lines;
    std::string style;
    std::vector<std::string> headers;
};

std::string Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out += next == 't' ? '\t' : next == 'n' ? '\n' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> Fields(const std::string& record) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = record.find('\t', start)) != std::string::npos; start = tab + 1) {
        fields.push_back(record.substr(start, tab - start));
    }
    fields.push_back(record.substr(start));
    return fields;
}

// Runs the parser over `path`; a page that is not UTF-8 or does not parse fails the test.
std::optional<ParsedPage> ParsePage(const std::string& path) {
    test::ChildProcess parser({"/usr/bin/env", "python3", TESSEL_HTML_LINES_SCRIPT, path});
    const std::optional<int> status = parser.Wait(30s);
    EXPECT_EQ(status, 0) << parser.error();
    if (status != 0) {
        return std::nullopt;
    }
    ParsedPage page;
    const std::string out = parser.output();
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::vector<std::string> f = Fields(out.substr(start, end - start));
        if (f[0] == "TAG" && f.size() == 3) {
            page.tags.emplace_back(f[1], Unescape(f[2]));
        } else if (f[0] == "LINE" && f.size() == 3) {
            page.lines.push_back({f[1], Unescape(f[2]), {}, {}});
        } else if (f[0] == "RUN" && f.size() == 3 && !page.lines.empty()) {
            page.lines.back().runs.emplace_back(f[1], Unescape(f[2]));
        } else if (f[0] == "TIME" && f.size() == 3 && !page.lines.empty()) {
            page.lines.back().time = Unescape(f[2]);
        } else if (f[0] == "STYLE" && f.size() == 2) {
            page.style += Unescape(f[1]);
        } else if (f[0] == "HEAD" && f.size() == 2) {
            page.headers.push_back(Unescape(f[1]));
        }
    }
    return page;
}

std::vector<std::string> Texts(const ParsedPage& page) {
    std::vector<std::string> texts;
    for (const ParsedLine& line : page.lines) {
        texts.push_back(line.text);
    }
    return texts;
}

// Every element a page may hold; anything else came from somewhere it should not have.
const std::set<std::string> kOwnElements = {"html", "head",   "meta", "title", "style",
                                            "body", "header", "h1",   "dl",    "dt",
                                            "dd",   "time",   "div",  "span"};
const std::set<std::string> kOwnClasses = {"", "line", "note c2", "c0", "c1", "c2", "c3"};

void ExpectOnlyOwnElements(const ParsedPage& page) {
    for (const auto& [name, cls] : page.tags) {
        EXPECT_TRUE(kOwnElements.contains(name)) << "element <" << name << "> in the page";
        EXPECT_TRUE(kOwnClasses.contains(cls)) << "class '" << cls << "' on <" << name << ">";
    }
    const auto lines = std::count_if(page.tags.begin(), page.tags.end(),
                                     [](const auto& tag) { return tag.second == "line"; });
    EXPECT_EQ(static_cast<std::size_t>(lines), page.lines.size());
}

// The lines of a terminal client's standard output: its display pane, one line a line.
std::vector<std::string> OutputLines(const std::string& output) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(output.substr(start, end - start));
    }
    return lines;
}

bool HasRunOf(const ParsedPage& page, std::string_view cls) {
    return std::any_of(page.lines.begin(), page.lines.end(), [&](const ParsedLine& line) {
        return std::any_of(line.runs.begin(), line.runs.end(),
                           [&](const auto& run) { return run.first == cls; });
    });
}

std::size_t IndexOf(const std::vector<std::string>& lines, std::string_view part,
                    std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); ++i) {
        if (lines[i].find(part) != std::string::npos) {
            return i;
        }
    }
    return lines.size();
}

// Collects what the core's drain shows, as a pane would.
class TextSink : public DisplaySink {
  public:
    void AppendRun(ColourMarker, std::string_view text) override { text_ += text; }
    const std::string& text() const { return text_; }

  private:
    std::string text_;
};

// Hostile text from a peer: markup, script, entities, quotes, a comment, a CDATA end, a
// colour marker spoof's look-alike and terminal control bytes.
constexpr const char* kHostile =
    "<script>alert('x')</script> &amp; \"q\" </div><div class=\"line\">fake</div> <b>bold</b> "
    "<!-- open <style>body{display:none}</style> ]]> \x1b[31mred\x07";
// How a reader sees it: every character as sent, control bytes as ^X.
constexpr const char* kHostileShown =
    "<script>alert('x')</script> &amp; \"q\" </div><div class=\"line\">fake</div> <b>bold</b> "
    "<!-- open <style>body{display:none}</style> ]]> ^[[31mred^G";

// A relay, two terminal players (taro keeping an HTML log) and a third player who is the
// client core in this process, all on loopback.
class SessionPage : public test::ProtocolStateTest {
  protected:
    void SetUp() override {
        ProtocolStateTest::SetUp();
        ResetConnectionState();
        relay = std::make_unique<test::ChildProcess>(
            std::vector<std::string>{TESSEL_RELAY_BINARY, "--listen", "127.0.0.1:0", "--seed", "7"},
            relayDir.path());
        port = test::ListeningPort(*relay);
        ASSERT_FALSE(port.empty()) << relay->error();

        taroLog = taroDir.dir() + "taro.html";
        taro = StartTerm(taroDir, "taro", {"--html-log", taroLog});
        jiro = StartTerm(jiroDir, "jiro", {});
        ASSERT_TRUE(taro->WaitForOutput(" JOIN #main\n"));
        ASSERT_TRUE(jiro->WaitForOutput(" JOIN #main\n"));

        settings = Settings::Open(saburoDir.path());
        ASSERT_TRUE(settings.has_value());
        saburo = std::make_unique<ClientCore>(*settings, frontEnd, ClientCore::Options{});
        saburo->Connect("127.0.0.1", std::stoi(port), "saburo", "main");
        ASSERT_TRUE(frontEnd.waitForEvent("HostConnected"));
        saburo->HostConnected();
        ASSERT_TRUE(SaburoSees(" JOIN #main\r\n"));
    }

    void TearDown() override {
        saburo.reset();
        ResetConnectionState();
        ProtocolStateTest::TearDown();
    }

    std::unique_ptr<test::ChildProcess> StartTerm(const test::TempDirectory& dir,
                                                  const std::string& handle,
                                                  std::vector<std::string> extra) {
        std::vector<std::string> argv{TESSEL_TERM_BINARY, "--host", "127.0.0.1", "--port", port,
                                      "--handle",         handle,   "--channel", "main"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return std::make_unique<test::ChildProcess>(std::move(argv), dir.path());
    }

    // Drains the core as a front end would until `text` has been shown.
    bool SaburoSees(std::string_view text) {
        const auto until = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < until) {
            saburo->Drain(saburoPane);
            if (saburoPane.text().find(text) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    test::TempDirectory relayDir, taroDir, jiroDir, saburoDir;
    std::unique_ptr<test::ChildProcess> relay, taro, jiro;
    std::string port;
    std::string taroLog;

    std::optional<Settings> settings;
    test::FrontEndRecorder frontEnd;
    std::unique_ptr<ClientCore> saburo;
    TextSink saburoPane;
};

TEST_F(SessionPage, AnEveningOfChatRollsAndHostileTextBecomesPagesThatHoldEveryLine) {
    taro->Write("hello everyone\n");
    ASSERT_TRUE(jiro->WaitForOutput("taro: hello everyone\n"));
    jiro->Write(std::string(kHostile) + "\n");
    ASSERT_TRUE(taro->WaitForOutput("red^G\n"));

    // The log reads at any moment: what the pane has shown is in it already, as a page.
    // (Each line reaches the log before the terminal, so the log holds at least these.)
    {
        const std::vector<std::string> shown = OutputLines(taro->output());
        const std::optional<ParsedPage> sofar = ParsePage(taroLog);
        ASSERT_TRUE(sofar.has_value());
        ExpectOnlyOwnElements(*sofar);
        std::vector<std::string> texts = Texts(*sofar);
        ASSERT_GE(texts.size(), shown.size());
        texts.resize(shown.size());
        EXPECT_EQ(texts, shown);
    }

    jiro->Write("2d6+1 attack\n");
    ASSERT_TRUE(taro->WaitForOutput("(attack)"));
    taro->Write("MODE -o\n");
    taro->Write("1d20 secret\n");
    ASSERT_TRUE(taro->WaitForOutput("(secret)"));
    taro->Write("MODE +o\n");
    jiro->Write("m taro psst\n");
    ASSERT_TRUE(taro->WaitForOutput("psst\n"));
    taro->Write("done\n");
    ASSERT_TRUE(taro->WaitForOutput("taro: done\n"));
    ASSERT_TRUE(SaburoSees("taro: done"));
    taro->CloseInput();
    ASSERT_EQ(taro->Wait(), 0) << taro->error();

    // taro's log holds exactly the lines taro's pane showed, in order.
    const std::optional<ParsedPage> log = ParsePage(taroLog);
    ASSERT_TRUE(log.has_value());
    ExpectOnlyOwnElements(*log);
    const std::vector<std::string> shown = OutputLines(taro->output());
    ASSERT_GT(shown.size(), 8U);
    EXPECT_EQ(Texts(*log), shown);
    const std::vector<std::string> logged = Texts(*log);
    EXPECT_LT(IndexOf(logged, "jiro: " + std::string(kHostileShown)), logged.size());
    EXPECT_LT(IndexOf(logged, "(secret)"), logged.size());
    EXPECT_LT(IndexOf(logged, "psst"), logged.size());
    for (const ParsedLine& line : log->lines) {
        EXPECT_EQ(line.time.size(), 8U) << line.text;  // HH:MM:SS
    }
    ASSERT_EQ(log->headers.size(), 1U);
    EXPECT_NE(log->headers[0].find("127.0.0.1:" + port), std::string::npos) << log->headers[0];
    EXPECT_NE(log->headers[0].find("taro"), std::string::npos) << log->headers[0];

    // The pane's colours: names, system lines and dice in their slots, as the default
    // settings give them.
    EXPECT_NE(log->style.find("background: #000000"), std::string::npos);
    EXPECT_NE(log->style.find(".c0 { color: #ffffff; }"), std::string::npos);
    EXPECT_NE(log->style.find(".c1 { color: #00ffff; }"), std::string::npos);
    EXPECT_NE(log->style.find(".c2 { color: #ffff80; }"), std::string::npos);
    EXPECT_NE(log->style.find(".c3 { color: #ffffff; }"), std::string::npos);
    const ParsedLine& hostile = log->lines[IndexOf(logged, kHostileShown)];
    ASSERT_FALSE(hostile.runs.empty());
    EXPECT_EQ(hostile.runs.front(), std::make_pair(std::string("c1"), std::string("jiro:")));
    EXPECT_TRUE(HasRunOf(*log, "c2"));
    EXPECT_TRUE(HasRunOf(*log, "c3"));

    // saburo saves the page afterwards: every line it was shown, no secret roll and no one
    // else's private message, the hostile text as text.
    const std::string pagePath = saburoDir.dir() + "page.html";
    ASSERT_TRUE(saburo->ExportSessionHtml(pagePath));
    const std::optional<ParsedPage> page = ParsePage(pagePath);
    ASSERT_TRUE(page.has_value());
    ExpectOnlyOwnElements(*page);
    const std::vector<std::string> saved = Texts(*page);
    EXPECT_EQ(saved.size(), static_cast<std::size_t>(std::count(saburoPane.text().begin(),
                                                                saburoPane.text().end(), '\n')));
    const char* const inOrder[] = {" JOIN #main", "taro: hello everyone", kHostileShown, "(attack)",
                                   "taro: done"};
    std::size_t at = 0;
    for (const char* part : inOrder) {
        at = IndexOf(saved, part, at);
        EXPECT_LT(at, saved.size()) << "missing or out of order: " << part;
    }
    EXPECT_EQ(IndexOf(saved, "(secret)"), saved.size());
    EXPECT_EQ(IndexOf(saved, "psst"), saved.size());
    ASSERT_EQ(page->headers.size(), 1U);
    EXPECT_NE(page->headers[0].find("saburo"), std::string::npos) << page->headers[0];
    EXPECT_NE(page->headers[0].find("#main"), std::string::npos) << page->headers[0];
}

}  // namespace
}  // namespace tessel
