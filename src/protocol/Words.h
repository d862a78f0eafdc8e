// SPDX-License-Identifier: MIT

#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/CommandCode.h"

namespace tessel {

// Blank-and-tab word operations used wherever the program takes a line apart.
// Results are views into `line`; a text ends at its first zero byte, as the C strings
// these lines travel in do.

// Word n of `line`, counting from 0. Word 0 of a line that begins with a blank is the
// empty word. A line feed ends the word being taken but does not separate words while
// counting; a carriage return is part of a word.
std::string_view WordAt(std::string_view line, int n);

// The text of `line` from the start of word n up to the first line feed; empty when word n
// does not exist.
std::string_view RestFrom(std::string_view line, int n);

// The code of word 0 of `line`.
inline CommandCode WordCode(std::string_view line) {
    return CommandCodeOfWord(WordAt(line, 0));
}

// Whether `c` ends the word before it: a blank, a line feed or a zero byte.
constexpr bool EndsWord(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\0';
}

// Whether word 0 of `line` is `word` (a word without blanks, line feeds or zero bytes): the
// same answer as comparing WordAt(line, 0), without walking the rest of the line.
constexpr bool StartsWithWord(std::string_view line, std::string_view word) {
    if (word.empty() || !line.starts_with(word)) {
        return false;
    }
    return line.size() == word.size() || EndsWord(line[word.size()]);
}

// `text` up to its first zero byte.
std::string_view TextOf(std::string_view text);

// The program's one decimal reader, read as atoi reads a number: leading white space, an
// optional sign, then digits up to the first non-digit; 0 when there are none. Values past the
// 32-bit range stay at its limits instead of overflowing, whatever a server or a file says.
std::int32_t ReadDecimal(std::string_view word);

// The bare decimal digits at `pos` (no blanks, no sign), with `pos` moved past them; 0 when
// there are none. Values past the 32-bit range stay at its maximum.
std::int32_t ReadDigits(std::string_view text, std::size_t& pos);

}  // namespace tessel
