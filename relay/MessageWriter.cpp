#include "relay/MessageWriter.h"

#include <algorithm>
#include <cstdio>

#include "relay/RelayLimits.h"

namespace tessel::relay {

std::string ServerId(int number) {
    char text[16];
    std::snprintf(text, sizeof text, "s***%03d", std::clamp(number, 0, kMaxClientNumber));
    return text;
}

std::string MessageWriter::Write(std::string_view command, std::string_view id, ContentType type,
                                 std::string_view body) const {
    body = body.substr(0, std::min(body.size(), kMaxBodyBytes));
    std::string out;
    out.reserve(64 + command.size() + id.size() + body.size());
    out.append("TesseraRELAY/0.1").append(eol_);
    out.append("toClient").append(eol_);
    out.append(command).append(eol_);
    if (!body.empty()) {
        out.append("Content-length: ").append(std::to_string(body.size())).append(eol_);
        out.append("Content-type: ").append(ContentTypeText(type)).append(eol_);
    }
    out.append("ID: ").append(id).append(eol_);
    out.append(eol_);
    out.append(body);
    return out;
}

}  // namespace tessel::relay
