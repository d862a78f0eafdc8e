// SPDX-License-Identifier: MIT

#pragma once

#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

namespace tessel::test {

// A byte string that prints as readable text with every byte outside printable ASCII shown
// in hex, so a failed comparison of Shift-JIS, EUC-JP or request bytes shows what differs.
struct Bytes {
    std::string value;

    Bytes() = default;
    Bytes(std::string_view v) : value(v) {}    // NOLINT: implicit by design, for EXPECT_EQ
    Bytes(const char* v) : value(v) {}         // NOLINT
    Bytes(const std::string& v) : value(v) {}  // NOLINT

    friend bool operator==(const Bytes& a, const Bytes& b) { return a.value == b.value; }

    friend void PrintTo(const Bytes& bytes, std::ostream* os) {
        *os << '"';
        for (const char c : bytes.value) {
            const auto b = static_cast<unsigned char>(c);
            if (b == '\n') {
                *os << "\\n";
            } else if (b == '\r') {
                *os << "\\r";
            } else if (b >= 0x20 && b < 0x7F && b != '\\') {
                *os << c;
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", b);
                *os << hex;
            }
        }
        *os << "\" (" << bytes.value.size() << " bytes)";
    }
};

}  // namespace tessel::test
