// SPDX-License-Identifier: MIT

#include "session/OutgoingRequests.h"

#include <optional>

#include "connection/ConnectionState.h"
#include "protocol/CommandParser.h"
#include "protocol/Words.h"
#include "session/SessionState.h"
#include "session/SessionTexts.h"

namespace tessel {
namespace {

struct ModeEcho {
    std::string_view arguments;
    std::optional<bool> openDice;  // none: unchanged
    std::string_view text;
};

constexpr ModeEcho kModeEchoes[] = {
    {"-o", false, texts::kSecretDiceMode},
    {"+o", true, texts::kOpenDiceMode},
    {"+m", std::nullopt, texts::kMasterMode},
    {"-m", std::nullopt, texts::kPlayerMode},
};

}  // namespace

void OutgoingRequests::Echo(std::string_view text) {
    PostSystemLine(display_, std::string(text));
}

void OutgoingRequests::Send(std::string_view request) {
    // A request while not connected fails silently; one dropped because the server has
    // stopped reading is the user's line lost, and the user is told.
    if (socket_.Send(request) == SendResult::QueueFull) {
        Echo(texts::kOutputQueueFull);
    }
}

void OutgoingRequests::SendSimple(std::string_view commandText) {
    const std::string header = socket_.message().HeaderOnlyRequest(commandText);
    if (header.empty()) {
        Echo(texts::kRequestTooLong);
        return;
    }
    Send(header);
}

void OutgoingRequests::SendOpen(std::string_view handle) {
    SendSimple("OPEN " + std::string(handle) + "\n");
}

void OutgoingRequests::SendJoin(std::string_view channel) {
    // The "#" is added when missing and never doubled.
    SendSimple((channel.starts_with('#') ? "JOIN " : "JOIN #") + std::string(channel) + "\n");
}

void OutgoingRequests::SendCommand(std::string_view text) {
    ProtocolMessage& message = socket_.message();
    PrepareOutgoing(message, text);
    message.ToEuc(MessageField::CommandLine);
    std::string request;
    if (message.AssembleRequest(request) > 0) {
        Send(request);
    } else if (IsRequestCode(message.command)) {
        // Only a request whose header would not fit its area is left unbuilt; say so rather
        // than lose the user's line without a trace.
        Echo(texts::kRequestTooLong);
        return;
    }

    switch (message.command) {
        case CommandCode::Close:
            socket_.StopReconnect();
            if (IsConnected() || ConnectPending()) {
                socket_.Disconnect();
            }
            break;
        case CommandCode::Mode:
            for (const ModeEcho& echo : kModeEchoes) {
                if (message.arguments.view() == echo.arguments) {
                    if (echo.openDice) {
                        SetOpenDice(*echo.openDice);
                    }
                    Echo(echo.text);
                    break;
                }
            }
            break;
        case CommandCode::FakeRoll:
            Echo(texts::kFakeRollEcho);
            break;
        case CommandCode::Cmd:
            HandleLocalCommand(message.commandLine.view());
            break;
        default:
            break;
    }
}

void OutgoingRequests::HandleLocalCommand(std::string_view commandLine) {
    if (WordAt(commandLine, 1) == "QUIT") {
        frontEnd_.Quit();
    }
}

void OutgoingRequests::SendData(std::string_view block) {
    const std::size_t feed = block.find('\n');
    if (feed == std::string_view::npos) {
        return;  // no command line: nothing that could be sent
    }
    const std::string_view body = block.substr(feed + 1);
    ProtocolMessage& message = socket_.message();
    message.SetCommandLine(block.substr(0, feed), ContentType::Binary,
                           static_cast<std::int32_t>(body.size()));
    message.body.assignBytes(body);
    message.ToEuc(MessageField::CommandLine);
    std::string request;
    message.BuildHeader(request);
    if (request.empty()) {
        Echo(texts::kRequestTooLong);
        return;
    }
    request += body;
    Send(request);
}

}  // namespace tessel
