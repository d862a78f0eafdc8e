// SPDX-License-Identifier: MIT

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/CommandCode.h"
#include "protocol/ContentType.h"
#include "protocol/FixedText.h"
#include "protocol/MessageId.h"
#include "protocol/ProtocolState.h"

namespace tessel {

// The socket's own address, which an OPEN request carries. The connection supplies it;
// without one, OPEN carries an empty address and port 0, as before any connect.
class LocalEndpoint {
  public:
    virtual ~LocalEndpoint() = default;
    virtual std::string LocalAddress() const = 0;
    virtual std::int32_t LocalPort() const = 0;
};

inline constexpr std::string_view kProtocolVersion = "0.2";
// Header lines, request line and ID line must stay below this many bytes together.
inline constexpr std::size_t kHeaderAreaSize = kLineFieldSize;
// The most of one message's body a client takes in; a longer announced length is cut.
inline constexpr std::size_t kMaxReceivedBody = 4096;

// Which field an in-place conversion works on.
enum class MessageField { Body = 0, CommandLine = 1 };

// One message of the relay protocol, reused for every message in both directions on one
// connection. The fields are plain data, as both the reader and the request builder fill
// them step by step.
class ProtocolMessage {
  public:
    explicit ProtocolMessage(const LocalEndpoint* endpoint = nullptr) : endpoint_(endpoint) {}
    virtual ~ProtocolMessage() = default;
    ProtocolMessage(const ProtocolMessage&) = default;
    ProtocolMessage& operator=(const ProtocolMessage&) = default;

    CommandCode command = CommandCode::Other;
    FixedText<kLineFieldSize> arguments;
    FixedText<kLineFieldSize> commandLine;
    std::int32_t contentLength = 0;
    ContentType contentType = ContentType::Other;
    MessageIdText id;
    std::int32_t rollSlot = 0;
    FixedText<kBodySize> body;

    void SetLocalEndpoint(const LocalEndpoint* endpoint) { endpoint_ = endpoint; }

    // Stores `text` (cut to 255 bytes) as the command line, clears the ID, classifies the
    // line with ID building on, and stores the content type and length.
    CommandCode SetCommandLine(std::string_view text, ContentType type, std::int32_t length);

    // Stores a command line the server sent, like SetCommandLine with no content, but
    // classified by its first word alone: a server's line begins with a protocol word, and the
    // shorthands of typed text (dice expressions, re-rolls, fake rolls) are the user's, never
    // to be read into what a server says.
    CommandCode SetReceivedLine(std::string_view text);

    // Classifies the command line with ID building on; stores and returns the code.
    CommandCode Classify();

    // Writes the request header into `out` and returns the command. When the header would
    // not fit its 256-byte area, `out` is left empty and nothing may be sent.
    CommandCode BuildHeader(std::string& out);

    // A request of a header alone (no body): `commandText` as the command line, converted
    // for the wire, under `id` when one is given (an answer keeps the ID it answers) and
    // otherwise under the ID the line's classification made. Empty when the header does not
    // fit its area.
    std::string HeaderOnlyRequest(std::string_view commandText, std::string_view id = {});

    // The request as sent: the header, followed by the body for requests that carry one.
    // Returns the number of bytes to send; 0 when there is nothing to send.
    std::size_t AssembleRequest(std::string& out);

    // In-place conversions of the body or the command line, within the field's size.
    void ToEuc(MessageField which);
    void ToShiftJis(MessageField which);

    // Turns every "\n" of the body into "\r\n", within the body's size; returns the length.
    std::size_t ExpandLineFeeds();

  private:
    const LocalEndpoint* endpoint_ = nullptr;
};

}  // namespace tessel
