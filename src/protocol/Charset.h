// SPDX-License-Identifier: MIT

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessel {

// Shift-JIS (code page 932, the program's own text) and EUC-JP (the wire) for the two-byte
// characters of JIS X 0208, by the arithmetic correspondence of the two encodings.

constexpr bool IsShiftJisLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
constexpr bool IsShiftJisTrail(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// The one Shift-JIS walk of the program: the length of the character at `pos`. A lead byte
// followed by a valid trail byte is one two-byte character; a lead byte at the end of the
// text or before anything else stands alone, so a broken pair never swallows a line feed, a
// separator or a colour marker. Everything that takes text apart by characters (the display,
// the log, the notification search, the profile file, file names) walks with this.
constexpr std::size_t ShiftJisCharLength(std::string_view text, std::size_t pos) {
    if (pos + 1 < text.size() && IsShiftJisLead(static_cast<unsigned char>(text[pos])) &&
        IsShiftJisTrail(static_cast<unsigned char>(text[pos + 1]))) {
        return 2;
    }
    return 1;
}
// The end of the run of bytes below 0x80 that starts at `from`: one-byte characters in
// Shift-JIS, EUC-JP and UTF-8 alike, none of them part of a pair or a colour marker. Long
// runs are looked at many bytes at a time.
std::size_t AsciiRunEnd(std::string_view text, std::size_t from);

constexpr bool IsHalfWidthKana(unsigned char b) {
    return b >= 0xA0 && b <= 0xDF;
}

// The full-width Shift-JIS code that a half-width katakana byte (0xA0 to 0xDF) stands for;
// voiced marks stay separate characters. Bytes outside the range give 0.
std::uint16_t WidenKana(unsigned char halfWidth);

// Shift-JIS to EUC-JP. Half-width katakana are widened first, since EUC-JP text on the wire
// carries only two-byte characters. The text ends at its first zero byte. Conversion stops
// before the next character once at least `limit - 3` bytes have been written, so the result
// (at most limit - 2 bytes) always fits a `limit`-byte field with its terminator.
// Characters are never split. A lead byte without a valid trail byte becomes "?", and a
// user-defined or vendor character (lead 0xF0 to 0xFC), which EUC-JP cannot carry, becomes
// the geta mark.
std::string ToEuc(std::string_view sjis, std::size_t limit);

// EUC-JP to Shift-JIS, same length. Only well-formed two-byte pairs (both bytes 0xA1 to 0xFE)
// are converted; every other byte, the single shift 0x8E included, passes through unchanged.
std::string ToShiftJis(std::string_view euc);

// The same conversions over a zero-terminated text in a buffer of `capacity` bytes; they
// never write past the buffer and always leave it terminated. Returns the new length.
std::size_t ToEucInPlace(char* buffer, std::size_t capacity);
std::size_t ToShiftJisInPlace(char* buffer, std::size_t capacity);

}  // namespace tessel
