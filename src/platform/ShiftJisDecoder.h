// SPDX-License-Identifier: MIT

#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace tessel {

// Shift-JIS (code page 932) text made readable as UTF-8 for files meant for other programs (an
// HTML page). Unlike a path, shown text may hold anything a peer sent, so nothing is refused:
// a byte that is no code page 932 character becomes U+FFFD and the rest converts.
//
// One conversion descriptor per object; an object is used by one thread at a time.
class ShiftJisDecoder {
  public:
    ShiftJisDecoder();
    ~ShiftJisDecoder();
    ShiftJisDecoder(const ShiftJisDecoder&) = delete;
    ShiftJisDecoder& operator=(const ShiftJisDecoder&) = delete;

    // Appends the UTF-8 form of `sjis` to `out`.
    void AppendUtf8(std::string& out, std::string_view sjis);

  private:
    iconv_t cd_;
};

}  // namespace tessel
