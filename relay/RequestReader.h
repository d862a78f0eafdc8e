// SPDX-License-Identifier: MIT

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessel::relay {

// One message as it was framed from a client's stream: its header lines, line endings
// removed, and exactly the body its Content-length announced.
struct FramedMessage {
    std::vector<std::string> header;
    std::string body;
};

enum class ReaderEventKind {
    Message,  // a whole message
    Noise,    // text where a message should begin; reported once per run of such lines
    Broken,   // the stream cannot be framed any more; nothing after it is read
};

struct ReaderEvent {
    ReaderEventKind kind = ReaderEventKind::Message;
    FramedMessage message;  // for Message
    std::string reason;     // for Noise and Broken, to log
};

// Incremental framing of the requests one client sends: a greeting line, header lines up to
// an empty line, then the announced body. Lines may end in "\n" or "\r\n". Bytes can arrive
// in any pieces; feeding a stream one byte at a time or all at once gives the same events.
// What it holds is capped (one header line, the lines of one header, one body), so a client
// can never make it buffer more than a few kilobytes.
class RequestReader {
  public:
    // Takes bytes from the front of `input` until one event is complete (and returns it) or
    // `input` is used up (and returns nothing). After a Broken event every byte is swallowed.
    std::optional<ReaderEvent> Next(std::string_view& input);

    bool broken() const { return broken_; }
    // True between messages, with no partial line or body held.
    bool idle() const { return state_ == State::Seeking && line_.empty(); }

  private:
    enum class State { Seeking, Header, Body };

    std::optional<ReaderEvent> TakeLine(std::string line);
    std::optional<ReaderEvent> EndOfHeader();
    ReaderEvent Break(std::string reason);
    ReaderEvent Complete();

    State state_ = State::Seeking;
    bool inNoise_ = false;
    bool broken_ = false;
    std::string line_;
    FramedMessage current_;
    std::size_t bodyRemaining_ = 0;
};

}  // namespace tessel::relay
