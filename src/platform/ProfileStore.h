// SPDX-License-Identifier: MIT

#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace tessel {

// The one lock every profile call holds from its read to its rename, whichever store object
// it goes through, so two threads writing different keys of one file never lose either
// write. It guards no data of its own, so there is nothing for tests to reset.
std::mutex& ProfileLock();

// Text-level profile operations on the bytes of a whole file, as the Windows private-profile
// functions read and edit them. Names compare without regard to ASCII case; double-byte
// Shift-JIS characters are compared and scanned as units, so a trail byte that happens to
// look like a letter or a bracket is never mistaken for one.

// The value of `key` in the first section called `section`, trimmed and with one pair of
// matching quotes removed; nullopt when the section or key is missing.
std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);

// `text` with `key` set to `value`: the first matching key's value replaced in place, or a
// new key line after the last key of the first matching section, or a new section at the
// end. Every other byte is kept. The caller has checked the names and value with
// IsWritableProfileEntry.
std::string WithProfileValue(std::string_view text, std::string_view section, std::string_view key,
                             std::string_view value);

// False for entries that would break the file's structure: empty names, line breaks or NUL
// anywhere, a key containing '=' or starting with '[' or ';', a section or key ending in a
// lead byte on its own (it would swallow the "]" or "=" after it). A value with a line break would
// otherwise inject lines (even whole sections) into the file. (Values with outer blanks or
// one pair of outer quotes are written as given and, as on Windows, read back without them.)
bool IsWritableProfileEntry(std::string_view section, std::string_view key, std::string_view value);

// The integer a stored value stands for: leading blanks, an optional sign, "0x" for hex,
// then digits up to the first non-digit, wrapping modulo 2^32. An empty value gives
// `fallback`; a value without digits gives 0.
std::int32_t ParseProfileInt(std::string_view value, std::int32_t fallback);

// The largest profile file read or rewritten. A tessel.ini holds a few dozen keys (a few
// kilobytes even with comments); a larger file is refused as a whole, so neither a stray
// huge file nor a device under the name can exhaust memory.
inline constexpr std::size_t kMaxProfileSize = 1 << 20;

struct ProfileText {
    ReadStatus status = ReadStatus::kFailed;
    std::string text;  // with kOk: the whole file
};

// A private-profile (INI) file at one path, given in Shift-JIS as the core keeps paths. Every
// call reads the file as it is now; every write replaces the file atomically (a temporary
// file in the same directory, then rename) and creates it when missing. A failed write
// returns false and leaves the old file as it was; callers may ignore the result and go on
// with their value in memory. A file larger than kMaxProfileSize reads as missing and is
// never rewritten.
class ProfileStore {
  public:
    explicit ProfileStore(std::string path);

    const std::string& Path() const { return path_; }

    // The whole file at once, for reading every key in one go (the settings at start).
    ProfileText ReadAll() const;

    std::int32_t GetProfileInt(std::string_view section, std::string_view key,
                               std::int32_t defaultValue) const;
    std::string GetProfileString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const;
    bool WriteProfileInt(std::string_view section, std::string_view key, std::int32_t value) const;
    bool WriteProfileString(std::string_view section, std::string_view key,
                            std::string_view value) const;

    // The stored value of one key, read from the file now; nullopt when it is not there.
    std::optional<std::string> Lookup(std::string_view section, std::string_view key) const;

  private:
    // Callers hold ProfileLock().
    static FileBytes ReadLocked(const std::string& systemPath);

    std::string path_;
    std::optional<std::string> systemPath_;  // nullopt: the name does not convert
};

}  // namespace tessel
