// SPDX-License-Identifier: MIT

#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "protocol/ByteScan.h"

namespace tessel {

// memcpy, out of line. Inlined with a length the compiler knows to be bounded (as every field
// here is), it becomes a string instruction whose start-up costs more than the short texts a
// message's fields hold; the library's call does not.
void CopyBytes(char* to, const char* from, std::size_t n);

// std::string(text), out of line for the same reason: for a field's text going into a string.
std::string StringOf(std::string_view text);

// A zero-terminated byte text in a buffer of N bytes, as the wire format's fixed fields are.
// It can never hold more than N - 1 bytes: every write cuts at the field's end, so no caller
// can write past it, and the terminator is always in place.
template <std::size_t N>
class FixedText {
    static_assert(N >= 2);

  public:
    static constexpr std::size_t kCapacity = N;
    static constexpr std::size_t kMaxLength = N - 1;

    FixedText() { bytes_.fill('\0'); }
    explicit FixedText(std::string_view text) : FixedText() { assign(text); }

    // Replaces the text with at most N - 1 bytes of `text`; false when it had to cut.
    bool assign(std::string_view text) {
        const std::size_t n = std::min(text.size(), kMaxLength);
        Copy(bytes_.data(), text.data(), n);
        bytes_[n] = '\0';
        return n == text.size();
    }

    // Appends as much of `text` as fits; false when it had to cut.
    bool append(std::string_view text) {
        const std::size_t used = size();
        const std::size_t n = std::min(text.size(), kMaxLength - used);
        Copy(bytes_.data() + used, text.data(), n);
        bytes_[used + n] = '\0';
        return n == text.size();
    }

    // Clears the whole field, not only the first byte: the message ID field is defined
    // as "cleared to zeros" and binary bodies may be read past their first zero.
    void clear() { bytes_.fill('\0'); }

    std::size_t size() const {
        return static_cast<std::size_t>(scan::FindZero(bytes_.data(), bytes_.data() + kMaxLength) -
                                        bytes_.data());
    }
    bool empty() const { return bytes_[0] == '\0'; }
    std::string_view view() const { return {bytes_.data(), size()}; }
    std::string str() const { return std::string(view()); }

    // Raw access for binary bodies and in-place conversions.
    char* data() { return bytes_.data(); }
    const char* data() const { return bytes_.data(); }

    // The first `count` bytes of the buffer, whatever they are (binary bodies hold zeros).
    std::string_view bytes(std::size_t count) const {
        return {bytes_.data(), std::min(count, kMaxLength)};
    }

    // Stores raw bytes (zeros included), cut to N - 1 bytes and terminated.
    std::size_t assignBytes(std::string_view raw) {
        const std::size_t n = std::min(raw.size(), kMaxLength);
        Copy(bytes_.data(), raw.data(), n);
        bytes_[n] = '\0';
        return n;
    }

    friend bool operator==(const FixedText& a, std::string_view b) { return a.view() == b; }

  private:
    // An empty view may carry a null pointer, which memcpy must never see.
    static void Copy(char* to, const char* from, std::size_t n) {
        if (n > 0) {
            CopyBytes(to, from, n);
        }
    }

    std::array<char, N> bytes_;
};

}  // namespace tessel
