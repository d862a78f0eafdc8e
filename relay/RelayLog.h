// SPDX-License-Identifier: MIT

#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace tessel::relay {

// Where the relay's log lines go: one call per line, without a line ending.
using LogSink = std::function<void(std::string_view line)>;

// Wire text (EUC-JP) made fit for one log line: converted to Shift-JIS, the program's own
// text encoding; control bytes (below 0x20, 0x7F, and C2 80 to C2 9F, the C1 controls of a
// UTF-8 terminal) shown as \xNN so that a client cannot forge or colour log lines; cut
// to about `limit` bytes, never inside a character.
std::string LogText(std::string_view wire, std::size_t limit = 80);

// Lines about one connection, at most `burst` of them in each `window`, so that a client
// sending junk as fast as it can cannot fill the log. What is held back is counted and told
// with the next line that goes out.
class LogRateLimit {
  public:
    using Clock = std::chrono::steady_clock;

    LogRateLimit(int burst, Clock::duration window) : burst_(burst), window_(window) {}

    // True when a line may go out at `now`; it then takes the count of lines held back
    // before it (`held`), which starts again from 0.
    bool Allow(Clock::time_point now, int& held);
    // Lines held back since the last one that went out.
    int held() const { return held_; }

  private:
    int burst_;
    Clock::duration window_;
    Clock::time_point windowStart_{};
    int used_ = 0;
    int held_ = 0;
};

}  // namespace tessel::relay
