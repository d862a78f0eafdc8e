#include "frame/Settings.h"

#include <cassert>

namespace tessel {

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
    return Settings(std::move(profilePath), std::move(startupDirectory));
}

std::int32_t Settings::GetInt(SettingKey key) const {
    const SettingSpec& spec = SpecOf(key);
    assert(spec.type != SettingType::kString);
    return store_.GetProfileInt(spec.section, spec.name, spec.intDefault);
}

bool Settings::SetInt(SettingKey key, std::int32_t value) const {
    const SettingSpec& spec = SpecOf(key);
    assert(spec.type != SettingType::kString);
    return store_.WriteProfileInt(spec.section, spec.name, value);
}

std::string Settings::GetString(SettingKey key) const {
    const SettingSpec& spec = SpecOf(key);
    assert(spec.type == SettingType::kString);
    return store_.GetProfileString(spec.section, spec.name, DefaultString(key));
}

bool Settings::SetString(SettingKey key, std::string_view value) const {
    const SettingSpec& spec = SpecOf(key);
    assert(spec.type == SettingType::kString);
    return store_.WriteProfileString(spec.section, spec.name, value);
}

std::string Settings::DefaultString(SettingKey key) const {
    const SettingSpec& spec = SpecOf(key);
    switch (spec.derived) {
        case DerivedDefault::kStartupDirectory:
            return startupDirectory_;
        case DerivedDefault::kNone:
            break;
    }
    return std::string(spec.textDefault);
}

}  // namespace tessel
