// SPDX-License-Identifier: MIT

// Shift-JIS <-> EUC-JP conversion of any bytes: bounded, the in-place forms agree with the
// string forms inside their buffers, and the round trip holds for the text both can carry.
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "protocol/Charset.h"

namespace tessel::fuzz {
namespace {

// What the arithmetic correspondence carries both ways: bytes 0x01 to 0x7F and the two-byte
// characters of JIS X 0208 (leads 0x81 to 0x9F and 0xE0 to 0xEF).
std::string RoundTrippableShiftJis(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b != 0 && b < 0x80) {
            out += text[i];
        } else if (i + 1 < text.size() && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF)) &&
                   IsShiftJisTrail(static_cast<unsigned char>(text[i + 1]))) {
            out.append(text.substr(i, 2));
            ++i;
        }
    }
    return out;
}

std::string RoundTrippableEuc(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (b != 0 && b < 0x80) {
            out += text[i];
        } else if (b >= 0xA1 && b <= 0xFE && next >= 0xA1 && next <= 0xFE) {
            out.append(text.substr(i, 2));
            ++i;
        }
    }
    return out;
}

std::string_view UpToZero(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// The in-place forms in a buffer of exactly `capacity` bytes (the sanitizer sees any write
// past it) give what the string forms give for the text the buffer holds.
void CheckInPlace(std::string_view text, std::size_t capacity) {
    const std::string_view held = UpToZero(text.substr(0, capacity - 1));
    std::vector<char> buffer(capacity, '\0');
    std::memcpy(buffer.data(), held.data(), held.size());
    const std::size_t eucLength = ToEucInPlace(buffer.data(), capacity);
    const std::string euc = ToEuc(held, capacity);
    FUZZ_CHECK(eucLength == euc.size());
    FUZZ_CHECK(std::string_view(buffer.data(), eucLength) == euc);
    FUZZ_CHECK(buffer[eucLength] == '\0');

    std::fill(buffer.begin(), buffer.end(), '\0');
    std::memcpy(buffer.data(), held.data(), held.size());
    const std::size_t sjisLength = ToShiftJisInPlace(buffer.data(), capacity);
    FUZZ_CHECK(sjisLength == held.size());
    FUZZ_CHECK(std::string_view(buffer.data(), sjisLength) == ToShiftJis(held));
    FUZZ_CHECK(buffer[capacity - 1] == '\0');
}

}  // namespace
}  // namespace tessel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessel;
    using namespace tessel::fuzz;
    const std::string_view text = AsText(data, size);

    for (const std::size_t limit :
         {std::size_t{3}, std::size_t{8}, std::size_t{64}, std::size_t{256}, std::size_t{4352}}) {
        const std::string euc = ToEuc(text, limit);
        FUZZ_CHECK(euc.size() <= limit - 2);
        FUZZ_CHECK(euc.find('\0') == std::string::npos);
        FUZZ_CHECK(ToEuc(text, limit) == euc);
        CheckInPlace(text, limit);
    }

    const std::string sjis = ToShiftJis(text);
    FUZZ_CHECK(sjis.size() == UpToZero(text).size());

    const std::string plain = RoundTrippableShiftJis(text);
    if (plain.size() + 3 <= 4352) {
        FUZZ_CHECK(ToShiftJis(ToEuc(plain, 4352)) == plain);
    }
    const std::string wire = RoundTrippableEuc(text);
    if (wire.size() + 3 <= 4352) {
        FUZZ_CHECK(ToEuc(ToShiftJis(wire), 4352) == wire);
    }
    return 0;
}
