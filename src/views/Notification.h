// SPDX-License-Identifier: MIT

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "display/DisplayQueue.h"
#include "platform/SoundPlayer.h"
#include "settings/Settings.h"

namespace tessel {

// When a chat line should sound: the user's notification choices.
struct NotifySettings {
    // 0 never; 2 when the own handle or a notify string occurs; anything else (1) when a
    // notify string occurs.
    std::int32_t mode = 0;
    std::array<std::string, 4> strings;  // an empty string takes no part
    std::string soundFile;               // played as stored, relative to the current directory
};

// Mode 0: no line ever sounds, so no line needs to be looked at.
inline bool NotifyNever(const NotifySettings& settings) {
    return settings.mode == 0;
}

// Whether `needle` occurs in `haystack` as whole Shift-JIS characters: a match starts and
// ends on character boundaries of `haystack`, so bytes that straddle a double-byte character
// never match. An empty needle never occurs.
bool ContainsShiftJis(std::string_view haystack, std::string_view needle);

// The notification settings as tessel.ini holds them.
NotifySettings ReadNotifySettings(const Settings& settings);

// Plays the notification sound at most once when somebody else's chat line calls the user.
// Only the item's text is searched, never its name. Lines by `ownHandle` or "system",
// notices, system-coloured chat lines and roll reports never sound. Returns whether the
// sound was played.
bool NotifyCheck(const DisplayItem& item, std::string_view ownHandle,
                 const NotifySettings& settings, SoundPlayer& player);

}  // namespace tessel
