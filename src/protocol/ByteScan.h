// SPDX-License-Identifier: MIT

#pragma once

// Scans for the first byte of a kind in [p, end). Every received line and every shown line goes
// through them, most of them a few dozen bytes long or less: sixteen bytes are looked at per
// step where the machine has SSE2 (every x86-64), eight elsewhere, and a range shorter than a
// step is covered by two overlapping loads instead of a walk byte by byte.

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessel::scan {

inline constexpr std::uint64_t kOnes = 0x0101010101010101u;
inline constexpr std::uint64_t kHighs = 0x8080808080808080u;

// `Kind` says which bytes are looked for, in two ways:
//   Block(__m128i)       a vector whose byte i has its high bit set when byte i is one;
//   Word(std::uint64_t)  a word with the high bit of each such byte set, where a byte may be
//                        marked wrongly only above a rightly marked one (so the lowest mark
//                        is always true).
// Bytes the scan has already passed hold none, so a last load may overlap them.
template <typename Kind>
const char* FindFirst(const char* p, const char* end) {
    const auto inWord = [](const char* at) -> int {  // the first marked byte of 8, or 8
        std::uint64_t word;
        std::memcpy(&word, at, sizeof word);
        const std::uint64_t marks = Kind::Word(word);
        return marks == 0 ? 8 : std::countr_zero(marks) / 8;
    };
#if defined(__SSE2__)
    if (end - p >= 16) {
        const auto inBlock = [](const char* at) -> int {  // the first marked byte of 16, or 16
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            const auto marks = static_cast<unsigned>(_mm_movemask_epi8(Kind::Block(bytes)));
            return marks == 0 ? 16 : std::countr_zero(marks);
        };
        for (; end - p > 16; p += 16) {
            if (const int i = inBlock(p); i < 16) {
                return p + i;
            }
        }
        const int i = inBlock(end - 16);
        return i < 16 ? end - 16 + i : end;
    }
#endif
    if constexpr (std::endian::native == std::endian::little) {
        if (end - p >= 8) {
            for (; end - p > 8; p += 8) {
                if (const int i = inWord(p); i < 8) {
                    return p + i;
                }
            }
            const int i = inWord(end - 8);
            return i < 8 ? end - 8 + i : end;
        }
        if (end - p >= 4) {
            const auto inHalf = [](const char* at) -> int {  // the first marked byte of 4, or 4
                std::uint32_t half;
                std::memcpy(&half, at, sizeof half);
                // The four zero bytes above may be marked; they are not looked at.
                const std::uint64_t marks = Kind::Word(half) & 0x80808080u;
                return marks == 0 ? 4 : std::countr_zero(marks) / 8;
            };
            if (const int i = inHalf(p); i < 4) {
                return p + i;
            }
            const int i = inHalf(end - 4);
            return i < 4 ? end - 4 + i : end;
        }
    }
    // One byte as a word: only its own mark counts.
    while (p != end && (Kind::Word(static_cast<unsigned char>(*p)) & 0x80) == 0) {
        ++p;
    }
    return p;
}

// A byte equal to C.
template <char C>
struct ByteKind {
    static constexpr std::uint64_t kPattern = kOnes * static_cast<unsigned char>(C);
    static std::uint64_t Word(std::uint64_t word) {
        const std::uint64_t x = word ^ kPattern;
        return (x - kOnes) & ~x & kHighs;
    }
#if defined(__SSE2__)
    static __m128i Block(__m128i v) {
        return _mm_cmpeq_epi8(v, _mm_set1_epi8(C));
    }
#endif
};

// A byte at or above 0x80.
struct HighKind {
    static std::uint64_t Word(std::uint64_t word) { return word & kHighs; }
#if defined(__SSE2__)
    // The movemask of the bytes themselves is their high bits.
    static __m128i Block(__m128i v) {
        return v;
    }
#endif
};

// A byte that is not printable ASCII: below 0x20, DEL, or 0x80 and up.
struct NonPrintableKind {
    static std::uint64_t Word(std::uint64_t word) {
        const std::uint64_t del = word ^ (kOnes * 0x7F);
        return (word | ((word - kOnes * 0x20) & ~word) | ((del - kOnes) & ~del)) & kHighs;
    }
#if defined(__SSE2__)
    static __m128i Block(__m128i v) {
        // Compared as signed bytes, 0x80 and up are below 0x20 too.
        return _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)),
                            _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)));
    }
#endif
};

// The first zero byte in [p, end), or end.
inline const char* FindZero(const char* p, const char* end) {
    return FindFirst<ByteKind<'\0'>>(p, end);
}

// The first line feed in [p, end), or end.
inline const char* FindLineFeed(const char* p, const char* end) {
    return FindFirst<ByteKind<'\n'>>(p, end);
}

// The first byte at or above 0x80 in [p, end), or end.
inline const char* FindHighByte(const char* p, const char* end) {
    return FindFirst<HighKind>(p, end);
}

// The first byte in [p, end) that is not printable ASCII, or end.
inline const char* FindNonPrintable(const char* p, const char* end) {
    return FindFirst<NonPrintableKind>(p, end);
}

// The line feeds of a range, handed out in order: they are found for 64 bytes at a time, so the
// lines of a message header cost one look per block rather than one per line, and no guess as
// to which block a line ends in.
class LineFeedFinder {
  public:
    LineFeedFinder(const char* begin, const char* end) : base_(begin), end_(end) { Load(); }

    // The first line feed in [p, limit), or limit; `p` never moves back between calls and
    // `limit` is at most the range's end. Nothing at or past `limit` is looked at twice, so a
    // long line without a feed costs no more than its own bytes.
    const char* Next(const char* p, const char* limit) {
        while (whole_ && base_ < limit) {
            const std::ptrdiff_t offset = p > base_ ? p - base_ : 0;
            if (offset < kBlock) {
                const std::uint64_t after = mask_ & (~std::uint64_t{0} << offset);
                if (after != 0) {
                    const char* const feed = base_ + std::countr_zero(after);
                    return feed < limit ? feed : limit;
                }
                base_ += kBlock;
            } else {
                base_ = p;
            }
            Load();
        }
        const char* const from = p > base_ ? p : base_;
        return from < limit ? FindLineFeed(from, limit) : limit;
    }

  private:
    static constexpr std::ptrdiff_t kBlock = 64;

    void Load() {
        whole_ = end_ - base_ >= kBlock;
        if (whole_) {
            mask_ = FeedsOf(base_);
        }
    }

    // Bit i set when byte i of the 64 at `at` is a line feed.
    static std::uint64_t FeedsOf(const char* at) {
        std::uint64_t mask = 0;
#if defined(__SSE2__)
        const __m128i feed = _mm_set1_epi8('\n');
        for (int i = 0; i < 4; ++i) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * i));
            const auto marks =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, feed)));
            mask |= std::uint64_t{marks} << (16 * i);
        }
#else
        for (int i = 0; i < kBlock; ++i) {
            mask |= std::uint64_t{at[i] == '\n'} << i;
        }
#endif
        return mask;
    }

    const char* base_;  // the first byte of the block `mask_` describes
    const char* end_;
    std::uint64_t mask_ = 0;
    bool whole_ = false;  // whether a whole block lies at `base_`
};

}  // namespace tessel::scan
