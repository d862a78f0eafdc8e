// SPDX-License-Identifier: MIT

#include "platform/ShiftJisDecoder.h"

#include <array>
#include <cerrno>

namespace tessel {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool AllAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

}  // namespace

ShiftJisDecoder::ShiftJisDecoder() : cd_(::iconv_open("UTF-8", "CP932")) {}

ShiftJisDecoder::~ShiftJisDecoder() {
    if (cd_ != kNoConverter) {
        ::iconv_close(cd_);
    }
}

void ShiftJisDecoder::AppendUtf8(std::string& out, std::string_view sjis) {
    // Below 0x80 code page 932 is ASCII: most chat needs no conversion at all.
    if (AllAscii(sjis)) {
        out.append(sjis);
        return;
    }
    if (cd_ == kNoConverter) {
        for (const char c : sjis) {
            if (static_cast<unsigned char>(c) < 0x80) {
                out += c;
            } else {
                out.append(kReplacement);
            }
        }
        return;
    }
    ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(sjis.data());  // iconv's interface; it does not write here
    std::size_t inLeft = sjis.size();
    std::array<char, 4096> buffer{};
    while (inLeft > 0) {
        char* next = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t result = ::iconv(cd_, &in, &inLeft, &next, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // An invalid or cut-off sequence: one byte is given up and the walk goes on, so a
            // broken pair never hides the text after it.
            out.append(kReplacement);
            ++in;
            --inLeft;
            ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
    }
}

}  // namespace tessel
