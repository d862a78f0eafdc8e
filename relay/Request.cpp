// SPDX-License-Identifier: MIT

#include "relay/Request.h"

#include <algorithm>
#include <cstdio>

#include "protocol/Words.h"
#include "relay/RelayLimits.h"

namespace tessel::relay {
namespace {

Request Malformed(Request request, ResponseCode code, std::string problem) {
    request.malformed = code;
    request.problem = std::move(problem);
    return request;
}

}  // namespace

std::string ResponseLine(ResponseCode code) {
    char text[16];
    std::snprintf(text, sizeof text, "RESPONSE %03d", static_cast<int>(code));
    return text;
}

Request ParseRequest(FramedMessage message) {
    Request request;
    request.body = std::move(message.body);
    std::vector<std::string>& header = message.header;

    // The ID is taken first so that even a refusal can answer under the request's own ID.
    for (std::size_t i = 3; i < header.size(); ++i) {
        const std::string& line = header[i];
        switch (WordCode(line)) {
            case CommandCode::IdLine:
                request.id = std::string(WordAt(line, 1));
                break;
            case CommandCode::ContentTypeLine:
                request.contentType = ContentTypeFromText(WordAt(line, 1));
                break;
            default:
                break;  // Content-length was used for framing; Date:, Client: and others say
                        // nothing
        }
    }
    if (header.size() >= 3) {
        request.line = header[2];
        request.code = WordCode(request.line);
    }

    // Zero bytes would let a word end early where the client's C strings would: a handle
    // could be cut silently. Nothing legitimate carries them in a header.
    const bool hasZero = std::any_of(header.begin(), header.end(), [](const std::string& line) {
        return line.find('\0') != std::string::npos;
    });
    if (request.id.size() > kMaxNameBytes || hasZero) {
        request.id.clear();
        return Malformed(std::move(request), ResponseCode::BadParameter,
                         hasZero ? "zero byte in the header" : "ID longer than 63 bytes");
    }
    if (header.size() < 2 || WordCode(header[1]) != CommandCode::ToServer) {
        return Malformed(std::move(request), ResponseCode::BadCommand,
                         "second header line is not toServer");
    }
    if (header.size() < 3) {
        return Malformed(std::move(request), ResponseCode::BadCommand, "no request line");
    }
    if (request.line.size() > kMaxRequestLineBytes) {
        return Malformed(std::move(request), ResponseCode::BadParameter,
                         "request line longer than 255 bytes");
    }
    return request;
}

Request NoiseRequest(std::string_view reason) {
    Request request;
    request.malformed = ResponseCode::BadCommand;
    request.problem = std::string(reason);
    return request;
}

}  // namespace tessel::relay
