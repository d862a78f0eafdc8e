// SPDX-License-Identifier: MIT

#pragma once

#include <string>

namespace tessel {

// Plays a WAV file in the background. Play returns at once; a path that names no playable
// file (an empty one included) plays nothing, and no default sound stands in for it. The path
// is in Shift-JIS, as the core keeps paths: an implementation opens SystemPath(path), and a
// path without a UTF-8 form plays nothing.
class SoundPlayer {
  public:
    virtual ~SoundPlayer() = default;

    virtual void Play(const std::string& path) = 0;
};

}  // namespace tessel
