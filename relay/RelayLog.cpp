// SPDX-License-Identifier: MIT

#include "relay/RelayLog.h"

#include <cstdio>

#include "protocol/Charset.h"

namespace tessel::relay {

namespace {

void AppendEscaped(std::string& out, unsigned char b) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", b);
    out += hex;
}

// C2 80 to C2 9F: a C1 control once the log is shown on a UTF-8 terminal (C2 9B reads as
// CSI there), whatever the bytes meant as Shift-JIS.
bool Utf8C1At(std::string_view text, std::size_t pos) {
    if (pos + 1 >= text.size() || static_cast<unsigned char>(text[pos]) != 0xC2) {
        return false;
    }
    const auto next = static_cast<unsigned char>(text[pos + 1]);
    return next >= 0x80 && next <= 0x9F;
}

}  // namespace

std::string LogText(std::string_view wire, std::size_t limit) {
    const std::string sjis = ToShiftJis(wire);
    std::string out;
    for (std::size_t i = 0; i < sjis.size(); ++i) {
        if (out.size() >= limit) {
            out += "...";
            break;
        }
        const auto b = static_cast<unsigned char>(sjis[i]);
        if (b < 0x20 || b == 0x7F) {
            AppendEscaped(out, b);
        } else if (Utf8C1At(sjis, i)) {
            AppendEscaped(out, b);
            AppendEscaped(out, static_cast<unsigned char>(sjis[i + 1]));
            ++i;
        } else if (ShiftJisCharLength(sjis, i) == 2 && Utf8C1At(sjis, i + 1)) {
            // A pair whose trail byte starts a C1 control: the lead goes alone, escaped, and
            // the control is escaped on the next step.
            AppendEscaped(out, b);
        } else if (ShiftJisCharLength(sjis, i) == 2) {
            // A pair stays whole; a lead byte before a control byte does not shield it.
            out += sjis.substr(i, 2);
            ++i;
        } else {
            out += sjis[i];
        }
    }
    return out;
}

bool LogRateLimit::Allow(Clock::time_point now, int& held) {
    if (used_ == 0 || now - windowStart_ >= window_) {
        windowStart_ = now;
        used_ = 0;
    }
    if (used_ >= burst_) {
        ++held_;
        return false;
    }
    ++used_;
    held = held_;
    held_ = 0;
    return true;
}

}  // namespace tessel::relay
