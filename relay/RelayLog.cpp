#include "relay/RelayLog.h"

#include <cstdio>

#include "protocol/Charset.h"

namespace tessel::relay {

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
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
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
