// SPDX-License-Identifier: MIT

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>

#include "frame/TempDir.h"
#include "platform/ProfileStore.h"

namespace tessel {
namespace {

using test::Entries;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

struct WriteCase {
    const char* name;
    std::optional<std::string_view> before;  // nullopt: no file yet
    std::string_view section;
    std::string_view key;
    std::string_view value;
    std::string_view after;
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

class ProfileWriteRules : public ::testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWriteRules, ChangesOnlyWhatTheWriteNeeds) {
    const WriteCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("tessel.ini");
    if (c.before) {
        WriteBytes(path, *c.before);
    }
    ProfileStore store(path);
    ASSERT_TRUE(store.WriteProfileString(c.section, c.key, c.value));
    EXPECT_EQ(ReadBytes(path), std::string(c.after));
    EXPECT_EQ(store.GetProfileString(c.section, c.key, "<default>"), c.value);
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"tessel.ini"});
}

// clang-format off
const WriteCase kWriteCases[] = {
    {"NewFile", std::nullopt, "App", "key", "string", "[App]\r\nkey=string\r\n"},
    {"EmptyExistingFile", "", "App", "key", "string", "[App]\r\nkey=string\r\n"},
    {"EmptyValueIsWrittenNotDeleted", std::nullopt, "App", "k", "", "[App]\r\nk=\r\n"},
    {"NamesWrittenTrimmed", std::nullopt, " App\t", "  k ", "v", "[App]\r\nk=v\r\n"},
    // Existing key: same place, same spelling, only the value changes.
    {"KeyKeepsPlaceAndSpelling", "[App]\r\nKEY=old\r\nother=1\r\n", "app", "key", "new",
     "[App]\r\nKEY=new\r\nother=1\r\n"},
    {"FirstOfDuplicateKeys", "[App]\r\nk=1\r\nk=2\r\n", "App", "k", "9",
     "[App]\r\nk=9\r\nk=2\r\n"},
    {"SpacingAroundValueKept", "[App]\r\n  k  =  old  \r\n", "App", "k", "new",
     "[App]\r\n  k  =  new  \r\n"},
    {"QuotedValueReplacedWhole", "[App]\r\nk=\"old\"\r\n", "App", "k", "new",
     "[App]\r\nk=new\r\n"},
    {"EmptyValueFilled", "[App]\r\nk=\r\nj=1\r\n", "App", "k", "new",
     "[App]\r\nk=new\r\nj=1\r\n"},
    {"BlankValueFilled", "[App]\nk=   \nj=1\n", "App", "k", "new", "[App]\nk=new\nj=1\n"},
    {"ValueEmptied", "[App]\r\nk=old\r\n", "App", "k", "", "[App]\r\nk=\r\n"},
    {"LineEndOfChangedLineKept", "[App]\nk=old\rj=1\n", "App", "k", "new",
     "[App]\nk=new\rj=1\n"},
    {"LastLineWithoutLineEnd", "[App]\r\nk=old", "App", "k", "new", "[App]\r\nk=new"},
    {"SemicolonValueReplacedWhole", "[App]\r\nk=a ;b\r\n", "App", "k", "c", "[App]\r\nk=c\r\n"},
    // New key: after the last key of its section.
    {"NewKeyAfterLastEntry", "[App]\r\na=1\r\nb=2\r\n\r\n[Next]\r\nz=9\r\n", "App", "c", "3",
     "[App]\r\na=1\r\nb=2\r\nc=3\r\n\r\n[Next]\r\nz=9\r\n"},
    {"NewKeyBeforeTrailingComment", "[App]\r\na=1\r\n; for Next\r\n[Next]\r\n", "App", "c", "3",
     "[App]\r\na=1\r\nc=3\r\n; for Next\r\n[Next]\r\n"},
    {"NewKeyInEmptySection", "[App]\r\n\r\n[Next]\r\n", "App", "c", "3",
     "[App]\r\nc=3\r\n\r\n[Next]\r\n"},
    {"NewKeyKeepsNeighbourLineEnds", "[App]\na=1\n[Next]\n", "App", "c", "3",
     "[App]\na=1\nc=3\r\n[Next]\n"},
    {"NewKeyAfterLastLineWithoutEnd", "[App]\r\na=1", "App", "c", "3",
     "[App]\r\na=1\r\nc=3\r\n"},
    {"NewKeyAfterHeaderWithoutEnd", "[App]", "App", "c", "3", "[App]\r\nc=3\r\n"},
    {"NewKeyInFirstOfDuplicateSections", "[App]\r\na=1\r\n[app]\r\nb=2\r\n", "APP", "b", "3",
     "[App]\r\na=1\r\nb=3\r\n[app]\r\nb=2\r\n"},
    {"CommentedKeyIsNotUpdated", "[App]\r\n;k=1\r\n", "App", "k", "2",
     "[App]\r\nk=2\r\n;k=1\r\n"},
    {"KeyBeforeFirstSectionUntouched", "k=0\r\n[App]\r\n", "App", "k", "1",
     "k=0\r\n[App]\r\nk=1\r\n"},
    // New section: at the end, with no blank line before it.
    {"NewSectionAtEnd", "[App]\r\na=1\r\n", "Other", "k", "v",
     "[App]\r\na=1\r\n[Other]\r\nk=v\r\n"},
    {"NewSectionAfterMissingLineEnd", "[App]\r\na=1", "Other", "k", "v",
     "[App]\r\na=1\r\n[Other]\r\nk=v\r\n"},
    {"NewSectionAfterLfFile", "[App]\na=1\n", "Other", "k", "v",
     "[App]\na=1\n[Other]\r\nk=v\r\n"},
    {"NewSectionAfterTrailingBlankLines", "[App]\r\n\r\n\r\n", "Other", "k", "v",
     "[App]\r\n\r\n\r\n[Other]\r\nk=v\r\n"},
    {"NewSectionAfterBytesWithoutSection", "; only a comment", "App", "k", "v",
     "; only a comment\r\n[App]\r\nk=v\r\n"},
    // Shift-JIS bytes are written as they are, with no byte order mark ("ＭＳ Ｐゴシック").
    {"ShiftJisValue", std::nullopt, "App", "font",
     "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e",
     "[App]\r\nfont=\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e\r\n"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Profile, ProfileWriteRules, ::testing::ValuesIn(kWriteCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct IntWriteCase {
    std::int32_t value;
    std::string_view line;
};

TEST(ProfileWrite, RewritingAValueWithOuterBlanksLeavesTheFileAsItWas) {
    TempDir dir;
    const std::string path = dir.File("tessel.ini");
    ProfileStore store(path);
    for (const std::string value : {" blanks around ", "blank after\t", "\tblank before"}) {
        ASSERT_TRUE(store.WriteProfileString("App", "k", value));
        const std::optional<std::string> once = ReadBytes(path);
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(store.WriteProfileString("App", "k", value));
        }
        EXPECT_EQ(ReadBytes(path), once) << value;
    }
    EXPECT_EQ(store.GetProfileString("App", "k", ""), "blank before");
}

TEST(ProfileWrite, IntegersAreWrittenAsSignedDecimal) {
    const IntWriteCase cases[] = {
        {-5, "k=-5"},
        {0, "k=0"},
        {3962, "k=3962"},
        {INT_MIN, "k=-2147483648"},
        {INT_MAX, "k=2147483647"},
    };
    for (const IntWriteCase& c : cases) {
        TempDir dir;
        ProfileStore store(dir.File("tessel.ini"));
        ASSERT_TRUE(store.WriteProfileInt("App", "k", c.value));
        EXPECT_EQ(ReadBytes(store.Path()), "[App]\r\n" + std::string(c.line) + "\r\n");
        EXPECT_EQ(store.GetProfileInt("App", "k", 1), c.value);
    }
}

TEST(ProfileWrite, HandWrittenFileKeepsEveryOtherByte) {
    // Everything a user's editor may leave behind: bytes before the first section, comments,
    // odd spacing, LF, CR and CR LF line ends, unknown keys and sections, a line that is no
    // key, Shift-JIS text and no line end at the very end.
    const std::string before =
        "; written by hand\r\n"
        "orphan = 1\n"
        "\r\n"
        "  [ WindowStyle ]  \r"
        "x = 10\n"
        "\tfontname =  \"\x82\x6c\x82\x72\" \r\n"
        ";y=5\r\n"
        "not a key line\n"
        "unknown=\x83\x65\x83\x58\x83\x67\r"
        "\r\n"
        "[Custom]\n"
        "x=77\n"
        "[Settings]\r\n"
        "port=1234";
    TempDir dir;
    const std::string path = dir.File("tessel.ini");
    WriteBytes(path, before);
    ProfileStore store(path);

    ASSERT_TRUE(store.WriteProfileInt("windowstyle", "X", 640));
    std::string expected = before;
    expected.replace(expected.find("x = 10"), 6, "x = 640");
    EXPECT_EQ(ReadBytes(path), expected);

    ASSERT_TRUE(store.WriteProfileString("WindowStyle", "fontname", "Sans"));
    expected.replace(expected.find("\"\x82\x6c\x82\x72\""), 6, "Sans");
    EXPECT_EQ(ReadBytes(path), expected);

    EXPECT_EQ(store.GetProfileInt("Custom", "x", 0), 77);
    EXPECT_EQ(store.GetProfileInt("Settings", "port", 0), 1234);
    EXPECT_EQ(store.GetProfileString("WindowStyle", "unknown", ""), "\x83\x65\x83\x58\x83\x67");
}

TEST(ProfileWrite, NewKeysLandInTheirSectionsOfAHandWrittenFile) {
    const std::string before =
        "orphan=1\n"
        "[WindowStyle]\r"
        "x=1\r"
        "; trailing note\r"
        "[Settings]\n"
        "port=1\n";
    TempDir dir;
    const std::string path = dir.File("tessel.ini");
    WriteBytes(path, before);
    ProfileStore store(path);
    ASSERT_TRUE(store.WriteProfileInt("WindowStyle", "y", 2));
    ASSERT_TRUE(store.WriteProfileString("Settings", "name", "me"));
    ASSERT_TRUE(store.WriteProfileInt("Options", "isnotify", 1));
    EXPECT_EQ(ReadBytes(path),
              "orphan=1\n"
              "[WindowStyle]\r"
              "x=1\r"
              "y=2\r\n"
              "; trailing note\r"
              "[Settings]\n"
              "port=1\n"
              "name=me\r\n"
              "[Options]\r\n"
              "isnotify=1\r\n");
}

TEST(ProfileWrite, KeepsThePermissionsOfTheFileItReplaces) {
    TempDir dir;
    const std::string path = dir.File("tessel.ini");
    WriteBytes(path, "[App]\r\nk=1\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(ProfileStore(path).WriteProfileInt("App", "k", 2));
    EXPECT_EQ(test::PermissionBits(path), 0640u);
}

TEST(ProfileWrite, WritesThroughASymbolicLink) {
    TempDir dir;
    WriteBytes(dir.File("real.ini"), "[App]\r\nk=1\r\n");
    std::filesystem::create_symlink("real.ini", dir.File("tessel.ini"));
    ASSERT_TRUE(ProfileStore(dir.File("tessel.ini")).WriteProfileInt("App", "k", 2));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("tessel.ini")));
    EXPECT_EQ(ReadBytes(dir.File("real.ini")), "[App]\r\nk=2\r\n");
    EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"real.ini", "tessel.ini"}));
}

// ---- refused and failed writes ----

struct RefusedCase {
    const char* name;
    std::string_view section;
    std::string_view key;
    std::string_view value;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

class ProfileRefusedWrites : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(ProfileRefusedWrites, LeaveTheFileAsItWas) {
    const RefusedCase& c = GetParam();
    const std::string before = "[Settings]\r\nname=me\r\nport=1\r\n";
    TempDir dir;
    const std::string path = dir.File("tessel.ini");
    WriteBytes(path, before);
    EXPECT_FALSE(ProfileStore(path).WriteProfileString(c.section, c.key, c.value));
    EXPECT_EQ(ReadBytes(path), before);
}

// clang-format off
const RefusedCase kRefusedCases[] = {
    // A value with a line break would add lines, even whole sections, to the file.
    {"ValueWithCrLf", "Settings", "name", "x\r\n[Settings]\r\nport=1"},
    {"ValueWithLf", "Settings", "name", "x\nport=2"},
    {"ValueWithCr", "Settings", "name", "x\rport=2"},
    {"ValueWithNul", "Settings", "name", std::string_view("a\0b", 3)},
    {"KeyWithEquals", "Settings", "a=b", "v"},
    {"KeyStartingWithSemicolon", "Settings", ";k", "v"},
    {"KeyStartingWithBracket", "Settings", "[k", "v"},
    {"EmptyKey", "Settings", "", "v"},
    {"BlankKey", "Settings", " \t", "v"},
    {"EmptySection", "", "k", "v"},
    {"SectionWithLineBreak", "Sett\r\nings", "k", "v"},
    {"KeyWithLineBreak", "Settings", "k\nj", "v"},
    // A lone lead byte at the end would pair with the "]" or "=" written after it.
    {"SectionEndingInALeadByte", "Settings\x82\xA0\xE1", "k", "v"},
    {"KeyEndingInALeadByte", "Settings", "k\x81", "v"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Profile, ProfileRefusedWrites, ::testing::ValuesIn(kRefusedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileWriteFailure, MissingDirectory) {
    TempDir dir;
    ProfileStore store(dir.File("missing/tessel.ini"));
    EXPECT_FALSE(store.WriteProfileString("App", "k", "v"));
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{});
}

TEST(ProfileWriteFailure, ParentIsARegularFile) {
    TempDir dir;
    WriteBytes(dir.File("plain"), "x");
    EXPECT_FALSE(ProfileStore(dir.File("plain/tessel.ini")).WriteProfileString("App", "k", "v"));
    EXPECT_EQ(ReadBytes(dir.File("plain")), "x");
}

TEST(ProfileWriteFailure, ReadOnlyFileStaysAsItWas) {
    TempDir dir;
    const std::string path = dir.File("tessel.ini");
    WriteBytes(path, "[App]\r\nk=old\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ProfileStore store(path);
    EXPECT_FALSE(store.WriteProfileString("App", "k", "new"));
    EXPECT_FALSE(store.WriteProfileString("App", "j", "new"));
    EXPECT_EQ(ReadBytes(path), "[App]\r\nk=old\r\n");
    EXPECT_EQ(store.GetProfileString("App", "k", ""), "old");
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"tessel.ini"});
}

// True when this process may create files in `dir` whatever its permissions say (root).
bool IgnoresDirectoryPermissions(const std::string& dir) {
    const std::string probe = dir + "/probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

TEST(ProfileWriteFailure, ReadOnlyDirectoryKeepsTheOldFile) {
    TempDir dir;
    const std::string inner = dir.File("ro");
    std::filesystem::create_directory(inner);
    const std::string path = inner + "/tessel.ini";
    WriteBytes(path, "[App]\r\nk=old\r\n");
    ASSERT_EQ(::chmod(inner.c_str(), 0555), 0);
    if (IgnoresDirectoryPermissions(inner)) {
        // Root writes into any directory; a directory that cannot exist fails for root too.
        ASSERT_EQ(::chmod(inner.c_str(), 0755), 0);
        const std::string plain = dir.File("plain");
        WriteBytes(plain, "x");
        EXPECT_FALSE(ProfileStore(plain + "/tessel.ini").WriteProfileString("App", "k", "new"));
        EXPECT_EQ(ReadBytes(plain), "x");
    } else {
        EXPECT_FALSE(ProfileStore(path).WriteProfileString("App", "k", "new"));
    }
    EXPECT_EQ(ReadBytes(path), "[App]\r\nk=old\r\n");
    EXPECT_EQ(Entries(inner), std::set<std::string>{"tessel.ini"});
}

TEST(ProfileWriteFailure, DirectoryInPlaceOfTheFileStaysAndNothingIsLeftBehind) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("tessel.ini"));
    EXPECT_FALSE(ProfileStore(dir.File("tessel.ini")).WriteProfileString("App", "k", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("tessel.ini")));
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"tessel.ini"});
}

TEST(ProfileWriteFailure, UnreadableFileIsNotReplaced) {
    TempDir dir;
    const std::string path = dir.File("tessel.ini");
    WriteBytes(path, "[App]\r\nk=old\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0200), 0);
    if (::access(path.c_str(), R_OK) == 0) {
        GTEST_SKIP() << "this user reads files whatever their permissions";
    }
    EXPECT_FALSE(ProfileStore(path).WriteProfileString("App", "j", "new"));
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(ReadBytes(path), "[App]\r\nk=old\r\n");
}

TEST(ProfileWriteFailure, FileThatCannotBeReadIsNotReplaced) {
    // Replacing what could not be read would throw away every other setting in it. A FIFO
    // cannot be read as a profile even by root; reading it must not wait for a writer.
    TempDir dir;
    const std::string path = dir.File("tessel.ini");
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    ProfileStore store(path);
    EXPECT_EQ(store.GetProfileString("App", "k", "dflt"), "dflt");
    EXPECT_FALSE(store.WriteProfileString("App", "k", "v"));
    struct stat info {};
    ASSERT_EQ(::lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"tessel.ini"});
}

// ---- concurrency ----

TEST(ProfileConcurrency, TwoThreadsWritingDifferentKeysLoseNothing) {
    TempDir dir;
    const std::string path = dir.File("tessel.ini");
    constexpr int kWrites = 1000;
    std::atomic<int> lost{0};
    std::atomic<int> failed{0};

    // Separate store objects, as the window and connection threads hold: the lock must be
    // shared by the process, not by an object.
    auto writer = [&](std::string key) {
        ProfileStore store(path);
        for (int i = 1; i <= kWrites; ++i) {
            if (!store.WriteProfileInt("Settings", key, i)) {
                ++failed;
            }
            // No one else writes this key, so anything but the value just written is a lost
            // write.
            if (store.GetProfileInt("Settings", key, -1) != i) {
                ++lost;
            }
        }
    };
    std::thread window(writer, "name");
    std::thread connection(writer, "port");
    window.join();
    connection.join();

    EXPECT_EQ(failed.load(), 0);
    EXPECT_EQ(lost.load(), 0);
    ProfileStore store(path);
    EXPECT_EQ(store.GetProfileInt("Settings", "name", -1), kWrites);
    EXPECT_EQ(store.GetProfileInt("Settings", "port", -1), kWrites);
    const std::optional<std::string> bytes = ReadBytes(path);
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(*bytes == "[Settings]\r\nname=1000\r\nport=1000\r\n" ||
                *bytes == "[Settings]\r\nport=1000\r\nname=1000\r\n")
        << *bytes;
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"tessel.ini"});
}

}  // namespace
}  // namespace tessel
