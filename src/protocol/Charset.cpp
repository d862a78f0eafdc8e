// SPDX-License-Identifier: MIT

#include "protocol/Charset.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "protocol/ByteScan.h"
#include "protocol/Words.h"

namespace tessel {
namespace {

// Full-width Shift-JIS codes for the half-width bytes 0xA0 to 0xDF, in byte order.
constexpr std::array<std::uint16_t, 64> kWideKana = {
    0x8140, 0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340,  // A0-A7
    0x8342, 0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362,  // A8-AF
    0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C,  // B0-B7
    0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C,  // B8-BF
    0x835E, 0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B,  // C0-C7
    0x836C, 0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D,  // C8-CF
    0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389,  // D0-D7
    0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,  // D8-DF
};

// EUC-JP of the geta mark, the customary stand-in for a character that cannot be carried.
constexpr unsigned char kGeta[2] = {0xA2, 0xAE};

constexpr bool IsEucByte(unsigned char b) {
    return b >= 0xA1 && b <= 0xFE;
}

// One Shift-JIS pair to its EUC-JP pair; the lead must be 0x81 to 0xEF, the trail valid.
inline void PairToEuc(unsigned char s1, unsigned char s2, unsigned char* out) {
    unsigned row = (s1 <= 0x9F ? s1 - 0x70 : s1 - 0xB0) * 2;
    unsigned cell;
    if (s2 < 0x9F) {
        row -= 1;
        cell = s2 - (s2 >= 0x80 ? 0x20 : 0x1F);
    } else {
        cell = s2 - 0x7E;
    }
    out[0] = static_cast<unsigned char>(row | 0x80);
    out[1] = static_cast<unsigned char>(cell | 0x80);
}

inline void PairToShiftJis(unsigned char e1, unsigned char e2, unsigned char* out) {
    const unsigned row = e1 & 0x7F;
    const unsigned cell = e2 & 0x7F;
    out[0] = static_cast<unsigned char>(((row + 1) >> 1) + (row <= 0x5E ? 0x70 : 0xB0));
    if (row & 1) {
        out[1] = static_cast<unsigned char>(cell + (cell >= 0x60 ? 0x20 : 0x1F));
    } else {
        out[1] = static_cast<unsigned char>(cell + 0x7E);
    }
}

// Converts `in` into `out`, which has room for at least limit - 1 bytes; returns the length.
std::size_t ConvertToEuc(std::string_view in, std::size_t limit, unsigned char* out) {
    const auto* src = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    const std::size_t stop = limit >= 3 ? limit - 3 : 0;
    std::size_t i = 0;
    std::size_t w = 0;
    while (i < n && w < stop) {
        const unsigned char b = src[i];
        if (b < 0x80) {
            out[w++] = b;
            ++i;
        } else if (IsShiftJisLead(b)) {
            if (i + 1 < n && IsShiftJisTrail(src[i + 1])) {
                if (b >= 0xF0) {
                    out[w] = kGeta[0];
                    out[w + 1] = kGeta[1];
                } else {
                    PairToEuc(b, src[i + 1], out + w);
                }
                w += 2;
                i += 2;
            } else {
                out[w++] = '?';
                ++i;
            }
        } else if (IsHalfWidthKana(b)) {
            const std::uint16_t wide = kWideKana[b - 0xA0];
            PairToEuc(static_cast<unsigned char>(wide >> 8), static_cast<unsigned char>(wide),
                      out + w);
            w += 2;
            ++i;
        } else {
            // 0x80, 0xFD to 0xFF: not Shift-JIS characters, kept as they are.
            out[w++] = b;
            ++i;
        }
    }
    return w;
}

std::size_t ConvertToShiftJis(std::string_view in, unsigned char* out) {
    const auto* src = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    std::size_t i = 0;
    while (i < n) {
        // Bytes below 0x80 are the same in both codes: copied, or, converting in place, left
        // where they are.
        if (src[i] < 0x80) {
            const std::size_t end = AsciiRunEnd(in, i);
            if (out != src) {
                std::memcpy(out + i, src + i, end - i);
            }
            i = end;
            continue;
        }
        const unsigned char b = src[i];
        if (i + 1 < n && IsEucByte(b) && IsEucByte(src[i + 1])) {
            PairToShiftJis(b, src[i + 1], out + i);
            i += 2;
        } else {
            out[i] = b;
            ++i;
        }
    }
    return n;
}

}  // namespace

std::size_t AsciiRunEnd(std::string_view text, std::size_t from) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    return static_cast<std::size_t>(scan::FindHighByte(begin + std::min(from, text.size()), end) -
                                    begin);
}

std::uint16_t WidenKana(unsigned char halfWidth) {
    return IsHalfWidthKana(halfWidth) ? kWideKana[halfWidth - 0xA0] : 0;
}

std::string ToEuc(std::string_view sjis, std::size_t limit) {
    const std::string_view text = TextOf(sjis);
    std::string out(std::min(text.size() * 2, limit), '\0');
    out.resize(ConvertToEuc(text, limit, reinterpret_cast<unsigned char*>(out.data())));
    return out;
}

std::string ToShiftJis(std::string_view euc) {
    const std::string_view text = TextOf(euc);
    std::string out(text.size(), '\0');
    ConvertToShiftJis(text, reinterpret_cast<unsigned char*>(out.data()));
    return out;
}

std::size_t ToEucInPlace(char* buffer, std::size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    const std::string converted =
        ToEuc(std::string_view(buffer, ::strnlen(buffer, capacity - 1)), capacity);
    std::memcpy(buffer, converted.data(), converted.size());
    buffer[converted.size()] = '\0';
    return converted.size();
}

std::size_t ToShiftJisInPlace(char* buffer, std::size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    const std::size_t length =
        static_cast<std::size_t>(scan::FindZero(buffer, buffer + capacity - 1) - buffer);
    auto* bytes = reinterpret_cast<unsigned char*>(buffer);
    ConvertToShiftJis(std::string_view(buffer, length), bytes);
    buffer[length] = '\0';
    return length;
}

}  // namespace tessel
