// SPDX-License-Identifier: MIT

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessel {

// Every file of the program (tessel.ini, tessel.key, logs, memos, received files, sounds)
// follows the working directory at start. A front end told to keep them elsewhere enters that
// folder before anything reads the settings, so every path derived later agrees with it.

// The folder of the program's files under the XDG data directory: "XDG_DATA_HOME/tessel"
// when XDG_DATA_HOME is an absolute path, otherwise "HOME/.local/share/tessel". A relative or
// empty XDG_DATA_HOME is ignored, as the base directory rules ask; nullopt when HOME is not an
// absolute path either. The arguments are the variables' values (nullopt: unset).
std::optional<std::string> XdgDataFolder(std::optional<std::string_view> xdgDataHome,
                                         std::optional<std::string_view> home);

// The same from this process's environment.
std::optional<std::string> XdgDataFolder();

// Creates `folder` (a file system path) with any missing parents, each new one readable by
// the user alone, and makes it the working directory. False with the reason in `why` when it
// cannot; the working directory is then unchanged.
bool EnterFolder(const std::string& folder, std::string& why);

}  // namespace tessel
