// SPDX-License-Identifier: MIT

#include "session/FileExchange.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/SessionTexts.h"
#include "support/FrontEndRecorder.h"
#include "support/TempDirectory.h"

namespace tessel {
namespace {

// The piece numbers and data sizes of a file send, read back from the blocks' own lines.
std::vector<std::pair<int, int>> Pieces(const std::vector<std::string>& blocks) {
    std::vector<std::pair<int, int>> pieces;
    for (const std::string& block : blocks) {
        const std::size_t second = block.find('\n') + 1;
        const std::string line = block.substr(second, block.find('\n', second) - second);
        int number = 0;
        int count = 0;
        char name[256];
        if (std::sscanf(line.c_str(), "CC FILESEND %255s %d %d", name, &number, &count) == 3) {
            pieces.emplace_back(number, count);
        }
    }
    return pieces;
}

TEST(FileSendBlocksTest, PieceNumbersAndSizes) {
    using P = std::vector<std::pair<int, int>>;
    EXPECT_EQ(Pieces(FileSendBlocks("*", "a", std::string(1500, 'x'))), (P{{1, 1024}, {254, 476}}));
    EXPECT_EQ(Pieces(FileSendBlocks("*", "a", std::string(1024, 'x'))), (P{{1, 1024}, {254, 0}}));
    EXPECT_EQ(Pieces(FileSendBlocks("*", "a", std::string(700, 'x'))), (P{{255, 700}}));
    EXPECT_EQ(Pieces(FileSendBlocks("*", "a", "")), (P{{255, 0}}));
    const auto largest = Pieces(FileSendBlocks("*", "a", std::string(32768, 'x')));
    ASSERT_EQ(largest.size(), 33u);
    EXPECT_EQ(largest[31], std::make_pair(32, 1024));
    EXPECT_EQ(largest[32], std::make_pair(254, 0));
}

TEST(FileSendBlocksTest, BlockLayoutIsExact) {
    const auto blocks = FileSendBlocks("bob", "notes.txt", "hello");
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0], "SENDMESG bob\nCC FILESEND notes.txt 255        5\nhello");
    EXPECT_EQ(SoundRequestBlock("*", "/usr/share/sounds/door.wav"),
              "SENDMESG *\nCC SOUNDPLAY door.wav\n");
}

TEST(SendFileTest, RefusesMissingAndOversizedFiles) {
    test::TempDirectory dir;
    std::vector<std::string> posted;
    auto post = [&](std::string_view block) { posted.emplace_back(block); };
    dir.Write("big", std::string(32769, 'b'));
    dir.Write("exact", std::string(32768, 'e'));
    EXPECT_EQ(SendFile(post, "*", dir.dir() + "missing", std::chrono::milliseconds(0)),
              FileSendResult::CannotOpen);
    EXPECT_EQ(SendFile(post, "*", dir.dir() + "big", std::chrono::milliseconds(0)),
              FileSendResult::TooLarge);
    EXPECT_TRUE(posted.empty());
    EXPECT_EQ(SendFile(post, "*", dir.dir() + "exact", std::chrono::milliseconds(0)),
              FileSendResult::Sent);
    EXPECT_EQ(posted.size(), 33u);
    EXPECT_EQ(posted[0].substr(0, 34), "SENDMESG *\nCC FILESEND exact   1  ");
}

class ReceiveTest : public ::testing::Test {
  protected:
    // What arrives at the receiver: the block's body, after the SENDMESG line.
    static std::string BodyOf(const std::string& block) {
        return block.substr(block.find('\n') + 1);
    }

    std::vector<std::string> Lines() {
        std::vector<std::string> lines;
        while (auto item = queue.TakeDisplayItem()) {
            EXPECT_EQ(item->name, "system");
            EXPECT_EQ(item->systemName, 1);
            lines.push_back(item->text);
        }
        return lines;
    }

    static std::string Text(std::string_view pattern, std::string a, std::string b = "") {
        std::string out(pattern);
        out.replace(out.find("%s"), 2, a);
        if (out.find("%s") != std::string::npos) {
            out.replace(out.find("%s"), 2, b);
        }
        return out;
    }

    test::TempDirectory dir;
    test::FrontEndRecorder frontEnd;
    DisplayQueue queue{frontEnd};
};

TEST_F(ReceiveTest, PiecesRebuildTheFileByteForByte) {
    std::string data;
    for (int i = 0; i < 1500; ++i) {
        data += static_cast<char>(i * 7);  // every byte value, zeros and line feeds included
    }
    for (const std::string& block : FileSendBlocks("*", "data.bin", data)) {
        ReceiveFilePiece("alice", BodyOf(block), dir.dir(), queue);
    }
    EXPECT_EQ(dir.Read("data.bin"), data);
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{Text(texts::kFileReceiveStart, "alice", "data.bin"),
                                        Text(texts::kFileReceiveEnd, "data.bin")}));
}

TEST_F(ReceiveTest, AFirstPieceStartsTheFileAgain) {
    dir.Write("a.txt", "old contents that are longer");
    ReceiveFilePiece("bob", BodyOf(FileSendBlocks("*", "a.txt", "new")[0]), dir.dir(), queue);
    EXPECT_EQ(dir.Read("a.txt"), "new");
}

TEST_F(ReceiveTest, HostileNamesAndCountsAreRefused) {
    test::TempDirectory outside;
    const std::vector<std::string> names = {"../escape", "sub/file", "..", "a\\b"};
    for (const std::string& name : names) {
        ReceiveFilePiece("mallory", "CC FILESEND " + name + " 255 3\nabc", dir.dir(), queue);
    }
    ReceiveFilePiece("mallory", "CC FILESEND " + outside.path() + "/abs 255 3\nabc", dir.dir(),
                     queue);
    // A count past the data that arrived.
    ReceiveFilePiece("mallory", "CC FILESEND long.txt 255 100\nshort", dir.dir(), queue);
    ReceiveFilePiece("mallory", "CC FILESEND neg.txt 255 -5\nshort", dir.dir(), queue);
    EXPECT_FALSE(dir.Exists("long.txt"));
    EXPECT_FALSE(dir.Exists("neg.txt"));
    EXPECT_FALSE(outside.Exists("abs"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), names.size() + 3);
    EXPECT_EQ(lines.back(), Text(texts::kFileReceiveFailed, "neg.txt"));
}

TEST_F(ReceiveTest, JapaneseNamesWithABackslashByteAreKeptInUtf8) {
    // "ソ表.txt": both characters end in 0x5C, which is no separator inside a character.
    const std::string name = "\x83\x5C\x95\x5C.txt";
    ReceiveFilePiece("bob", BodyOf(FileSendBlocks("*", name, "data")[0]), dir.dir(), queue);
    EXPECT_EQ(dir.Read("\xe3\x82\xbd\xe8\xa1\xa8.txt"), "data");
    EXPECT_FALSE(dir.Exists(name));
    // A name with no UTF-8 form (a lead byte without its trail) is refused.
    ReceiveFilePiece("bob", "CC FILESEND half\x81 255 1\nx", dir.dir(), queue);
    EXPECT_EQ(Lines().back(), Text(texts::kFileReceiveFailed, "half\x81"));
    // A lone backslash still is one.
    ReceiveFilePiece("bob", "CC FILESEND a\\b.txt 255 1\nx", dir.dir(), queue);
    EXPECT_FALSE(dir.Exists("a\\b.txt"));
}

TEST_F(ReceiveTest, OwnFilesAndHiddenFilesCannotBeReplaced) {
    // Without a chosen directory nothing is written: the working directory holds the
    // program's own settings and key file.
    ReceiveFilePiece("mallory", "CC FILESEND tessel.key 255 6\nexec x", "", queue);
    EXPECT_FALSE(std::filesystem::exists("tessel.key"));
    ReceiveFilePiece("mallory", "CC FILESEND .bashrc 255 1\nx", dir.dir(), queue);
    EXPECT_FALSE(dir.Exists(".bashrc"));
    EXPECT_EQ(Lines().size(), 2u);
}

TEST_F(ReceiveTest, NamesWithControlBytesAreRefused) {
    const std::vector<std::string> names = {"\x1b]0;owned\x07.txt", "a\rb.txt", "bell\x07",
                                            "del\x7f.txt", "soh\x01.txt"};
    for (const std::string& name : names) {
        ReceiveFilePiece("mallory", "CC FILESEND " + name + " 255 1\nx", dir.dir(), queue);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), names.size());
    EXPECT_EQ(lines[0], Text(texts::kFileReceiveFailed, "\x1b]0;owned\x07.txt"));
}

TEST_F(ReceiveTest, OwnFilesAreKeptWhateverTheDirectoryIsCalled) {
    dir.Write("tessel.ini", "[Options]\r\nisrecvfile=1\r\n");
    OwnFiles own;
    own.Add(dir.dir() + "tessel.ini");
    own.Add(dir.dir() + "tessel.key");
    own.Add(dir.dir() + "dice.log");
    dir.Write("dice.log", "log so far\r\n");
    std::filesystem::create_symlink(dir.path(), dir.dir() + "alias");
    test::TempDirectory elsewhere;
    std::filesystem::create_hard_link(dir.dir() + "dice.log", elsewhere.dir() + "notes.txt");

    const std::string directories[] = {dir.dir(), dir.dir() + "./", dir.dir() + "alias/",
                                       dir.dir() + "alias"};
    for (const std::string& directory : directories) {
        for (const char* name : {"tessel.ini", "tessel.key", "dice.log"}) {
            ReceiveFilePiece("mallory", "CC FILESEND " + std::string(name) + " 255 3\nbad",
                             directory, queue, &own);
        }
    }
    ReceiveFilePiece("mallory", "CC FILESEND notes.txt 255 3\nbad", elsewhere.dir(), queue, &own);
    EXPECT_EQ(dir.Read("tessel.ini"), "[Options]\r\nisrecvfile=1\r\n");
    EXPECT_EQ(dir.Read("dice.log"), "log so far\r\n");
    EXPECT_FALSE(dir.Exists("tessel.key"));
    const auto lines = Lines();
    EXPECT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines.back(), Text(texts::kFileReceiveFailed, "notes.txt"));

    // Other names in the same directory are received as usual.
    ReceiveFilePiece("bob", "CC FILESEND fine.txt 255 2\nok", dir.dir() + "./", queue, &own);
    EXPECT_EQ(dir.Read("fine.txt"), "ok");
}

TEST_F(ReceiveTest, ADirectoryWithoutItsSlashStillHoldsTheFile) {
    std::filesystem::create_directory(dir.dir() + "in");
    ReceiveFilePiece("bob", "CC FILESEND a.txt 255 1\nx", dir.dir() + "in", queue);
    EXPECT_EQ(dir.Read("in/a.txt"), "x");
    EXPECT_FALSE(dir.Exists("ina.txt"));
}

TEST_F(ReceiveTest, AppendedPiecesStopAtTheLargestSendableFile) {
    const std::string piece = "CC FILESEND big.bin 2 1024\n" + std::string(1024, 'b');
    for (int i = 0; i < 40; ++i) {
        ReceiveFilePiece("mallory", piece, dir.dir(), queue);
    }
    EXPECT_EQ(dir.Read("big.bin").size(), kMaxSendFileSize);
    EXPECT_EQ(Lines().back(), Text(texts::kFileReceiveFailed, "big.bin"));
}

TEST_F(ReceiveTest, PieceNumbersBelowOneAreIgnoredSilently) {
    ReceiveFilePiece("bob", "CC FILESEND a.txt 0 1\nx", dir.dir(), queue);
    ReceiveFilePiece("bob", "CC FILESEND a.txt x 1\nx", dir.dir(), queue);
    ReceiveFilePiece("bob", "CC FILESEND a.txt", dir.dir(), queue);
    EXPECT_FALSE(dir.Exists("a.txt"));
    EXPECT_TRUE(Lines().empty());
}

TEST_F(ReceiveTest, AFileThatCannotBeOpenedIsReported) {
    ReceiveFilePiece("bob", "CC FILESEND a.txt 255 1\nx", dir.dir() + "no-such-dir/", queue);
    EXPECT_EQ(Lines(), std::vector<std::string>{Text(texts::kFileReceiveFailed, "a.txt")});
}

class RecordingPlayer : public SoundPlayer {
  public:
    void Play(const std::string& path) override { played.push_back(path); }
    std::vector<std::string> played;
};

TEST_F(ReceiveTest, SoundRequestsAreAnnouncedAndPlayedFromTheWaveDirectory) {
    RecordingPlayer player;
    ReceiveSoundRequest("bob", "CC SOUNDPLAY door.wav\n", "/home/u/wav/", queue, &player);
    ReceiveSoundRequest("bob", "CC SOUNDPLAY ../../etc/x.wav\n", "/home/u/wav/", queue, &player);
    EXPECT_EQ(player.played, std::vector<std::string>{"/home/u/wav/door.wav"});
    EXPECT_EQ(Lines().front(), Text(texts::kSoundRequestReceived, "bob", "door.wav"));
}

}  // namespace
}  // namespace tessel
