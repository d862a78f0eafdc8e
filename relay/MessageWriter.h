// SPDX-License-Identifier: MIT

#pragma once

#include <string>
#include <string_view>

#include "protocol/ContentType.h"

namespace tessel::relay {

// The ID the relay gives messages that answer no request: "s***" and the recipient's
// number as three digits, from which the client learns its number.
std::string ServerId(int number);

// One message laid out once for all its recipients. When its ID is the server-assigned one,
// only the three digits of the number differ from one recipient to the next; they are
// written in where the copy for that recipient is made.
struct WireMessage {
    std::string bytes;
    std::size_t numberAt = std::string::npos;  // the ID's three digits; npos: the same for all

    // Appends the message as client `number` gets it.
    void AppendFor(int number, std::string& out) const;
    std::string For(int number) const;
};

// Writes `number` (0 to 999) as three digits at `digits`.
void PutNumber(char* digits, int number);

// Lays out one message to a client: the greeting, "toClient", the command line, the two
// content lines when there is a body, the ID line, an empty line and the body. Header lines
// end in "\n", or "\r\n" when asked; the body goes out byte for byte, since the client
// reads it by count and splits its lines at line feeds itself.
class MessageWriter {
  public:
    explicit MessageWriter(bool crlf = false) : eol_(crlf ? "\r\n" : "\n") {}

    // A body over the protocol's 4096 bytes is cut there: the client would take the rest
    // for the next header.
    std::string Write(std::string_view command, std::string_view id, ContentType type = {},
                      std::string_view body = {}) const;

    // The same message for several recipients under `id` unchanged.
    WireMessage WriteShared(std::string_view command, std::string_view id, ContentType type = {},
                            std::string_view body = {}) const;

    // The same message for several recipients, each under its own server-assigned ID.
    WireMessage WriteForEach(std::string_view command, ContentType type = {},
                             std::string_view body = {}) const;

  private:
    std::string Layout(std::string_view command, std::string_view id, ContentType type,
                       std::string_view body, std::size_t* idAt) const;

    std::string_view eol_;
};

}  // namespace tessel::relay
