// SPDX-License-Identifier: MIT

#include "term/TermCodec.h"

#include "protocol/Charset.h"

#include <algorithm>
#include <cerrno>

namespace tessel {
namespace {

const iconv_t kInvalid = reinterpret_cast<iconv_t>(-1);

}  // namespace

TermCodec::TermCodec()
    : toSjis_(iconv_open("CP932", "UTF-8")), toUtf8_(iconv_open("UTF-8", "CP932")) {}

TermCodec::~TermCodec() {
    if (toSjis_ != kInvalid) {
        iconv_close(toSjis_);
    }
    if (toUtf8_ != kInvalid) {
        iconv_close(toUtf8_);
    }
}

std::optional<std::string> TermCodec::ToShiftJis(std::string_view utf8) const {
    if (toSjis_ == kInvalid) {
        return std::nullopt;
    }
    iconv(toSjis_, nullptr, nullptr, nullptr, nullptr);
    std::string out(utf8.size() * 2 + 8, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    if (iconv(toSjis_, &in, &inLeft, &dst, &outLeft) == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    out.resize(out.size() - outLeft);
    return out;
}

bool TermCodec::IsAscii(std::string_view text) {
    return AsciiRunEnd(text, 0) == text.size();
}

std::string TermCodec::ToUtf8(std::string_view sjis) const {
    if (IsAscii(sjis) || toUtf8_ == kInvalid) {
        return std::string(sjis);
    }
    std::string out;
    iconv(toUtf8_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(sjis.data());
    std::size_t inLeft = sjis.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* dst = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(toUtf8_, &in, &inLeft, &dst, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out += "\xEF\xBF\xBD";  // U+FFFD for a byte that is no character
            ++in;
            --inLeft;
            iconv(toUtf8_, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

}  // namespace tessel
