// SPDX-License-Identifier: MIT

#include "protocol/FixedText.h"

#include <cstring>

namespace tessel {

void CopyBytes(char* to, const char* from, std::size_t n) {
    std::memcpy(to, from, n);
}

std::string StringOf(std::string_view text) {
    return std::string(text);
}

}  // namespace tessel
