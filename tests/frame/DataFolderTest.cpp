// SPDX-License-Identifier: MIT

#include "platform/DataFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/TempDirectory.h"

namespace tessel {
namespace {

struct XdgCase {
    const char* what;
    std::optional<std::string_view> xdgDataHome;
    std::optional<std::string_view> home;
    std::optional<std::string> folder;
};

TEST(DataFolderTest, XdgFolderFollowsTheBaseDirectoryRules) {
    const std::vector<XdgCase> cases = {
        {"only HOME", std::nullopt, "/home/taro", "/home/taro/.local/share/tessel"},
        {"HOME with a slash", std::nullopt, "/home/taro/", "/home/taro/.local/share/tessel"},
        {"XDG_DATA_HOME wins", "/data/taro", "/home/taro", "/data/taro/tessel"},
        {"XDG_DATA_HOME with slashes", "/data/taro//", "/home/taro", "/data/taro/tessel"},
        {"XDG_DATA_HOME is the root", "/", "/home/taro", "/tessel"},
        {"empty XDG_DATA_HOME", "", "/home/taro", "/home/taro/.local/share/tessel"},
        {"relative XDG_DATA_HOME", "data", "/home/taro", "/home/taro/.local/share/tessel"},
        {"XDG_DATA_HOME without HOME", "/data/taro", std::nullopt, "/data/taro/tessel"},
        {"neither", std::nullopt, std::nullopt, std::nullopt},
        {"empty HOME", std::nullopt, "", std::nullopt},
        {"relative HOME", "data", "home/taro", std::nullopt},
        {"HOME is the root", std::nullopt, "/", "/.local/share/tessel"},
    };
    for (const XdgCase& c : cases) {
        EXPECT_EQ(XdgDataFolder(c.xdgDataHome, c.home), c.folder) << c.what;
    }
}

TEST(DataFolderTest, XdgFolderReadsTheEnvironment) {
    ::setenv("HOME", "/home/jiro", 1);
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(XdgDataFolder(), std::optional<std::string>("/home/jiro/.local/share/tessel"));
    ::setenv("XDG_DATA_HOME", "/srv/jiro", 1);
    EXPECT_EQ(XdgDataFolder(), std::optional<std::string>("/srv/jiro/tessel"));
}

// Restores the working directory the test started in, whatever the case did to it.
class WorkingDirectoryGuard {
  public:
    WorkingDirectoryGuard() : saved_(std::filesystem::current_path()) {}
    ~WorkingDirectoryGuard() { std::filesystem::current_path(saved_); }

  private:
    std::filesystem::path saved_;
};

unsigned ModeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

struct EnterCase {
    const char* what;
    std::string folder;  // under the scratch directory
    bool entered;
    const char* reason;  // part of the reason when it fails
};

TEST(DataFolderTest, EnterFolderCreatesWhatIsMissingAndMovesThere) {
    const test::TempDirectory scratch;
    scratch.Write("plain-file", "x");
    ::mkdir((scratch.path() + "/shared").c_str(), 0755);
    const std::vector<EnterCase> cases = {
        {"new folder", "new", true, ""},
        {"new folder three levels down", "a/b/c", true, ""},
        {"existing folder", "shared", true, ""},
        {"existing folder, new level under it", "shared/tessel", true, ""},
        {"doubled and trailing slashes", "d//e/", true, ""},
        {"a file in the way", "plain-file", false, "cannot use"},
        {"a file on the way", "plain-file/tessel", false, "cannot create"},
    };
    for (const EnterCase& c : cases) {
        const WorkingDirectoryGuard guard;
        const std::string before = std::filesystem::current_path();
        const std::string target = scratch.path() + "/" + c.folder;
        std::string why;
        EXPECT_EQ(EnterFolder(target, why), c.entered) << c.what << ": " << why;
        if (c.entered) {
            EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), target))
                << c.what;
            EXPECT_EQ(why, "") << c.what;
        } else {
            EXPECT_EQ(std::filesystem::current_path().string(), before) << c.what;
            EXPECT_NE(why.find(c.reason), std::string::npos) << c.what << ": " << why;
            EXPECT_NE(why.find(scratch.path()), std::string::npos) << c.what << ": " << why;
        }
    }
    // Levels it made are the user's alone; a folder that was there keeps its mode.
    EXPECT_EQ(ModeOf(scratch.path() + "/a"), 0700u);
    EXPECT_EQ(ModeOf(scratch.path() + "/a/b/c"), 0700u);
    EXPECT_EQ(ModeOf(scratch.path() + "/shared"), 0755u);
    EXPECT_EQ(ModeOf(scratch.path() + "/shared/tessel"), 0700u);
}

TEST(DataFolderTest, EnterFolderRefusesAnEmptyName) {
    const WorkingDirectoryGuard guard;
    const auto before = std::filesystem::current_path();
    std::string why;
    EXPECT_FALSE(EnterFolder("", why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(std::filesystem::current_path(), before);
}

// A relative folder is taken from the working directory, as a shell user means it.
TEST(DataFolderTest, EnterFolderTakesARelativeNameFromTheWorkingDirectory) {
    const test::TempDirectory scratch;
    const WorkingDirectoryGuard guard;
    std::filesystem::current_path(scratch.path());
    std::string why;
    ASSERT_TRUE(EnterFolder("games/monday", why)) << why;
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(),
                                            scratch.path() + "/games/monday"));
}

}  // namespace
}  // namespace tessel
