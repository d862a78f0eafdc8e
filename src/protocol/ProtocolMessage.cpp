// SPDX-License-Identifier: MIT

#include "protocol/ProtocolMessage.h"

#include <algorithm>

#include "protocol/Charset.h"
#include "protocol/CommandParser.h"
#include "protocol/Words.h"

namespace tessel {
namespace {

void AppendContentLines(std::string& out, const ProtocolMessage& message) {
    out += "Content-length: ";
    out += std::to_string(message.contentLength);
    out += '\n';
    out += "Content-type: ";
    out += ContentTypeText(message.contentType);
    out += '\n';
}

}  // namespace

CommandCode ProtocolMessage::SetCommandLine(std::string_view text, ContentType type,
                                            std::int32_t length) {
    commandLine.assign(TextOf(text));
    id.clear();
    Classify();
    contentType = type;
    contentLength = length;
    return command;
}

CommandCode ProtocolMessage::SetReceivedLine(std::string_view text) {
    const std::string_view line =
        TextOf(text).substr(0, decltype(commandLine)::kMaxLength);  // what the field keeps
    commandLine.assign(line);
    id.clear();
    arguments.assign({});
    rollSlot = 0;
    contentType = ContentType::Other;
    contentLength = 0;
    command = !line.empty() && (line.front() == '\n' || line.front() == '\r') ? CommandCode::None
                                                                              : WordCode(line);
    return command;
}

CommandCode ProtocolMessage::Classify() {
    command = ParseCommandText(*this, true);
    return command;
}

CommandCode ProtocolMessage::BuildHeader(std::string& out) {
    out = "TesseraRELAY ";
    out += kProtocolVersion;
    out += "\ntoServer\n";

    command = ParseCommandText(*this, false);
    if (!IsRequestCode(command)) {
        return command;
    }

    const std::string_view args = arguments.view();
    switch (command) {
        case CommandCode::List:
            out += "LIST\n";
            break;
        case CommandCode::Open: {
            const std::string address = endpoint_ ? endpoint_->LocalAddress() : std::string();
            const std::int32_t port = endpoint_ ? endpoint_->LocalPort() : 0;
            out += "OPEN ";
            out += address;
            out += ':';
            out += std::to_string(port);
            out += ' ';
            out += args;
            out += '\n';
            break;
        }
        case CommandCode::Close:
            out += "CLOSE\n";
            break;
        case CommandCode::GetUser:
            out += "GETUSER\n";
            break;
        case CommandCode::Response:
            out += "RESPONSE 000 ";
            out += args;
            out += '\n';
            break;
        default:
            // MODE, ROLL, SENDMESG, JOIN, REROLL, FAKEROLL and OPERATE: the word and arguments.
            for (const CommandWord& entry : kCommandWords) {
                if (entry.code == command) {
                    out += entry.word;
                    break;
                }
            }
            out += ' ';
            out += args;
            out += '\n';
            if (CarriesBody(command)) {
                AppendContentLines(out, *this);
            }
            break;
    }

    out += "ID: ";
    out += id.empty() ? GeneralId() : id.str();
    out += "\n\n";

    if (out.size() >= kHeaderAreaSize) {
        // The format has no continuation lines: a request that does not fit is refused whole.
        out.clear();
        return command;
    }

    if (command == CommandCode::Open) {
        SetPendingHandle(args);
    } else if (command == CommandCode::Join) {
        SetPendingChannel(args);
    }
    return command;
}

std::string ProtocolMessage::HeaderOnlyRequest(std::string_view commandText, std::string_view id) {
    SetCommandLine(commandText, ContentType::Other, 0);
    ToEuc(MessageField::CommandLine);
    if (!id.empty()) {
        this->id.assign(id);
    }
    std::string header;
    BuildHeader(header);
    return header;
}

std::size_t ProtocolMessage::AssembleRequest(std::string& out) {
    out.clear();
    std::string header;
    const CommandCode code = BuildHeader(header);
    if (header.empty() || (code != CommandCode::None && !IsRequestCode(code))) {
        return 0;
    }
    out = header;
    if (CarriesBody(code)) {
        const auto length = static_cast<std::size_t>(std::max<std::int32_t>(contentLength, 0));
        out += body.bytes(length);
    }
    return out.size();
}

void ProtocolMessage::ToEuc(MessageField which) {
    if (which == MessageField::Body) {
        ToEucInPlace(body.data(), kBodySize);
    } else {
        ToEucInPlace(commandLine.data(), kLineFieldSize);
    }
}

void ProtocolMessage::ToShiftJis(MessageField which) {
    if (which == MessageField::Body) {
        ToShiftJisInPlace(body.data(), kBodySize);
    } else {
        ToShiftJisInPlace(commandLine.data(), kLineFieldSize);
    }
}

std::size_t ProtocolMessage::ExpandLineFeeds() {
    // Stop once this much is written, so a final "\r\n" pair still fits with the terminator.
    constexpr std::size_t kStop = kBodySize - 3;
    const std::string_view text = body.view();
    if (text.size() <= kStop && text.find('\n') == std::string_view::npos) {
        return text.size();  // nothing to expand, as for most chat lines
    }
    const std::string source = body.str();
    std::string expanded;
    expanded.reserve(std::min(source.size() * 2, kBodySize));
    for (std::size_t i = 0; i < source.size() && expanded.size() < kStop;) {
        const std::size_t length = ShiftJisCharLength(source, i);
        if (length == 2 && expanded.size() + 2 > kStop) {
            break;  // never split a two-byte character at the cut
        }
        if (source[i] == '\n') {
            expanded += '\r';  // a line feed is never part of a character
        }
        expanded.append(source, i, length);
        i += length;
    }
    body.assign(expanded);
    return expanded.size();
}

}  // namespace tessel
