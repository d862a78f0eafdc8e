// SPDX-License-Identifier: MIT

#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/ProtocolMessage.h"

namespace tessel {

// Frames the server's byte stream into messages, incrementally: bytes are fed as they arrive
// and complete messages are taken out, so the same messages come out whether the stream
// arrives a byte at a time or all at once, and the connection thread never blocks waiting.
//
// A message is a greeting line ("TesseraRELAY ..."), "toClient", the command line, header
// lines up to an empty line, and a body of the announced length (more than 4096 is read as
// 4095). A first line that is not a greeting is dropped and the next line starts over. Header
// lines are cut at 4350 bytes; "\r\n" is folded to "\n". When the stream falls silent for the
// silence period, or ends, in the middle of a message, the message ends with what has
// arrived: a header without its end is taken with no body, a short body is kept but its length
// becomes 0.
class MessageReader {
  public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::size_t kLineLimit = kBodySize - 2;
    static constexpr std::int32_t kMaxBody = 4096;
    static constexpr std::int32_t kCappedBody = 4095;
    static constexpr Clock::duration kSilence = std::chrono::seconds(30);

    explicit MessageReader(Clock::duration silence = kSilence) : silence_(silence) {}

    void Feed(std::string_view bytes, Clock::time_point now);

    // The stream has ended: a message in progress is finished with what has arrived.
    void EndOfStream() { ended_ = true; }

    // Takes the next finished message: the header fields and the body as they arrived, before
    // any character conversion. False when none is finished yet.
    bool Next(ProtocolMessage& out, Clock::time_point now);

    // When a message in progress will be ended by silence, if one is in progress.
    std::optional<Clock::time_point> Deadline() const;

    // The client stopped reading for a while (its display was behind): the silence of a
    // message in progress counts from `now`, not from its last byte.
    void Resumed(Clock::time_point now) { lastByte_ = now; }

    // Forgets everything, for a new connection.
    void Reset();

  private:
    enum class State { Greeting, ToClient, CommandLine, HeaderLines, Body };

    bool InProgress() const { return state_ != State::Greeting || Available() > 0; }
    std::size_t Available() const { return buffer_.size() - consumed_; }
    std::optional<std::string_view> TakeLine(bool flush);
    static void ReadHeaderLine(std::string_view line, ProtocolMessage& message);
    static void CapBody(ProtocolMessage& message);
    bool TakeWholeMessage(ProtocolMessage& out);
    bool Finish(ProtocolMessage& out, bool complete);
    bool Finish(ProtocolMessage& out, bool complete, std::string_view body);

    Clock::duration silence_;
    std::string buffer_;
    std::size_t consumed_ = 0;
    State state_ = State::Greeting;
    ProtocolMessage message_;
    std::string body_;
    std::string line_;
    Clock::time_point lastByte_{};
    bool ended_ = false;
};

}  // namespace tessel
