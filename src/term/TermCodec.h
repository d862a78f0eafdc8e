// SPDX-License-Identifier: MIT

#pragma once

#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

namespace tessel {

// The terminal speaks UTF-8 and the client Shift-JIS (code page 932): lines are converted at
// the terminal front end's edge, as the GUI converts at its widgets.
class TermCodec {
  public:
    TermCodec();
    ~TermCodec();
    TermCodec(const TermCodec&) = delete;
    TermCodec& operator=(const TermCodec&) = delete;

    // A typed line in Shift-JIS, or nothing when it holds a character code page 932 cannot.
    std::optional<std::string> ToShiftJis(std::string_view utf8) const;
    // Display text for the terminal; a byte that is no Shift-JIS character shows as U+FFFD.
    std::string ToUtf8(std::string_view sjis) const;

    // Below 0x80 code page 932 is ASCII, byte for byte the same in UTF-8: such text needs no
    // converter at all, as most of a chat flood does not.
    static bool IsAscii(std::string_view text);

  private:
    iconv_t toSjis_;
    iconv_t toUtf8_;
};

}  // namespace tessel
