// SPDX-License-Identifier: MIT

#include "views/Notification.h"

#include "protocol/Words.h"
#include "views/DisplayLine.h"

namespace tessel {
namespace {

constexpr std::string_view kSystemName = "system";

// Whether `end` falls on a character boundary when `text` is walked from `start`, which is one.
bool EndsOnBoundary(std::string_view text, std::size_t start, std::size_t end) {
    std::size_t pos = start;
    while (pos < end) {
        pos += ShiftJisCharLength(text, pos);
    }
    return pos == end;
}

}  // namespace

bool ContainsShiftJis(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) {
        return false;
    }
    for (std::size_t pos = 0; pos + needle.size() <= haystack.size();
         pos += ShiftJisCharLength(haystack, pos)) {
        if (haystack.compare(pos, needle.size(), needle) == 0 &&
            EndsOnBoundary(haystack, pos, pos + needle.size())) {
            return true;
        }
    }
    return false;
}

bool NotifyCheck(const DisplayItem& item, std::string_view ownHandle,
                 const NotifySettings& settings, SoundPlayer& player) {
    constexpr std::int32_t kModeHandle = 2;
    if (NotifyNever(settings) || item.kind != DisplayKind::Chat || item.systemName != 0) {
        return false;
    }
    const std::string_view name = TextOf(item.name);
    const std::string_view text = TextOf(item.text);
    const bool fromOthers = name != ownHandle && name != kSystemName;

    if (settings.mode == kModeHandle && fromOthers && !ownHandle.empty() &&
        ContainsShiftJis(text, ownHandle)) {
        player.Play(settings.soundFile);
        return true;
    }
    if (!fromOthers) {
        return false;
    }
    for (const std::string& wanted : settings.strings) {
        if (ContainsShiftJis(text, wanted)) {
            player.Play(settings.soundFile);
            return true;
        }
    }
    return false;
}

NotifySettings ReadNotifySettings(const Settings& settings) {
    NotifySettings notify;
    notify.mode = settings.GetInt(SettingKey::isnotify);
    const SettingKey keys[] = {SettingKey::notifystring1, SettingKey::notifystring2,
                               SettingKey::notifystring3, SettingKey::notifystring4};
    for (int i = 0; i < 4; ++i) {
        notify.strings[i] = settings.GetString(keys[i]);
    }
    notify.soundFile = settings.GetString(SettingKey::notifysoundfile);
    return notify;
}

}  // namespace tessel
