// SPDX-License-Identifier: MIT

#include "protocol/Words.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "protocol/ByteScan.h"

namespace tessel {
namespace {

// What each byte is to the word walk, looked up once per byte: every line of every message is
// walked here.
enum ByteClass : unsigned char { kWordByte = 0, kBlank = 1, kFeed = 2, kEnd = 3 };

constexpr auto kByteClasses = [] {
    std::array<unsigned char, 256> classes{};
    classes[static_cast<unsigned char>(' ')] = kBlank;
    classes[static_cast<unsigned char>('\t')] = kBlank;
    classes[static_cast<unsigned char>('\n')] = kFeed;
    classes[0] = kEnd;
    return classes;
}();

unsigned char ClassOf(char c) {
    return kByteClasses[static_cast<unsigned char>(c)];
}

// The start of word n in [p, end), or null when the text, which ends at its first zero byte,
// ends first. A line feed does not separate words while counting.
const char* StartOfWord(const char* p, const char* end, int n) {
    for (int i = 0; i < n; ++i) {
        while (p != end && (ClassOf(*p) == kWordByte || ClassOf(*p) == kFeed)) {
            ++p;
        }
        while (p != end && ClassOf(*p) == kBlank) {
            ++p;
        }
        if (p == end || ClassOf(*p) == kEnd) {
            return nullptr;
        }
    }
    return p;
}

}  // namespace

std::string_view TextOf(std::string_view text) {
    if (text.empty()) {
        return text;  // an empty view may carry a null pointer, which memchr must not see
    }
    const char* const end = text.data() + text.size();
    return text.substr(0, static_cast<std::size_t>(scan::FindZero(text.data(), end) - text.data()));
}

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Decimal digits from `pos`, stopping at `limit`.
std::int64_t DigitsFrom(std::string_view text, std::size_t& pos, std::int64_t limit) {
    std::int64_t value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        value = std::min<std::int64_t>(value * 10 + (text[pos] - '0'), limit);
        ++pos;
    }
    return value;
}

}  // namespace

std::int32_t ReadDigits(std::string_view text, std::size_t& pos) {
    return static_cast<std::int32_t>(
        DigitsFrom(text, pos, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t ReadDecimal(std::string_view word) {
    // Nearly every number read is a few bare digits (a length, a client number): read at once
    // when no blank, sign or limit can come into it.
    if (!word.empty() && IsDigit(word[0])) {
        std::int32_t value = 0;
        std::size_t i = 0;
        for (; i < word.size() && i < 9 && IsDigit(word[i]); ++i) {
            value = value * 10 + (word[i] - '0');
        }
        if (i == word.size() || !IsDigit(word[i])) {
            return value;
        }
    }
    std::size_t p = 0;
    while (p < word.size() && (word[p] == ' ' || (word[p] >= '\t' && word[p] <= '\r'))) {
        ++p;
    }
    bool negative = false;
    if (p < word.size() && (word[p] == '+' || word[p] == '-')) {
        negative = word[p] == '-';
        ++p;
    }
    // Saturates at the 32-bit limits of its sign, as atoi does on the program's home platform.
    const std::int64_t limit = negative ? -std::int64_t{std::numeric_limits<std::int32_t>::min()}
                                        : std::int64_t{std::numeric_limits<std::int32_t>::max()};
    const std::int64_t value = DigitsFrom(word, p, limit);
    return static_cast<std::int32_t>(negative ? -value : value);
}

std::string_view WordAt(std::string_view line, int n) {
    const char* const end = line.data() + line.size();
    const char* const start = StartOfWord(line.data(), end, n);
    if (start == nullptr) {
        return {};
    }
    const char* p = start;
    while (p != end && ClassOf(*p) == kWordByte) {
        ++p;
    }
    return {start, static_cast<std::size_t>(p - start)};
}

std::string_view RestFrom(std::string_view line, int n) {
    const std::string_view text = TextOf(line);
    const char* const end = text.data() + text.size();
    const char* const start = StartOfWord(text.data(), end, n);
    if (text.empty() || start == nullptr) {
        return {};
    }
    const std::size_t at = static_cast<std::size_t>(start - text.data());
    const std::size_t feed = text.find('\n', at);
    return text.substr(at, (feed == std::string_view::npos ? text.size() : feed) - at);
}

}  // namespace tessel
