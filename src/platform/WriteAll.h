// SPDX-License-Identifier: MIT

#pragma once

#include <string_view>

namespace tessel {

// Writes every byte to the descriptor, continuing after partial writes and interrupted calls.
// False when a write fails (errno says why) or the descriptor takes nothing more.
bool WriteAll(int fd, std::string_view bytes);

}  // namespace tessel
