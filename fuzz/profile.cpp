// SPDX-License-Identifier: MIT

// A profile file as anyone could have written it (a peer may have planted tessel.ini), with
// the text-level reader and writer and the settings read at start over it.
#include <fstream>
#include <string>

#include "FuzzSupport.h"
#include "platform/ProfileStore.h"
#include "settings/Settings.h"

namespace tessel::fuzz {
namespace {

// Names are looked up without their outer blanks, line breaks among them, as the reader
// trims every name it finds in the file.
std::string_view TrimBlanks(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\v\f\r\n";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool SameAsciiName(std::string_view a, std::string_view b) {
    a = TrimBlanks(a);
    b = TrimBlanks(b);
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

void CheckTextLevel(std::string_view text, std::string_view section, std::string_view key,
                    std::string_view value, std::string_view otherKey) {
    const auto found = FindProfileValue(text, section, key);
    FUZZ_CHECK(FindProfileValue(text, section, key) == found);
    if (found) {
        FUZZ_CHECK(found->size() <= text.size());
    }
    ParseProfileInt(value, 7);
    FUZZ_CHECK(ParseProfileInt(value, 7) == ParseProfileInt(value, 7));

    if (!IsWritableProfileEntry(section, key, value)) {
        return;
    }
    const std::string updated = WithProfileValue(text, section, key, value);
    FUZZ_CHECK(updated.size() <= text.size() + section.size() + key.size() + value.size() + 16);
    // The key reads back as it would from a file holding nothing else.
    const auto readBack = FindProfileValue(updated, section, key);
    FUZZ_CHECK(readBack.has_value());
    FUZZ_CHECK(readBack ==
               FindProfileValue(WithProfileValue("", section, key, value), section, key));
    // No other key of the section changes.
    if (!SameAsciiName(otherKey, key)) {
        FUZZ_CHECK(FindProfileValue(updated, section, otherKey) ==
                   FindProfileValue(text, section, otherKey));
    }
    // Writing the same value again changes nothing.
    FUZZ_CHECK(WithProfileValue(updated, section, key, value) == updated);
}

// tessel.ini planted in the working directory: every string setting read from it is one line.
void CheckSettings(const std::string& directory, std::string_view raw) {
    {
        std::ofstream out(directory + "/tessel.ini", std::ios::binary | std::ios::trunc);
        out.write(raw.data(), static_cast<std::streamsize>(raw.size()));
    }
    const auto settings = Settings::Open(directory);
    FUZZ_CHECK(settings.has_value());
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        const auto key = static_cast<SettingKey>(i);
        if (RowOf(key).type == SettingType::kString) {
            const std::string value = settings->GetString(key);
            // A zero byte in a planted file is kept (every use cuts the text there), but no
            // value may run into the next line.
            const std::string_view text = std::string_view(value).substr(0, value.find('\0'));
            FUZZ_CHECK(text.find_first_of("\r\n") == std::string_view::npos);
            FUZZ_CHECK(value.size() <= raw.size() + directory.size() + 64);
        } else {
            settings->GetInt(key);
        }
    }
}

}  // namespace
}  // namespace tessel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessel::fuzz;
    static ScratchDirectory scratch;
    const auto parts = Parts(AsText(data, size), 5);
    CheckTextLevel(parts[0], parts[1], parts[2], parts[3], parts[4]);
    CheckSettings(scratch.path(), parts[0]);
    return 0;
}
