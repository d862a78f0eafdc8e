// SPDX-License-Identifier: MIT

// Typed or macro command text (a key file from a peer can supply it) through the command text
// parser and request preparation: a request must be well formed whatever the text.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "protocol/CommandParser.h"

namespace tessel::fuzz {
namespace {

struct Prepared {
    CommandCode command = CommandCode::Other;
    std::string request;
    std::string arguments;

    friend bool operator==(const Prepared&, const Prepared&) = default;
};

Prepared Prepare(std::string_view text) {
    ResetProtocolState();
    ProtocolMessage message;
    PrepareOutgoing(message, text);
    message.ToEuc(MessageField::CommandLine);
    Prepared out;
    out.command = message.command;
    out.arguments = message.arguments.str();
    message.AssembleRequest(out.request);
    FUZZ_CHECK(message.body.data()[kBodySize - 1] == '\0');
    FUZZ_CHECK(message.commandLine.data()[kLineFieldSize - 1] == '\0');
    FUZZ_CHECK(message.id.data()[kNameFieldSize - 1] == '\0');
    return out;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// A request as a relay reads it: the fixed first lines, the request line, only the header
// lines a request has, and exactly the body its length announces.
void CheckRequest(const std::string& request, bool oneLine) {
    if (request.empty()) {
        return;
    }
    const std::size_t headerEnd = request.find("\n\n");
    FUZZ_CHECK(headerEnd != std::string::npos);
    FUZZ_CHECK(headerEnd + 2 <= kHeaderAreaSize);
    const auto lines = Lines(std::string_view(request).substr(0, headerEnd + 1));
    FUZZ_CHECK(lines.size() >= 4);
    FUZZ_CHECK(lines[0] == "TesseraRELAY 0.2");
    FUZZ_CHECK(lines[1] == "toServer");
    std::size_t announced = 0;
    bool hasLength = false;
    for (std::size_t i = 3; i < lines.size(); ++i) {
        if (!oneLine) {
            continue;  // text with its own line feeds is the user's to send
        }
        if (StartsWith(lines[i], "Content-length: ")) {
            hasLength = true;
            announced = std::stoul(std::string(lines[i].substr(16)));
        } else {
            FUZZ_CHECK(StartsWith(lines[i], "ID: ") || StartsWith(lines[i], "Content-type: "));
        }
    }
    const std::size_t bodySize = request.size() - headerEnd - 2;
    FUZZ_CHECK(bodySize < kBodySize);
    if (hasLength) {
        FUZZ_CHECK(announced == bodySize);
    } else if (oneLine) {
        FUZZ_CHECK(bodySize == 0);
    }
}

}  // namespace
}  // namespace tessel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessel;
    using namespace tessel::fuzz;
    const std::string_view text = AsText(data, size);
    if (text.size() > kBodySize * 2) {
        return 0;
    }

    const Prepared first = Prepare(text);
    FUZZ_CHECK(Prepare(text) == first);
    FUZZ_CHECK(first.arguments.size() < kLineFieldSize);
    if (first.command == CommandCode::None) {
        // A line that starts with a line break is the greeting alone, as the format has it
        // (the relay skips it and reads the next request whole).
        FUZZ_CHECK(first.request == "TesseraRELAY 0.2\ntoServer\n");
    } else {
        CheckRequest(first.request, text.find_first_of("\r\n") == std::string_view::npos);
    }

    if (const auto dice = ReadDiceExpression(text)) {
        FUZZ_CHECK(dice->modifier >= -999 && dice->modifier <= 999);
        FUZZ_CHECK(dice->hasModifier || dice->modifier == 0);
        FUZZ_CHECK(ReadDiceExpression(text) == dice);
    }

    // The classification alone, on a line as a server or the mailbox hands it over.
    ResetProtocolState();
    ProtocolMessage message;
    message.commandLine.assign(text);
    const CommandCode withIds = ParseCommandText(message, true);
    FUZZ_CHECK(message.commandLine.data()[kLineFieldSize - 1] == '\0');
    FUZZ_CHECK(message.arguments.data()[kLineFieldSize - 1] == '\0');
    ResetProtocolState();
    ProtocolMessage again;
    again.commandLine.assign(text);
    FUZZ_CHECK(ParseCommandText(again, true) == withIds);
    FUZZ_CHECK(again.commandLine.view() == message.commandLine.view());
    FUZZ_CHECK(again.id.view() == message.id.view());
    return 0;
}
