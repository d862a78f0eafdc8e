// SPDX-License-Identifier: MIT

#include "protocol/ByteScan.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace tessel {
namespace {

struct Scan {
    const char* name;
    const char* (*find)(const char*, const char*);
    std::function<bool(unsigned char)> wanted;
};

// Every length up to three blocks, every position of one wanted byte and of two, against a plain
// byte-by-byte reading: the block, word and overlapping tail paths all meet these.
TEST(ByteScanTest, FindsTheFirstWantedByteAtEveryLengthAndPosition) {
    const Scan scans[] = {
        {"zero", scan::FindZero, [](unsigned char b) { return b == 0; }},
        {"line feed", scan::FindLineFeed, [](unsigned char b) { return b == '\n'; }},
        {"high byte", scan::FindHighByte, [](unsigned char b) { return b >= 0x80; }},
        {"non-printable", scan::FindNonPrintable,
         [](unsigned char b) { return b < 0x20 || b >= 0x7F; }},
    };
    // Bytes that sit next to what each scan looks for, so a borrow or a signed compare that
    // leaks shows up as a wrong position.
    const std::string samples = std::string("\n\x0B\t\x1F \x7E\x7F\x80\x81\xFF\x00", 11) + "a";
    for (const Scan& s : scans) {
        for (std::size_t length = 0; length <= 48; ++length) {
            for (std::size_t at = 0; at <= length; ++at) {
                for (const char first : samples) {
                    for (const char second : samples) {
                        std::string text(length + 16, 'x');  // bytes past the end must not count
                        text[length] = first;
                        if (at < length) {
                            text[at] = first;
                            if (at + 1 < length) {
                                text[at + 1] = second;
                            }
                        }
                        const char* begin = text.data();
                        const char* end = begin + length;
                        const char* expected = begin;
                        while (expected != end &&
                               !s.wanted(static_cast<unsigned char>(*expected))) {
                            ++expected;
                        }
                        ASSERT_EQ(s.find(begin, end) - begin, expected - begin)
                            << s.name << ", length " << length << ", at " << at << ", bytes "
                            << int(static_cast<unsigned char>(first)) << ' '
                            << int(static_cast<unsigned char>(second));
                    }
                }
            }
        }
    }
}

// Walks texts line by line, as a message header is read, against a plain search: feeds close
// together, far apart and across block edges, with limits shorter and longer than a block.
TEST(ByteScanTest, LineFeedFinderHandsOutEveryFeedInOrderWithinItsLimit) {
    for (const std::size_t gap : {1, 2, 7, 15, 63, 64, 65, 130}) {
        for (const std::size_t length : {0, 1, 63, 64, 65, 127, 128, 200}) {
            for (const std::ptrdiff_t lineLimit : {1, 5, 64, 100, 1000}) {
                std::string text(length, 'x');
                for (std::size_t i = gap - 1; i < length; i += gap + (i % 3)) {
                    text[i] = '\n';
                }
                const char* const end = text.data() + text.size();
                scan::LineFeedFinder feeds(text.data(), end);
                for (const char* p = text.data(); p < end;) {
                    const char* const limit = end - p > lineLimit ? p + lineLimit : end;
                    const char* expected = p;
                    while (expected != limit && *expected != '\n') {
                        ++expected;
                    }
                    ASSERT_EQ(feeds.Next(p, limit) - text.data(), expected - text.data())
                        << "gap " << gap << ", length " << length << ", limit " << lineLimit;
                    p = expected == limit ? limit : expected + 1;
                }
            }
        }
    }
}

}  // namespace
}  // namespace tessel
