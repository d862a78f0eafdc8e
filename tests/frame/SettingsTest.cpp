// SPDX-License-Identifier: MIT

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>

#include "frame/TempDir.h"
#include "settings/Settings.h"

namespace tessel {
namespace {

using test::Entries;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// "ＭＳ Ｐゴシック" in Shift-JIS, spelled out here on its own.
const std::string kMsPGothic = "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";

// Marks the one default that depends on where the program was started.
struct StartupDirectoryDefault {};

// Every key as the settings file names it, with the default a user without tessel.ini
// gets. Written out independently of the program's key table, so that a misspelt name,
// a key in the wrong section or a wrong default in that table shows up here.
struct ExpectedKey {
    SettingKey key;
    std::string_view section;
    std::string_view name;
    std::variant<std::int32_t, std::string_view, StartupDirectoryDefault> defaultValue;
};

// clang-format off
const ExpectedKey kExpectedKeys[] = {
    {SettingKey::x, "WindowStyle", "x", INT_MIN},
    {SettingKey::y, "WindowStyle", "y", INT_MIN},
    {SettingKey::cx, "WindowStyle", "cx", INT_MIN},
    {SettingKey::cy, "WindowStyle", "cy", INT_MIN},
    {SettingKey::propotion_x, "WindowStyle", "propotion_x", 128},
    {SettingKey::propotion_y, "WindowStyle", "propotion_y", 128},
    {SettingKey::propotion_memo, "WindowStyle", "propotion_memo", 0},
    {SettingKey::fontname, "WindowStyle", "fontname", kMsPGothic},
    {SettingKey::fontsize, "WindowStyle", "fontsize", 120},
    {SettingKey::inputfontname, "WindowStyle", "inputfontname", kMsPGothic},
    {SettingKey::inputfontsize, "WindowStyle", "inputfontsize", 120},
    {SettingKey::memofontname, "WindowStyle", "memofontname", kMsPGothic},
    {SettingKey::memofontsize, "WindowStyle", "memofontsize", 120},
    {SettingKey::dispcolor, "WindowStyle", "dispcolor", 16777215},
    {SettingKey::dispbkcolor, "WindowStyle", "dispbkcolor", 0},
    {SettingKey::dispnamecolor, "WindowStyle", "dispnamecolor", 16776960},
    {SettingKey::dispsyscolor, "WindowStyle", "dispsyscolor", 8454143},
    {SettingKey::dispdicecolor, "WindowStyle", "dispdicecolor", 16777215},
    {SettingKey::inputcolor, "WindowStyle", "inputcolor", 16777215},
    {SettingKey::inputbkcolor, "WindowStyle", "inputbkcolor", 0},
    {SettingKey::usercolor, "WindowStyle", "usercolor", 16777215},
    {SettingKey::userbkcolor, "WindowStyle", "userbkcolor", 0},
    {SettingKey::memocolor, "WindowStyle", "memocolor", 16777215},
    {SettingKey::memobkcolor, "WindowStyle", "memobkcolor", 0},
    {SettingKey::ipaddr, "Settings", "ipaddr", ""},
    {SettingKey::port, "Settings", "port", 3962},
    {SettingKey::name, "Settings", "name", ""},
    {SettingKey::channel, "Settings", "channel", ""},
    {SettingKey::autolog, "Settings", "autolog", 0},
    {SettingKey::logdir, "Settings", "logdir", ""},
    {SettingKey::autologname, "Settings", "autologname", "tsl%y%m%d.log"},
    {SettingKey::memofiledir, "Settings", "memofiledir", StartupDirectoryDefault{}},
    {SettingKey::userview, "Settings", "userview", 0},
    {SettingKey::displaylines, "Settings", "displaylines", 50},
    {SettingKey::editor, "Settings", "editor", "xdg-open"},
    {SettingKey::savefiledir, "Options", "savefiledir", ""},
    {SettingKey::isrecvfile, "Options", "isrecvfile", 0},
    {SettingKey::prevsendfile, "Options", "prevsendfile", ""},
    {SettingKey::isrecvwave, "Options", "isrecvwave", 0},
    {SettingKey::isnotify, "Options", "isnotify", 0},
    {SettingKey::notifystring1, "Options", "notifystring1", ""},
    {SettingKey::notifystring2, "Options", "notifystring2", ""},
    {SettingKey::notifystring3, "Options", "notifystring3", ""},
    {SettingKey::notifystring4, "Options", "notifystring4", ""},
    {SettingKey::notifysoundfile, "Options", "notifysoundfile", ""},
    {SettingKey::desktopnotify, "Options", "desktopnotify", 0},
    {SettingKey::htmllog, "Settings", "htmllog", 0},
    {SettingKey::autoreconnect, "Options", "autoreconnect", 0},
};
// clang-format on

bool IsText(const ExpectedKey& expected) {
    return !std::holds_alternative<std::int32_t>(expected.defaultValue);
}

Settings OpenIn(const TempDir& dir) {
    std::optional<Settings> settings = Settings::Open(dir.path());
    if (!settings) {
        ADD_FAILURE() << "could not open settings in " << dir.path();
        std::abort();
    }
    return *settings;
}

TEST(SettingsKeys, EveryKeyIsListed) {
    EXPECT_EQ(std::size(kExpectedKeys), kSettingCount);
    std::set<SettingKey> seen;
    for (const ExpectedKey& expected : kExpectedKeys) {
        seen.insert(expected.key);
        const SettingRow& row = RowOf(expected.key);
        EXPECT_EQ(row.section, expected.section) << expected.name;
        EXPECT_EQ(row.name, expected.name);
        EXPECT_EQ(row.type == SettingType::kString, IsText(expected)) << expected.name;
    }
    EXPECT_EQ(seen.size(), kSettingCount);
}

TEST(SettingsKeys, ColoursAreTypedAsColours) {
    for (SettingKey key :
         {SettingKey::dispcolor, SettingKey::dispbkcolor, SettingKey::dispnamecolor,
          SettingKey::dispsyscolor, SettingKey::dispdicecolor, SettingKey::inputcolor,
          SettingKey::inputbkcolor, SettingKey::usercolor, SettingKey::userbkcolor,
          SettingKey::memocolor, SettingKey::memobkcolor}) {
        EXPECT_EQ(RowOf(key).type, SettingType::kColour) << RowOf(key).name;
    }
}

TEST(SettingsDefaults, MissingFileGivesEveryDefaultAndStaysMissing) {
    TempDir dir;
    Settings settings = OpenIn(dir);
    for (const ExpectedKey& expected : kExpectedKeys) {
        if (const auto* number = std::get_if<std::int32_t>(&expected.defaultValue)) {
            EXPECT_EQ(settings.GetInt(expected.key), *number) << expected.name;
        } else if (const auto* text = std::get_if<std::string_view>(&expected.defaultValue)) {
            EXPECT_EQ(settings.GetString(expected.key), *text) << expected.name;
        } else {
            EXPECT_EQ(settings.GetString(expected.key), dir.path() + "/") << expected.name;
        }
    }
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{});
}

TEST(SettingsDefaults, GeometryDefaultIsTheMarker) {
    TempDir dir;
    Settings settings = OpenIn(dir);
    EXPECT_EQ(settings.GetInt(SettingKey::x), kDefaultGeometry);
    EXPECT_EQ(settings.GetInt(SettingKey::cy), kDefaultGeometry);
    // A stored geometry, even a negative one on a monitor left of the primary, is used.
    ASSERT_TRUE(settings.SetInt(SettingKey::x, -1200));
    EXPECT_EQ(settings.GetInt(SettingKey::x), -1200);
}

TEST(SettingsDefaults, EditorIsNeverCreatedAndComesBackWhenDeleted) {
    TempDir dir;
    Settings settings = OpenIn(dir);
    ASSERT_TRUE(settings.SetString(SettingKey::name, "me"));
    ASSERT_TRUE(settings.SetInt(SettingKey::port, 4000));
    EXPECT_EQ(settings.GetString(SettingKey::editor), "xdg-open");
    EXPECT_EQ(ReadBytes(settings.ProfilePath()), "[Settings]\r\nname=me\r\nport=4000\r\n");

    WriteBytes(settings.ProfilePath(), "[Settings]\r\neditor=/usr/bin/mousepad\r\n");
    EXPECT_EQ(settings.GetString(SettingKey::editor), "/usr/bin/mousepad");
    WriteBytes(settings.ProfilePath(), "[Settings]\r\n");
    EXPECT_EQ(settings.GetString(SettingKey::editor), "xdg-open");
}

TEST(SettingsRoundTrip, EveryKeyStoresANonDefaultValue) {
    TempDir dir;
    Settings settings = OpenIn(dir);
    // Distinct values for all keys, all written first, so a key stored under another's
    // name or section shows up as a wrong value when they are read back.
    auto intValue = [](std::size_t i) { return static_cast<std::int32_t>(1000 + i); };
    auto textValue = [](std::size_t i) {
        // "値" in Shift-JIS, then the index.
        return "\x92\x6c" + std::to_string(i);
    };
    for (std::size_t i = 0; i < std::size(kExpectedKeys); ++i) {
        const ExpectedKey& expected = kExpectedKeys[i];
        if (IsText(expected)) {
            ASSERT_TRUE(settings.SetString(expected.key, textValue(i))) << expected.name;
        } else {
            ASSERT_TRUE(settings.SetInt(expected.key, intValue(i))) << expected.name;
        }
    }
    const ProfileStore independent(dir.path() + "/tessel.ini");
    for (std::size_t i = 0; i < std::size(kExpectedKeys); ++i) {
        const ExpectedKey& expected = kExpectedKeys[i];
        if (IsText(expected)) {
            EXPECT_EQ(settings.GetString(expected.key), textValue(i)) << expected.name;
            EXPECT_EQ(independent.GetProfileString(expected.section, expected.name, "?"),
                      textValue(i))
                << expected.name;
        } else {
            EXPECT_EQ(settings.GetInt(expected.key), intValue(i)) << expected.name;
            EXPECT_EQ(independent.GetProfileInt(expected.section, expected.name, -1), intValue(i))
                << expected.name;
        }
    }
}

TEST(SettingsRoundTrip, ColourIsStoredAsDecimalColorref) {
    TempDir dir;
    Settings settings = OpenIn(dir);
    ASSERT_TRUE(settings.SetInt(SettingKey::dispsyscolor, 0x80FFFF));
    EXPECT_EQ(ReadBytes(settings.ProfilePath()), "[WindowStyle]\r\ndispsyscolor=8454143\r\n");
}

TEST(SettingsRoundTrip, NotificationStringsKeepTheirPositions) {
    TempDir dir;
    Settings settings = OpenIn(dir);
    const SettingKey keys[] = {SettingKey::notifystring1, SettingKey::notifystring2,
                               SettingKey::notifystring3, SettingKey::notifystring4};
    const std::string texts[] = {"one", "two", "three", "four"};
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(settings.SetString(keys[i], texts[i]));
    }
    Settings reopened = OpenIn(dir);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(reopened.GetString(keys[i]), texts[i]);
    }
}

TEST(SettingsRoundTrip, NonNumericIntegerReadsAsZero) {
    TempDir dir;
    WriteBytes(dir.File("tessel.ini"), "[WindowStyle]\r\ndispcolor=white\r\n");
    EXPECT_EQ(OpenIn(dir).GetInt(SettingKey::dispcolor), 0);
}

TEST(SettingsRoundTrip, FailedWriteKeepsTheOldValue) {
    TempDir dir;
    Settings settings = OpenIn(dir);
    ASSERT_TRUE(settings.SetString(SettingKey::name, "before"));
    EXPECT_FALSE(settings.SetString(SettingKey::name, "two\r\nlines"));
    EXPECT_EQ(settings.GetString(SettingKey::name), "before");
}

// A value reads back in this session as the file will give it at the next start; a write
// that fails is told once, not at every change, and the new value stays in force.
TEST(SettingsRoundTrip, MemoryReadsAsTheFileWillAndAFailedWriteIsToldOnce) {
    TempDir dir;
    Settings settings = OpenIn(dir);
    const std::pair<std::string, std::string> rows[] = {
        {"  taro  ", "taro"}, {"\"#main\"", "#main"}, {" \" a b \" ", " a b "}, {"x y", "x y"}};
    for (const auto& [typed, kept] : rows) {
        ASSERT_TRUE(settings.SetString(SettingKey::name, typed));
        EXPECT_EQ(settings.GetString(SettingKey::name), kept);
        EXPECT_EQ(OpenIn(dir).GetString(SettingKey::name), kept);
    }

    TempDir blocked;
    std::filesystem::create_directory(blocked.File("tessel.ini"));  // no file can replace it
    Settings unwritable = OpenIn(blocked);
    int told = 0;
    unwritable.OnFirstWriteFailure([&told] { ++told; });
    EXPECT_FALSE(unwritable.SetInt(SettingKey::port, 1));
    EXPECT_FALSE(unwritable.SetString(SettingKey::name, "taro"));
    EXPECT_EQ(told, 1);
    EXPECT_EQ(unwritable.GetInt(SettingKey::port), 1);
}

// ---- memory ----

TEST(SettingsMemory, KeysReadAtStartAreNotReadAgain) {
    TempDir dir;
    WriteBytes(dir.File("tessel.ini"), "[Options]\r\nisrecvfile=1\r\nsavefiledir=/home/u/in/\r\n");
    Settings settings = OpenIn(dir);
    // Another program (or a received file) rewrites the file while the client runs.
    WriteBytes(settings.ProfilePath(), "[Options]\r\nisrecvfile=0\r\nsavefiledir=/etc/\r\n");
    EXPECT_EQ(settings.GetInt(SettingKey::isrecvfile), 1);
    EXPECT_EQ(settings.GetString(SettingKey::savefiledir), "/home/u/in/");
}

TEST(SettingsMemory, AChangeUpdatesMemoryAndFileAndEveryCopy) {
    TempDir dir;
    Settings settings = OpenIn(dir);
    Settings copy = settings;
    ASSERT_TRUE(settings.SetString(SettingKey::savefiledir, "/home/u/in/"));
    EXPECT_EQ(copy.GetString(SettingKey::savefiledir), "/home/u/in/");
    EXPECT_EQ(ReadBytes(settings.ProfilePath()), "[Options]\r\nsavefiledir=/home/u/in/\r\n");
}

TEST(SettingsMemory, AFailedWriteKeepsTheNewValueForTheSession) {
    TempDir dir;
    WriteBytes(dir.File("tessel.ini"), "[Options]\r\nisrecvwave=0\r\n[Settings]\r\nname=old\r\n");
    ASSERT_EQ(::chmod(dir.File("tessel.ini").c_str(), 0444), 0);
    Settings settings = OpenIn(dir);
    EXPECT_FALSE(settings.SetInt(SettingKey::isrecvwave, 1));
    EXPECT_EQ(settings.GetInt(SettingKey::isrecvwave), 1);
    // Also for a key a dialog reads afresh: the file still holds the old value.
    EXPECT_FALSE(settings.SetString(SettingKey::name, "new"));
    EXPECT_EQ(settings.GetString(SettingKey::name), "new");
    EXPECT_EQ(OpenIn(dir).GetInt(SettingKey::isrecvwave), 0);  // the next start
}

TEST(SettingsMemory, KeysReadOnOpenSeeTheFileAsItIsNow) {
    TempDir dir;
    Settings settings = OpenIn(dir);
    WriteBytes(settings.ProfilePath(), "[Settings]\r\nport=4000\r\nname=\x91\xbe\x98\x59\r\n");
    EXPECT_EQ(settings.GetInt(SettingKey::port), 4000);
    EXPECT_EQ(settings.GetString(SettingKey::name), "\x91\xbe\x98\x59");
}

TEST(SettingsMemory, AProfileTooLargeToReadIsReportedAndNeverRewritten) {
    TempDir dir;
    std::string huge = "[Options]\r\nisrecvfile=1\r\n";
    huge.resize(kMaxProfileSize + 1, ';');
    WriteBytes(dir.File("tessel.ini"), huge);
    Settings settings = OpenIn(dir);
    EXPECT_EQ(settings.GetInt(SettingKey::isrecvfile), 0);
    EXPECT_NE(settings.OpenNotice().find(settings.ProfilePath()), std::string::npos);
    EXPECT_NE(settings.OpenNotice().find(std::to_string(kMaxProfileSize)), std::string::npos);
    EXPECT_FALSE(settings.SetInt(SettingKey::isrecvfile, 1));
    EXPECT_EQ(ReadBytes(settings.ProfilePath()), huge);

    TempDir fine;
    EXPECT_EQ(OpenIn(fine).OpenNotice(), "");
}

// ---- location ----

TEST(SettingsLocation, PathsDeriveFromTheWorkingDirectory) {
    TempDir dir;
    Settings settings = OpenIn(dir);
    EXPECT_EQ(settings.ProfilePath(), dir.path() + "/tessel.ini");
    EXPECT_EQ(settings.StartupDirectory(), dir.path() + "/");
    EXPECT_EQ(settings.WaveDirectory(), dir.path() + "/wav/");
    EXPECT_EQ(settings.DefaultString(SettingKey::memofiledir), dir.path() + "/");
}

TEST(SettingsLocation, TrailingSeparatorIsNotDoubled) {
    const std::optional<Settings> home = Settings::Open("/home/user/");
    ASSERT_TRUE(home);
    EXPECT_EQ(home->ProfilePath(), "/home/user/tessel.ini");
    EXPECT_EQ(home->StartupDirectory(), "/home/user/");

    const std::optional<Settings> root = Settings::Open("/");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->ProfilePath(), "/tessel.ini");
    EXPECT_EQ(root->StartupDirectory(), "/");
    EXPECT_EQ(root->WaveDirectory(), "/wav/");
}

TEST(SettingsLocation, EachWorkingDirectoryHasItsOwnFile) {
    TempDir first;
    TempDir second;
    ASSERT_TRUE(OpenIn(first).SetInt(SettingKey::port, 1111));
    EXPECT_EQ(OpenIn(second).GetInt(SettingKey::port), 3962);
    ASSERT_TRUE(OpenIn(second).SetInt(SettingKey::port, 2222));
    EXPECT_EQ(OpenIn(first).GetInt(SettingKey::port), 1111);
    EXPECT_EQ(ReadBytes(second.path() + "/tessel.ini"), "[Settings]\r\nport=2222\r\n");
}

TEST(SettingsLocation, ProfilePathLongerThanTheLimitIsRefused) {
    const std::string_view suffix = "/tessel.ini";
    const std::string longest = "/" + std::string(kMaxProfilePathLength - suffix.size() - 1, 'd');
    const std::optional<Settings> fits = Settings::Open(longest);
    ASSERT_TRUE(fits);
    EXPECT_EQ(fits->ProfilePath().size(), kMaxProfilePathLength);
    EXPECT_EQ(kMaxProfilePathLength, 4095u);

    EXPECT_FALSE(Settings::Open(longest + "d"));
    EXPECT_FALSE(Settings::Open(""));
}

}  // namespace
}  // namespace tessel
