// SPDX-License-Identifier: MIT

#include "settings/Settings.h"

#include <cassert>

#include "protocol/TextFormat.h"

namespace tessel {

Settings::Settings(std::string profilePath, std::string startupDirectory)
    : store_(std::move(profilePath)),
      startupDirectory_(std::move(startupDirectory)),
      memory_(std::make_shared<Memory>()) {}

std::optional<Settings> Settings::Open(std::string_view workingDirectory) {
    if (workingDirectory.empty()) {
        return std::nullopt;
    }
    // A directory given with its separator ("/" itself, or "/home/u/") must not end up
    // with two in a row.
    while (!workingDirectory.empty() && workingDirectory.back() == '/') {
        workingDirectory.remove_suffix(1);
    }
    std::string startupDirectory(workingDirectory);
    startupDirectory.push_back('/');
    if (startupDirectory.size() + kProfileFileName.size() > kMaxProfilePathLength) {
        return std::nullopt;
    }
    std::string profilePath = startupDirectory;
    profilePath.append(kProfileFileName);
    Settings settings(std::move(profilePath), std::move(startupDirectory));

    // Every key from one read of the file.
    const ProfileText file = settings.store_.ReadAll();
    if (file.status == ReadStatus::kOk) {
        for (const SettingRow& row : kSettingTable) {
            settings.memory_->stored[static_cast<std::size_t>(row.key)] =
                FindProfileValue(file.text, row.section, row.name);
        }
    } else if (file.status == ReadStatus::kTooLarge) {
        settings.openNotice_ =
            FillText(kFileTooLargeText, {settings.ProfilePath(), std::to_string(kMaxProfileSize)});
    }
    return settings;
}

std::optional<std::string> Settings::StoredValue(SettingKey key) const {
    const SettingRow& row = RowOf(key);
    const auto index = static_cast<std::size_t>(key);
    if (row.read == SettingRead::kOnOpen) {
        {
            std::lock_guard guard(memory_->lock);
            if (memory_->unsaved[index]) {
                return memory_->stored[index];  // the file still has the old value
            }
        }
        std::optional<std::string> fresh = store_.Lookup(row.section, row.name);
        std::lock_guard guard(memory_->lock);
        memory_->stored[index] = fresh;
        return fresh;
    }
    std::lock_guard guard(memory_->lock);
    return memory_->stored[index];
}

void Settings::OnFirstWriteFailure(std::function<void()> listener) {
    std::lock_guard guard(memory_->lock);
    memory_->writeFailed = std::move(listener);
}

bool Settings::Remember(SettingKey key, std::string value) {
    const SettingRow& row = RowOf(key);
    if (!IsWritableProfileEntry(row.section, row.name, value)) {
        return false;
    }
    const auto index = static_cast<std::size_t>(key);
    {
        // Kept as the file will give it back at the next start (blanks around it and one pair
        // of outer quotes dropped), so this session sees what the next one will.
        std::string line = "[";
        line.append(row.section).append("]\n").append(row.name).append("=").append(value);
        std::lock_guard guard(memory_->lock);
        memory_->stored[index] = FindProfileValue(line, row.section, row.name).value_or(value);
    }
    const bool written = store_.WriteProfileString(row.section, row.name, value);
    std::function<void()> tell;
    {
        std::lock_guard guard(memory_->lock);
        memory_->unsaved[index] = !written;
        if (!written && !memory_->writeFailureTold && memory_->writeFailed) {
            memory_->writeFailureTold = true;
            tell = memory_->writeFailed;
        }
    }
    if (tell) {
        tell();
    }
    return written;
}

std::int32_t Settings::GetInt(SettingKey key) const {
    const SettingRow& row = RowOf(key);
    assert(row.type != SettingType::kString);
    const std::optional<std::string> value = StoredValue(key);
    return value ? ParseProfileInt(*value, row.intDefault) : row.intDefault;
}

bool Settings::SetInt(SettingKey key, std::int32_t value) {
    assert(RowOf(key).type != SettingType::kString);
    return Remember(key, std::to_string(value));
}

std::string Settings::GetString(SettingKey key) const {
    assert(RowOf(key).type == SettingType::kString);
    std::optional<std::string> value = StoredValue(key);
    return value ? std::move(*value) : DefaultString(key);
}

bool Settings::SetString(SettingKey key, std::string_view value) {
    assert(RowOf(key).type == SettingType::kString);
    return Remember(key, std::string(value));
}

std::string Settings::DefaultString(SettingKey key) const {
    const SettingRow& row = RowOf(key);
    switch (row.derived) {
        case DerivedDefault::kNone:
            break;
        case DerivedDefault::kStartupDirectory:
            return startupDirectory_;
    }
    return std::string(row.textDefault);
}

}  // namespace tessel
