// SPDX-License-Identifier: MIT

#include "platform/FileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "frame/TempDir.h"
#include "platform/OwnFiles.h"

namespace tessel {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// "太郎-#部屋.log" in both forms.
const std::string kLogNameSjis = "\x91\xbe\x98\x59-#\x95\x94\x89\xae.log";
const std::string kLogNameUtf8 = "\xe5\xa4\xaa\xe9\x83\x8e-#\xe9\x83\xa8\xe5\xb1\x8b.log";

struct PathCase {
    std::string core;
    std::optional<std::string> system;
};

TEST(SystemPathTest, ShiftJisNamesBecomeUtf8AndBrokenOnesAreRefused) {
    const PathCase cases[] = {
        {"/tmp/plain.txt", "/tmp/plain.txt"},
        {"/logs/" + kLogNameSjis, "/logs/" + kLogNameUtf8},
        // "ソ表": trail bytes 0x5C stay inside their characters, never a separator.
        {"\x83\x5c\x95\x5c", "\xe3\x82\xbd\xe8\xa1\xa8"},
        {"half\x81", std::nullopt},                   // a lead byte without its trail
        {std::string("nul\0byte", 8), std::nullopt},  // no path holds a zero byte
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(SystemPath(c.core), c.system) << c.core;
    }
}

TEST(SystemPathTest, PathsFromTheSystemComeBackInShiftJis) {
    EXPECT_EQ(CorePath("/logs/" + kLogNameUtf8), "/logs/" + kLogNameSjis);
    EXPECT_EQ(CorePath("ascii/only"), "ascii/only");
    EXPECT_EQ(CorePath("\xf0\x9f\x98\x80"), std::nullopt);  // an emoji: no code page 932 code
    EXPECT_EQ(CorePath("\xff\xfe"), std::nullopt);          // not UTF-8 at all
}

TEST(ReadRegularFileTest, OnlyRegularFilesWithinTheLimitAreRead) {
    TempDir dir;
    WriteBytes(dir.File("small"), "abc");
    WriteBytes(dir.File("big"), std::string(101, 'x'));
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);

    const FileBytes small = ReadRegularFile(dir.File("small"), 100);
    EXPECT_EQ(small.status, ReadStatus::kOk);
    EXPECT_EQ(small.bytes, "abc");
    EXPECT_EQ(ReadRegularFile(dir.File("big"), 100).status, ReadStatus::kTooLarge);
    EXPECT_EQ(ReadRegularFile(dir.File("big"), 101).status, ReadStatus::kOk);
    // Neither waits for a writer nor reads without end.
    EXPECT_EQ(ReadRegularFile(dir.File("fifo"), 100).status, ReadStatus::kNotRegular);
    EXPECT_EQ(ReadRegularFile("/dev/zero", 100).status, ReadStatus::kNotRegular);
    EXPECT_EQ(ReadRegularFile(dir.path(), 100).status, ReadStatus::kNotRegular);
    EXPECT_EQ(ReadRegularFile(dir.File("missing"), 100).status, ReadStatus::kMissing);
    EXPECT_EQ(ReadRegularFile(dir.File("bad\x81"), 100).status, ReadStatus::kBadName);
}

TEST(FileNamesOnDiskTest, CreatedAndListedNamesAreUtf8OnDiskAndShiftJisInTheCore) {
    TempDir dir;
    File log = OpenForAppend(dir.path() + "/" + kLogNameSjis);
    ASSERT_TRUE(log.IsOpen());
    ASSERT_TRUE(log.Write("line\r\n"));
    EXPECT_EQ(ReadBytes(dir.File(kLogNameUtf8)), "line\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File(kLogNameSjis)));

    WriteBytes(dir.File("\xf0\x9f\x98\x80.txt"), "");  // a name the core cannot hold
    const auto names = ListDirectory(dir.path());
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, std::vector<std::string>{kLogNameSjis});
}

TEST(FileNamesOnDiskTest, ReceivedFilesAreNeverLinksOrPipes) {
    TempDir dir;
    WriteBytes(dir.File("target"), "keep");
    std::filesystem::create_symlink(dir.File("target"), dir.File("link"));
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(OpenReceivedFile(dir.File("link")).IsOpen());
    EXPECT_FALSE(OpenReceivedFile(dir.File("fifo")).IsOpen());
    EXPECT_EQ(ReadBytes(dir.File("target")), "keep");
    // An existing file is opened as it is: nothing is emptied before the caller decides.
    File existing = OpenReceivedFile(dir.File("target"));
    ASSERT_TRUE(existing.IsOpen());
    EXPECT_EQ(existing.Size(), 4u);
}

class OwnFilesTest : public ::testing::Test {
  protected:
    OwnFilesTest() {
        WriteBytes(dir.File("tessel.ini"), "[Options]\r\nisrecvfile=1\r\n");
        own.Add(dir.File("tessel.ini"));
        own.Add(dir.File("tessel.key"));  // not there yet: may be read at the next start
    }

    TempDir dir;
    OwnFiles own;
};

TEST_F(OwnFilesTest, EverySpellingOfTheDirectoryIsTheSamePlace) {
    std::filesystem::create_symlink(dir.path(), dir.File("alias"));
    const std::string spellings[] = {
        dir.path() + "/", dir.path() + "/./", dir.path() + "/alias/",
        dir.path() + "/alias/../" + std::filesystem::path(dir.path()).filename().string() + "/"};
    for (const std::string& directory : spellings) {
        EXPECT_TRUE(own.IsOwnName(directory, "tessel.ini")) << directory;
        EXPECT_TRUE(own.IsOwnName(directory, "tessel.key")) << directory;
        EXPECT_FALSE(own.IsOwnName(directory, "other.txt")) << directory;
    }
}

TEST_F(OwnFilesTest, AHardLinkIsTheSameFile) {
    TempDir elsewhere;
    ASSERT_EQ(::link(dir.File("tessel.ini").c_str(), elsewhere.File("innocent.txt").c_str()), 0);
    EXPECT_TRUE(own.IsOwnFile(OpenReceivedFile(elsewhere.File("innocent.txt"))));
    WriteBytes(elsewhere.File("other.txt"), "");
    EXPECT_FALSE(own.IsOwnFile(OpenReceivedFile(elsewhere.File("other.txt"))));
}

TEST_F(OwnFilesTest, ARemovedFileIsFreeAgain) {
    own.Remove(dir.File("tessel.key"));
    EXPECT_FALSE(own.IsOwnName(dir.path() + "/", "tessel.key"));
    EXPECT_TRUE(own.IsOwnName(dir.path() + "/", "tessel.ini"));
}

}  // namespace
}  // namespace tessel
