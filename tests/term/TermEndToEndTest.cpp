// SPDX-License-Identifier: MIT

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/Bytes.h"
#include "support/ChildProcess.h"
#include "support/LoopbackPeer.h"
#include "support/TempDirectory.h"
#include "term/TermCodec.h"

namespace tessel {
namespace {

using test::Bytes;

constexpr std::string_view kGreeting = "TesseraRELAY 0.2\ntoServer\n";

std::string Reply(std::string_view commandLine, std::string_view id, std::string_view body,
                  std::string_view type = "tesra/euc") {
    std::string out = "TesseraRELAY/0.1\ntoClient\n";
    out += commandLine;
    out += "\nContent-length: " + std::to_string(body.size()) + "\nContent-type: ";
    out += type;
    out += "\nID: ";
    out += id;
    out += "\n\n";
    out += body;
    return out;
}

// The terminal client as a user runs it: its own working directory with tessel.ini, a server
// (played by the test) on loopback, lines typed on standard input.
class TermEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        dir.Write("tessel.ini",
                  "[Settings]\r\nautolog=1\r\nlogdir=" + dir.dir() + "\r\nautologname=%N.log\r\n");
    }

    std::unique_ptr<test::ChildProcess> Start(std::vector<std::string> args) {
        args.insert(args.begin(), TESSEL_TERM_BINARY);
        return std::make_unique<test::ChildProcess>(std::move(args), dir.path());
    }

    test::TempDirectory dir;
    test::LoopbackPeer peer;
};

TEST_F(TermEndToEnd, TypedRollIsSentAndTheReportShownAndLogged) {
    auto term = Start({"--host", "127.0.0.1", "--port", std::to_string(peer.port()), "--handle",
                       "taro", "--channel", "main"});
    ASSERT_TRUE(term->started());
    ASSERT_TRUE(peer.Accept());
    const std::string registration =
        std::string(kGreeting) + "OPEN 127.0.0.1:" + std::to_string(peer.PeerPort()) +
        " taro\nID: a25500000000\n\n" + std::string(kGreeting) + "JOIN #main\nID: a25500001000\n\n";
    EXPECT_EQ(Bytes(peer.ReadAtLeast(registration.size())), Bytes(registration));
    peer.ClearReceived();
    peer.Write(Reply("RESPONSE 100", "a25500000000", "OPEN taro\n") +
               Reply("RESPONSE 100", "a25500001000", "JOIN #main\n"));
    ASSERT_TRUE(term->WaitForOutput(" JOIN #main\n"));

    term->Write("2d6+1 attack\n");
    const std::string roll =
        std::string(kGreeting) + "ROLL 2 6 0 0\nID: m25500002000+001xattack\n\n";
    EXPECT_EQ(Bytes(peer.ReadAtLeast(roll.size())), Bytes(roll));
    peer.Write(Reply("SHOW 2 6 taro 0 0", "m25500002000+001xattack", "4\n1\n", "tesra/result"));
    // "合計値: 6" in the terminal's UTF-8.
    ASSERT_TRUE(term->WaitForOutput("\xE5\x90\x88\xE8\xA8\x88\xE5\x80\xA4: 6"));

    // Japanese typed in UTF-8 goes out as EUC-JP: "こんにちは".
    peer.ClearReceived();
    term->Write("\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF\n");
    EXPECT_NE(peer.ReadUntil("\xA4\xCF").find("\n\n\xA4\xB3\xA4\xF3\xA4\xCB\xA4\xC1\xA4\xCF"),
              std::string::npos);

    term->CloseInput();
    EXPECT_EQ(term->Wait(), 0);
    EXPECT_TRUE(peer.WaitForClose());

    const std::string shown = term->output();
    EXPECT_NE(shown.find("taro"), std::string::npos);
    EXPECT_NE(shown.find("(attack)"), std::string::npos);
    EXPECT_NE(shown.find(" 4 1 \n"), std::string::npos) << shown;
    EXPECT_EQ(shown.find('\x1B'), std::string::npos) << "no colours into a pipe";

    // The log holds what was shown from the moment the handle made its name, in Shift-JIS with
    // the pane's CR LF line ends.
    const std::string log = dir.Read("taro.log");
    ASSERT_FALSE(log.empty());
    std::string logAsShown = TermCodec().ToUtf8(log);
    for (std::size_t at; (at = logAsShown.find("\r\n")) != std::string::npos;) {
        logAsShown.erase(at, 1);
    }
    EXPECT_NE(shown.find(logAsShown), std::string::npos) << "log:\n" << logAsShown;
    EXPECT_NE(logAsShown.find("\xE5\x90\x88\xE8\xA8\x88\xE5\x80\xA4: 6"), std::string::npos);
}

TEST_F(TermEndToEnd, PeersCannotSendTerminalControlSequences) {
    auto term = Start({"--host", "127.0.0.1", "--port", std::to_string(peer.port())});
    ASSERT_TRUE(peer.Accept());
    peer.Write(Reply("SHOWMESG bob", "s***001", "hi \x1B]0;owned\x07\x1B[2J\x7F there"));
    ASSERT_TRUE(term->WaitForOutput("there"));
    term->CloseInput();
    EXPECT_EQ(term->Wait(), 0);
    const std::string shown = term->output();
    EXPECT_EQ(shown.find('\x1B'), std::string::npos);
    EXPECT_EQ(shown.find('\x07'), std::string::npos);
    EXPECT_NE(shown.find("bob: hi ^[]0;owned^G^[[2J^? there"), std::string::npos) << shown;
}

TEST_F(TermEndToEnd, ARefusedConnectionIsShownAndInputStillEnds) {
    peer.StopListening();
    auto term = Start({"--host", "127.0.0.1", "--port", std::to_string(peer.port())});
    term->Write("hello\n");
    term->CloseInput();
    EXPECT_EQ(term->Wait(), 0);
    // "接続は拒否されました"
    EXPECT_NE(term->output().find("\xE6\x8E\xA5\xE7\xB6\x9A\xE3\x81\xAF\xE6\x8B\x92\xE5\x90\xA6"),
              std::string::npos)
        << term->output();
}

TEST_F(TermEndToEnd, OptionsAreCheckedAndDocumented) {
    auto help = Start({"--help"});
    EXPECT_EQ(help->Wait(), 0);
    EXPECT_NE(help->output().find("Usage: tessel-term"), std::string::npos);
    auto bad = Start({"--port", "70000"});
    EXPECT_EQ(bad->Wait(), 2);
    EXPECT_NE(bad->error().find("--port takes a number from 0 to 65535"), std::string::npos);
    auto unknown = Start({"--colour"});
    EXPECT_EQ(unknown->Wait(), 2);
}

// Every file found beneath `root`, relative to it.
std::vector<std::string> FilesUnder(const std::string& root) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_directory()) {
            files.push_back(std::filesystem::relative(entry.path(), root).string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

struct FolderCase {
    const char* what;
    std::string folder;  // --dir as given, relative to the working directory or absolute
    bool iniThere;       // the folder has a tessel.ini naming server, handle and channel
    bool flagFirst;      // an option without a value comes before --dir
};

// --dir moves every file the client keeps (settings, log) into the folder, creating it; the
// working directory it was started in stays untouched. A tessel.ini already there gives the
// defaults, as the working directory's would.
TEST_F(TermEndToEnd, DirOptionKeepsEveryFileInThatFolder) {
    const test::TempDirectory elsewhere;
    const std::vector<FolderCase> cases = {
        {"new folder, relative", "games/monday", false, false},
        {"new folder, absolute", elsewhere.path() + "/sunday", false, true},
        {"folder with its own tessel.ini", elsewhere.path() + "/friday", true, true},
    };
    ::mkdir((elsewhere.path() + "/friday").c_str(), 0700);
    elsewhere.Write("friday/tessel.ini",
                    "[Settings]\r\nipaddr=127.0.0.1\r\nport=" + std::to_string(peer.port()) +
                        "\r\nname=hanako\r\nchannel=main\r\nautolog=1\r\nautologname=%N.log\r\n");
    const std::vector<std::string> startFiles = FilesUnder(dir.path());
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = {"--dir", c.folder};
        if (c.flagFirst) {
            args.insert(args.begin(), "--reconnect");
        }
        if (!c.iniThere) {
            args.insert(args.end(), {"--host", "127.0.0.1", "--port", std::to_string(peer.port()),
                                     "--handle", "taro", "--channel", "main"});
        }
        auto term = Start(args);
        ASSERT_TRUE(peer.Accept());
        const std::string handle = c.iniThere ? "hanako" : "taro";
        ASSERT_NE(peer.ReadUntil("JOIN #main").find(" " + handle + "\n"), std::string::npos);
        peer.Write(Reply("RESPONSE 100", "a25500000000", "OPEN " + handle + "\n") +
                   Reply("RESPONSE 100", "a25500001000", "JOIN #main\n"));
        ASSERT_TRUE(term->WaitForOutput(" JOIN #main\n"));
        term->CloseInput();
        EXPECT_EQ(term->Wait(), 0);
        ASSERT_TRUE(peer.WaitForClose());
        peer.ClearReceived();

        const std::string folder = c.folder.front() == '/' ? c.folder : dir.path() + "/" + c.folder;
        // The automatic log is one of the files the client keeps: with the folder's
        // tessel.ini asking for it, it is written there too.
        const std::vector<std::string> files = FilesUnder(folder);
        std::vector<std::string> expected = {"tessel.ini"};
        if (c.iniThere) {
            expected.push_back("hanako.log");
        }
        for (const std::string& file : expected) {
            EXPECT_NE(std::find(files.begin(), files.end(), file), files.end()) << file;
        }
        std::ifstream in(folder + "/tessel.ini", std::ios::binary);
        const std::string ini(std::istreambuf_iterator<char>(in), {});
        EXPECT_NE(ini.find("name=" + handle + "\r\n"), std::string::npos) << ini;
        // Nothing new where it was started, but the folder it was told to make.
        std::vector<std::string> now = FilesUnder(dir.path());
        std::erase_if(now, [](const std::string& f) { return f.starts_with("games/"); });
        EXPECT_EQ(now, startFiles);
    }
}

TEST_F(TermEndToEnd, ADirThatCannotBeMadeStopsTheClientBeforeItConnects) {
    dir.Write("plain-file", "x");
    auto term = Start({"--dir", "plain-file/tessel", "--host", "127.0.0.1", "--port",
                       std::to_string(peer.port())});
    EXPECT_EQ(term->Wait(), 1);
    EXPECT_NE(term->error().find("cannot create plain-file/tessel: "), std::string::npos)
        << term->error();
    EXPECT_FALSE(peer.Accept(std::chrono::milliseconds(0)));
}

TEST_F(TermEndToEnd, JapaneseHandleAndChannelOptionsAreConvertedLikeTypedLines) {
    // "太郎" and "部屋" typed on the command line in UTF-8.
    auto term = Start({"--host", "127.0.0.1", "--port", std::to_string(peer.port()), "--handle",
                       "\xE5\xA4\xAA\xE9\x83\x8E", "--channel", "\xE9\x83\xA8\xE5\xB1\x8B"});
    ASSERT_TRUE(peer.Accept());
    const std::string registration =
        std::string(kGreeting) + "OPEN 127.0.0.1:" + std::to_string(peer.PeerPort()) +
        " \xC2\xC0\xCF\xBA\nID: a25500000000\n\n" + std::string(kGreeting) +
        "JOIN #\xC9\xF4\xB2\xB0\nID: a25500001000\n\n";
    EXPECT_EQ(Bytes(peer.ReadAtLeast(registration.size())), Bytes(registration));
    peer.Write(Reply("RESPONSE 100", "a25500000000", "OPEN x\n"));
    // The acknowledged handle shows as typed: " OPEN 太郎".
    EXPECT_TRUE(term->WaitForOutput(" OPEN \xE5\xA4\xAA\xE9\x83\x8E\n"));
    term->CloseInput();
    EXPECT_EQ(term->Wait(), 0);
    // Stored as the program keeps all its text, in Shift-JIS.
    const std::string ini = dir.Read("tessel.ini");
    EXPECT_NE(ini.find("name=\x91\xBE\x98\x59\r\n"), std::string::npos)
        << ::testing::PrintToString(Bytes(ini));
    EXPECT_NE(ini.find("channel=\x95\x94\x89\xAE\r\n"), std::string::npos)
        << ::testing::PrintToString(Bytes(ini));
}

TEST_F(TermEndToEnd, AHandleShiftJisCannotHoldIsRefusedBeforeAnythingIsSentOrStored) {
    const std::string before = dir.Read("tessel.ini");
    for (const std::string option : {"--handle", "--channel"}) {
        // U+20BB7, a variant of "吉" outside code page 932.
        auto term = Start({"--host", "127.0.0.1", "--port", std::to_string(peer.port()), "--handle",
                           "taro", option, "\xF0\xA0\xAE\xB7"});
        EXPECT_EQ(term->Wait(), 2);
        EXPECT_NE(term->error().find(option + " "), std::string::npos) << term->error();
        EXPECT_NE(term->error().find("Shift-JIS"), std::string::npos) << term->error();
    }
    EXPECT_FALSE(peer.Accept(std::chrono::milliseconds(0)));
    EXPECT_EQ(dir.Read("tessel.ini"), before);
}

TEST_F(TermEndToEnd, GetUserPrintsTheUserTableWhenItArrives) {
    auto term = Start({"--host", "127.0.0.1", "--port", std::to_string(peer.port()), "--handle",
                       "taro", "--channel", "main"});
    ASSERT_TRUE(peer.Accept());
    peer.ReadUntil("JOIN #main");
    const std::string table =
        "taro #main 127.0.0.1:5000 1\n\xC2\xC0\xCF\xBA NoJoin 127.0.0.1:5001 0\n";
    // A table the user did not ask for is not printed.
    peer.Write(Reply("PUTUSER", "s***001", table));
    peer.Write(Reply("SHOWMESG bob", "s***001", "before"));
    ASSERT_TRUE(term->WaitForOutput("bob: before"));
    peer.ClearReceived();
    term->Write("GETUSER\n");
    peer.ReadUntil("GETUSER\n");
    peer.Write(Reply("PUTUSER", "s***001", table));
    // "名前	属性	チャネル	アドレス", then one user a line, the master marked M.
    const std::string printed =
        "\xE5\x90\x8D\xE5\x89\x8D\t\xE5\xB1\x9E\xE6\x80\xA7\t\xE3\x83\x81\xE3\x83\xA3"
        "\xE3\x83\x8D\xE3\x83\xAB\t\xE3\x82\xA2\xE3\x83\x89\xE3\x83\xAC\xE3\x82\xB9\n"
        "taro\tM\t#main\t127.0.0.1:5000\n"
        "\xE5\xA4\xAA\xE9\x83\x8E\t\tNoJoin\t127.0.0.1:5001\n";
    EXPECT_TRUE(term->WaitForOutput(printed)) << term->output();
    term->CloseInput();
    EXPECT_EQ(term->Wait(), 0);
    const std::string shown = term->output();
    EXPECT_EQ(shown.find("taro\tM"), shown.rfind("taro\tM")) << "printed once";
}

}  // namespace
}  // namespace tessel
