// SPDX-License-Identifier: MIT

#include "relay/MessageWriter.h"

#include <algorithm>

#include "relay/RelayLimits.h"

namespace tessel::relay {
namespace {

constexpr std::string_view kServerIdPrefix = "s***";

}  // namespace

void PutNumber(char* digits, int number) {
    const int n = std::clamp(number, 0, kMaxClientNumber);
    digits[0] = static_cast<char>('0' + n / 100);
    digits[1] = static_cast<char>('0' + n / 10 % 10);
    digits[2] = static_cast<char>('0' + n % 10);
}

std::string ServerId(int number) {
    std::string id(kServerIdPrefix);
    id.append(3, '0');
    PutNumber(id.data() + kServerIdPrefix.size(), number);
    return id;
}

void WireMessage::AppendFor(int number, std::string& out) const {
    const std::size_t start = out.size();
    out.append(bytes);
    if (numberAt != std::string::npos) {
        PutNumber(out.data() + start + numberAt, number);
    }
}

std::string WireMessage::For(int number) const {
    std::string out;
    AppendFor(number, out);
    return out;
}

std::string MessageWriter::Write(std::string_view command, std::string_view id, ContentType type,
                                 std::string_view body) const {
    return Layout(command, id, type, body, nullptr);
}

WireMessage MessageWriter::WriteShared(std::string_view command, std::string_view id,
                                       ContentType type, std::string_view body) const {
    return {Layout(command, id, type, body, nullptr)};
}

WireMessage MessageWriter::WriteForEach(std::string_view command, ContentType type,
                                        std::string_view body) const {
    WireMessage message;
    std::size_t idAt = 0;
    message.bytes = Layout(command, ServerId(0), type, body, &idAt);
    message.numberAt = idAt + kServerIdPrefix.size();
    return message;
}

std::string MessageWriter::Layout(std::string_view command, std::string_view id, ContentType type,
                                  std::string_view body, std::size_t* idAt) const {
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
    out.append("ID: ");
    if (idAt != nullptr) {
        *idAt = out.size();
    }
    out.append(id).append(eol_);
    out.append(eol_);
    out.append(body);
    return out;
}

}  // namespace tessel::relay
