// SPDX-License-Identifier: MIT

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ProfileStore.h"

namespace tessel {

// Stands for "no stored geometry": the window keys x, y, cx and cy default to it, and the
// front end then lets the window system choose the placement and size (the role
// CW_USEDEFAULT plays on Windows). No real coordinate or size is this far out.
inline constexpr std::int32_t kDefaultGeometry = INT32_MIN;

// The longest profile path accepted: working directory plus "/tessel.ini".
inline constexpr std::size_t kMaxProfilePathLength = 4095;

inline constexpr std::string_view kProfileFileName = "tessel.ini";

inline constexpr std::string_view kSectionWindowStyle = "WindowStyle";
inline constexpr std::string_view kSectionSettings = "Settings";
inline constexpr std::string_view kSectionOptions = "Options";

enum class SettingType {
    kInt,
    kColour,  // a COLORREF, 0x00BBGGRR, stored as decimal
    kString,
};

// Every key of tessel.ini, named as it is stored. The order is that of kSettingTable.
enum class SettingKey : std::size_t {
    // WindowStyle
    x,
    y,
    cx,
    cy,
    propotion_x,
    propotion_y,
    propotion_memo,
    fontname,
    fontsize,
    inputfontname,
    inputfontsize,
    memofontname,
    memofontsize,
    dispcolor,
    dispbkcolor,
    dispnamecolor,
    dispsyscolor,
    dispdicecolor,
    inputcolor,
    inputbkcolor,
    usercolor,
    userbkcolor,
    memocolor,
    memobkcolor,
    // Settings
    ipaddr,
    port,
    name,
    channel,
    autolog,
    logdir,
    autologname,
    memofiledir,
    userview,
    displaylines,
    editor,
    // Options
    savefiledir,
    isrecvfile,
    prevsendfile,
    isrecvwave,
    isnotify,
    notifystring1,
    notifystring2,
    notifystring3,
    notifystring4,
    notifysoundfile,
    desktopnotify,
    htmllog,
    autoreconnect,
};

// A default that is not a constant but derived when the settings are opened.
enum class DerivedDefault {
    kNone,
    kStartupDirectory,
};

// When the running program looks at a key's stored value.
enum class SettingRead {
    kAtStart,  // read once at start; the program then works on its copy in memory
    kOnOpen,   // read afresh each time the dialog that edits it opens: the user may have
               // edited the file meanwhile (the editor key is set only that way)
};

// One row of the settings table.
struct SettingRow {
    SettingKey key;
    std::string_view section;
    std::string_view name;
    SettingType type;
    std::int32_t intDefault = 0;        // kInt and kColour
    std::string_view textDefault = {};  // kString
    DerivedDefault derived = DerivedDefault::kNone;
    SettingRead read = SettingRead::kAtStart;
};

// "ＭＳ Ｐゴシック" in Shift-JIS: the face of all three panes until the user picks another.
inline constexpr std::string_view kDefaultFontName =
    "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";

// The one place every key, its section, type and default are written down.
inline constexpr auto kSettingTable = std::to_array<SettingRow>({
    {SettingKey::x, kSectionWindowStyle, "x", SettingType::kInt, kDefaultGeometry},
    {SettingKey::y, kSectionWindowStyle, "y", SettingType::kInt, kDefaultGeometry},
    {SettingKey::cx, kSectionWindowStyle, "cx", SettingType::kInt, kDefaultGeometry},
    {SettingKey::cy, kSectionWindowStyle, "cy", SettingType::kInt, kDefaultGeometry},
    // Proportions are in 1/640 of the client area; 128 is one fifth.
    {SettingKey::propotion_x, kSectionWindowStyle, "propotion_x", SettingType::kInt, 128},
    {SettingKey::propotion_y, kSectionWindowStyle, "propotion_y", SettingType::kInt, 128},
    {SettingKey::propotion_memo, kSectionWindowStyle, "propotion_memo", SettingType::kInt, 0},
    {.key = SettingKey::fontname,
     .section = kSectionWindowStyle,
     .name = "fontname",
     .type = SettingType::kString,
     .textDefault = kDefaultFontName,
     .read = SettingRead::kOnOpen},
    // Font sizes are in tenths of a point.
    {.key = SettingKey::fontsize,
     .section = kSectionWindowStyle,
     .name = "fontsize",
     .type = SettingType::kInt,
     .intDefault = 120,
     .read = SettingRead::kOnOpen},
    {.key = SettingKey::inputfontname,
     .section = kSectionWindowStyle,
     .name = "inputfontname",
     .type = SettingType::kString,
     .textDefault = kDefaultFontName,
     .read = SettingRead::kOnOpen},
    {.key = SettingKey::inputfontsize,
     .section = kSectionWindowStyle,
     .name = "inputfontsize",
     .type = SettingType::kInt,
     .intDefault = 120,
     .read = SettingRead::kOnOpen},
    {.key = SettingKey::memofontname,
     .section = kSectionWindowStyle,
     .name = "memofontname",
     .type = SettingType::kString,
     .textDefault = kDefaultFontName,
     .read = SettingRead::kOnOpen},
    {.key = SettingKey::memofontsize,
     .section = kSectionWindowStyle,
     .name = "memofontsize",
     .type = SettingType::kInt,
     .intDefault = 120,
     .read = SettingRead::kOnOpen},
    {SettingKey::dispcolor, kSectionWindowStyle, "dispcolor", SettingType::kColour, 0xFFFFFF},
    {SettingKey::dispbkcolor, kSectionWindowStyle, "dispbkcolor", SettingType::kColour, 0x000000},
    {SettingKey::dispnamecolor, kSectionWindowStyle, "dispnamecolor", SettingType::kColour,
     0xFFFF00},
    {SettingKey::dispsyscolor, kSectionWindowStyle, "dispsyscolor", SettingType::kColour, 0x80FFFF},
    {SettingKey::dispdicecolor, kSectionWindowStyle, "dispdicecolor", SettingType::kColour,
     0xFFFFFF},
    {SettingKey::inputcolor, kSectionWindowStyle, "inputcolor", SettingType::kColour, 0xFFFFFF},
    {SettingKey::inputbkcolor, kSectionWindowStyle, "inputbkcolor", SettingType::kColour, 0x000000},
    {SettingKey::usercolor, kSectionWindowStyle, "usercolor", SettingType::kColour, 0xFFFFFF},
    {SettingKey::userbkcolor, kSectionWindowStyle, "userbkcolor", SettingType::kColour, 0x000000},
    {SettingKey::memocolor, kSectionWindowStyle, "memocolor", SettingType::kColour, 0xFFFFFF},
    {SettingKey::memobkcolor, kSectionWindowStyle, "memobkcolor", SettingType::kColour, 0x000000},

    {.key = SettingKey::ipaddr,
     .section = kSectionSettings,
     .name = "ipaddr",
     .type = SettingType::kString,
     .read = SettingRead::kOnOpen},
    {.key = SettingKey::port,
     .section = kSectionSettings,
     .name = "port",
     .type = SettingType::kInt,
     .intDefault = 3962,
     .read = SettingRead::kOnOpen},
    {.key = SettingKey::name,
     .section = kSectionSettings,
     .name = "name",
     .type = SettingType::kString,
     .read = SettingRead::kOnOpen},
    {.key = SettingKey::channel,
     .section = kSectionSettings,
     .name = "channel",
     .type = SettingType::kString,
     .read = SettingRead::kOnOpen},
    {SettingKey::autolog, kSectionSettings, "autolog", SettingType::kInt, 0},
    {SettingKey::logdir, kSectionSettings, "logdir", SettingType::kString},
    {SettingKey::autologname, kSectionSettings, "autologname", SettingType::kString, 0,
     "tsl%y%m%d.log"},
    {SettingKey::memofiledir,
     kSectionSettings,
     "memofiledir",
     SettingType::kString,
     0,
     {},
     DerivedDefault::kStartupDirectory},
    {SettingKey::userview, kSectionSettings, "userview", SettingType::kInt, 0},
    // Not a key of the Windows program: how many lines the display pane keeps for reading
    // back. The default keeps its own rule: past 90 screen lines, cut back to the last 50.
    {SettingKey::displaylines, kSectionSettings, "displaylines", SettingType::kInt, 50},
    // Hands the key file to the desktop's own choice of program.
    {.key = SettingKey::editor,
     .section = kSectionSettings,
     .name = "editor",
     .type = SettingType::kString,
     .textDefault = "xdg-open",
     .read = SettingRead::kOnOpen},

    {SettingKey::savefiledir, kSectionOptions, "savefiledir", SettingType::kString},
    {SettingKey::isrecvfile, kSectionOptions, "isrecvfile", SettingType::kInt, 0},
    {SettingKey::prevsendfile, kSectionOptions, "prevsendfile", SettingType::kString},
    {SettingKey::isrecvwave, kSectionOptions, "isrecvwave", SettingType::kInt, 0},
    {SettingKey::isnotify, kSectionOptions, "isnotify", SettingType::kInt, 0},
    {SettingKey::notifystring1, kSectionOptions, "notifystring1", SettingType::kString},
    {SettingKey::notifystring2, kSectionOptions, "notifystring2", SettingType::kString},
    {SettingKey::notifystring3, kSectionOptions, "notifystring3", SettingType::kString},
    {SettingKey::notifystring4, kSectionOptions, "notifystring4", SettingType::kString},
    {SettingKey::notifysoundfile, kSectionOptions, "notifysoundfile", SettingType::kString},
    // Not a key of the Windows program: a desktop notification besides the call sound.
    {SettingKey::desktopnotify, kSectionOptions, "desktopnotify", SettingType::kInt, 0},
    // Not a key of the Windows program: an HTML log written beside the text log.
    {SettingKey::htmllog, kSectionSettings, "htmllog", SettingType::kInt, 0},
    // Not a key of the Windows program: reconnect after a drop the user did not ask for.
    {SettingKey::autoreconnect, kSectionOptions, "autoreconnect", SettingType::kInt, 0},
});

inline constexpr std::size_t kSettingCount = kSettingTable.size();

constexpr const SettingRow& RowOf(SettingKey key) {
    return kSettingTable[static_cast<std::size_t>(key)];
}

namespace detail {

constexpr char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

constexpr bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

constexpr bool TableIsConsistent() {
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        const SettingRow& row = kSettingTable[i];
        if (static_cast<std::size_t>(row.key) != i) {
            return false;  // rows must follow SettingKey, so RowOf can index
        }
        if (row.type != SettingType::kString &&
            (!row.textDefault.empty() || row.derived != DerivedDefault::kNone)) {
            return false;
        }
        for (std::size_t j = i + 1; j < kSettingCount; ++j) {
            if (SameName(row.section, kSettingTable[j].section) &&
                SameName(row.name, kSettingTable[j].name)) {
                return false;  // the profile would read both from one line
            }
        }
    }
    return true;
}

}  // namespace detail

static_assert(kSettingCount == static_cast<std::size_t>(SettingKey::autoreconnect) + 1,
              "every SettingKey needs its row in kSettingTable");
static_assert(detail::TableIsConsistent(), "kSettingTable is out of order or has a duplicate");

// tessel.ini in the working directory the program started in, with typed access by key.
// The file is read once, when the settings are opened; from then on the program works on
// the values in memory (keys read on open excepted: see SettingRead). Every change stores at
// once, in memory and in the file; a write that fails (read-only file, full disk) keeps the
// new value in force for the rest of the session, and the next start reads the old one.
// Copies share one memory, as every part of the program shares one settings file. Safe to
// use from the window and the connection thread at once.
class Settings {
  public:
    // `workingDirectory` in Shift-JIS, as WorkingDirectory() gives it. nullopt when it is
    // empty or its profile path would be longer than kMaxProfilePathLength.
    static std::optional<Settings> Open(std::string_view workingDirectory);

    const std::string& ProfilePath() const { return store_.Path(); }
    // The working directory followed by "/": where the default key file lives.
    const std::string& StartupDirectory() const { return startupDirectory_; }
    // The working directory followed by "/wav/": where sound files are looked up.
    std::string WaveDirectory() const { return startupDirectory_ + "wav/"; }

    // For kInt and kColour keys.
    std::int32_t GetInt(SettingKey key) const;
    bool SetInt(SettingKey key, std::int32_t value);
    std::int32_t DefaultInt(SettingKey key) const { return RowOf(key).intDefault; }

    // For kString keys: Shift-JIS bytes. A value the file cannot hold (a line break, a zero
    // byte) is refused: false, and the old value stays.
    std::string GetString(SettingKey key) const;
    bool SetString(SettingKey key, std::string_view value);
    std::string DefaultString(SettingKey key) const;

    // What the user should be told about the file read at start (Shift-JIS, ending in a line
    // break), or empty: a file too large to read leaves every key at its default and is
    // never rewritten.
    const std::string& OpenNotice() const { return openNotice_; }

    const ProfileStore& Store() const { return store_; }
    // Called once, on the thread that wrote, for the first write of the session that fails,
    // so the user hears of it without a message per change. Shared by every copy.
    void OnFirstWriteFailure(std::function<void()> listener);

  private:
    struct Memory {
        std::mutex lock;
        std::array<std::optional<std::string>, kSettingCount> stored;  // nullopt: not in file
        std::array<bool, kSettingCount> unsaved{};  // the last write of the key failed
        std::function<void()> writeFailed;
        bool writeFailureTold = false;
    };

    Settings(std::string profilePath, std::string startupDirectory);

    std::optional<std::string> StoredValue(SettingKey key) const;
    bool Remember(SettingKey key, std::string value);

    ProfileStore store_;
    std::string startupDirectory_;
    std::string openNotice_;
    std::shared_ptr<Memory> memory_;
};

}  // namespace tessel
