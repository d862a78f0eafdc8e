// SPDX-License-Identifier: MIT

#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace tessel {

// The program's own files: the settings file, every key file and include it has read (or
// tried to: a missing one may be read at the next start) and the open log. A file received
// from a peer must never take the place of one of them, however the receive directory is
// spelt. Read on the connection thread while the window thread adds and removes, so every
// call holds one lock.
class OwnFiles {
  public:
    // Paths in Shift-JIS, as the core keeps them; each Add is undone by one Remove.
    void Add(std::string corePath);
    void Remove(std::string_view corePath);

    // True when `name` in `directory` is one of the files, existing or not yet created: the
    // same name in the same directory (compared as directories, not as spellings).
    bool IsOwnName(std::string_view directory, std::string_view name) const;
    // True when the open `file` is one of the files under any of its names (hard links too).
    bool IsOwnFile(const File& file) const;

  private:
    std::vector<std::string> Snapshot() const;

    mutable std::mutex lock_;
    std::vector<std::string> paths_;
};

}  // namespace tessel
