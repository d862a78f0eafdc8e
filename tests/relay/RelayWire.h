// SPDX-License-Identifier: MIT

#pragma once

#include <string>
#include <string_view>

namespace tessel::relay::test {

// Requests as the client lays them out: greeting, toServer, the request line, the two
// content lines when there is a body, the ID line, an empty line, the body.
inline std::string ToServer(std::string_view line, std::string_view id = {},
                            std::string_view type = {}, std::string_view body = {}) {
    std::string out = "TesseraRELAY 0.2\ntoServer\n";
    out.append(line).append("\n");
    if (!body.empty() || !type.empty()) {
        out.append("Content-length: ").append(std::to_string(body.size())).append("\n");
        out.append("Content-type: ").append(type).append("\n");
    }
    if (!id.empty()) {
        out.append("ID: ").append(id).append("\n");
    }
    out.append("\n").append(body);
    return out;
}

// What the relay is expected to send, written out independently of the relay's writer.
inline std::string ToClient(std::string_view command, std::string_view id,
                            std::string_view type = {}, std::string_view body = {},
                            std::string_view eol = "\n") {
    std::string out;
    out.append("TesseraRELAY/0.1").append(eol).append("toClient").append(eol);
    out.append(command).append(eol);
    if (!body.empty()) {
        out.append("Content-length: ").append(std::to_string(body.size())).append(eol);
        out.append("Content-type: ").append(type).append(eol);
    }
    out.append("ID: ").append(id).append(eol).append(eol).append(body);
    return out;
}

}  // namespace tessel::relay::test
