// SPDX-License-Identifier: MIT

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "protocol/CommandCode.h"
#include "protocol/ContentType.h"
#include "relay/RequestReader.h"

namespace tessel::relay {

// The three-digit codes of the relay's RESPONSE messages.
enum class ResponseCode {
    Ok = 0,              // done, nothing to report
    Accepted = 100,      // OPEN and JOIN acknowledged
    BadCommand = 101,    // not a request this relay serves
    BadParameter = 102,  // a request with arguments or a body it cannot take
    NoHandle = 200,      // needs OPEN first
    NoChannel = 201,     // needs JOIN first
    HandleTaken = 202,   // another connection has that handle
    NotAccepted = 300,   // understood, but not served here
};

// "RESPONSE" followed by the code as three digits.
std::string ResponseLine(ResponseCode code);

// One request taken apart: the request line, the message ID, the content type and the body.
// `malformed` is set when the message cannot be served as it stands; the relay then answers
// with that code and does nothing else.
struct Request {
    CommandCode code = CommandCode::Other;
    std::string line;  // the request line, without its line ending
    std::string id;    // word 1 of the ID: line; empty when there is none or it was refused
    ContentType contentType = ContentType::Other;
    std::string body;
    std::optional<ResponseCode> malformed;
    std::string problem;  // why it is malformed, for the log
    // OPEN: the group has the handle registered to a client of another relay.
    bool handleTakenElsewhere = false;
};

// Header layout: greeting, "toServer", the request line, then header lines of which ID: and
// Content-type: are kept (the length was already used to frame the body).
Request ParseRequest(FramedMessage message);

// Text found where a message should begin.
Request NoiseRequest(std::string_view reason);

}  // namespace tessel::relay
