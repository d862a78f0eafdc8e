// SPDX-License-Identifier: MIT

#include "session/Dispatcher.h"

#include "protocol/Charset.h"
#include "protocol/MessageId.h"
#include "protocol/TextFormat.h"
#include "protocol/Words.h"
#include "session/FileExchange.h"
#include "session/SessionTexts.h"

namespace tessel {
namespace {

// Client numbers have three digits in every ID the client makes; a larger one would shift the
// modifier and note out of the places where every reader looks for them.
constexpr std::int32_t kMaxClientNumber = 999;

struct ResponseText {
    std::string_view code;
    std::string_view text;
};

constexpr ResponseText kResponseErrors[] = {
    {"RESPONSE 101", texts::kError101}, {"RESPONSE 102", texts::kError102},
    {"RESPONSE 103", texts::kError103}, {"RESPONSE 200", texts::kError200},
    {"RESPONSE 201", texts::kError201}, {"RESPONSE 202", texts::kError202},
    {"RESPONSE 300", texts::kError300}, {"RESPONSE 301", texts::kError301},
};

// The modifier and note a roll's ID carries, when the ID is one of ours: a sign and three
// digits at the modifier's position, and "x" with the note (EUC-JP) at the note's.
int ModifierOfId(std::string_view id) {
    if (id.size() > kModifierPosition && id[0] == 'm' &&
        (id[kModifierPosition] == '+' || id[kModifierPosition] == '-')) {
        return ReadDecimal(id.substr(kModifierPosition, kModifierLength));
    }
    return 0;
}

std::string NoteOfId(std::string_view id) {
    if (id.size() > kNotePosition && id[0] == 'm' && id[kNotePosition] == 'x') {
        return ToShiftJis(id.substr(kNotePosition + 1));
    }
    return {};
}

}  // namespace

std::string GetLine(std::string_view text, int n) {
    std::size_t start = 0;
    for (int i = 1; i < n; ++i) {
        const std::size_t feed = text.find('\n', start);
        if (feed == std::string_view::npos) {
            return {};
        }
        start = feed + 1;
    }
    const std::size_t feed = text.find('\n', start);
    if (start >= text.size() || feed == std::string_view::npos) {
        return {};
    }
    std::string line(text.substr(start, feed - start));
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    line += '\n';
    return line;
}

UserTable::Rows ParseUserTable(std::string_view body) {
    UserTable::Rows rows{};
    for (std::size_t i = 0; i < UserTable::kRows; ++i) {
        const std::string line = GetLine(body, static_cast<int>(i) + 1);
        if (line.starts_with("No ent")) {
            break;
        }
        rows[i].handle.assign(WordAt(line, 0));
        rows[i].channel.assign(WordAt(line, 1));
        rows[i].address.assign(WordAt(line, 2));
        rows[i].attribute = static_cast<std::uint8_t>(ReadDecimal(WordAt(line, 3)) & 0xFF);
    }
    return rows;
}

std::string UserTableNotices(const UserTable::Rows& before, const UserTable::Rows& after,
                             std::string_view ownHandle, std::string_view ownChannel) {
    std::string notices;
    for (const UserEntry& now : after) {
        const std::string_view handle = now.handle.view();
        if (handle.empty() || handle == ownHandle) {
            continue;  // the client never announces itself
        }
        const std::string_view channel = now.channel.view();
        bool seen = false;
        for (const UserEntry& old : before) {
            if (old.handle.empty() || old.address.view() != now.address.view()) {
                continue;
            }
            seen = true;
            const std::string_view oldChannel = old.channel.view();
            if (oldChannel != channel) {
                if (oldChannel == ownChannel) {
                    notices += FillText(texts::kLeftChannel, {handle, oldChannel});
                }
                if (channel == ownChannel) {
                    notices += FillText(texts::kEnteredChannel, {handle, channel});
                }
            } else if (old.handle.view() != handle) {
                if (channel == ownChannel) {
                    notices += FillText(texts::kRenamed, {old.handle.view(), handle});
                }
            } else if (old.attribute != now.attribute && channel == ownChannel) {
                if (now.attribute == 1) {
                    notices += FillText(texts::kBecameMaster, {handle});
                } else if (now.attribute == 0) {
                    notices += FillText(texts::kStoppedMaster, {handle});
                }
            }
        }
        if (!seen && channel == ownChannel) {
            notices += FillText(texts::kEnteredChannel, {handle, channel});
        }
    }
    return notices;
}

void Dispatcher::ShowSystem(std::string text) {
    PostSystemLine(services_.display, std::move(text));
}

void Dispatcher::OnMessage(ProtocolMessage& message) {
    if (message.contentLength != 0 && message.contentType != ContentType::Sjis &&
        message.contentType != ContentType::Binary) {
        message.ToShiftJis(MessageField::Body);
    }
    if (!message.commandLine.empty()) {
        message.ToShiftJis(MessageField::CommandLine);
    }
    // The reader classified the line by its first word, which is a protocol word in ASCII and
    // so the same after conversion.
    if (const std::string_view id = message.id.view(); id.starts_with("s***")) {
        const std::int32_t number = ReadDecimal(id.substr(4));
        // Nearly every message repeats the number: it is only stored when it changes.
        if (number >= 0 && number <= kMaxClientNumber && number != ClientNumber()) {
            SetClientNumber(number);
        }
    }

    switch (message.command) {
        case CommandCode::Ready:
            AnswerProbe(message);
            break;
        case CommandCode::Response:
            OnResponse(message);
            break;
        case CommandCode::Show:
            OnShow(message);
            break;
        case CommandCode::ShowMesg:
            OnShowMesg(message);
            break;
        case CommandCode::PutUser:
            OnPutUser(message);
            break;
        case CommandCode::PutChannel:
            OnPutChannel(message);
            break;
        default:
            break;  // requests echoed back, OPERATE, FAKEROLL and unknown words: nothing to do
    }
}

void Dispatcher::AnswerProbe(ProtocolMessage& message) {
    const std::string id = message.id.str();
    const std::string header = message.HeaderOnlyRequest(
        "RESPONSE 000 " + std::string(WordAt(message.commandLine.view(), 1)) + "\n", id);
    if (services_.send && !header.empty()) {
        services_.send(header);
    }
}

void Dispatcher::Acknowledged() {
    // Lines that arrived before the acknowledgement are handed over first, to be shown (and
    // logged) before the front end hears of the new name.
    services_.display.Release();
    services_.frontEnd.TitleRefresh();
    if (services_.refreshAutoLog) {
        services_.refreshAutoLog();
    }
}

void Dispatcher::OnResponse(const ProtocolMessage& message) {
    const std::string_view line = message.commandLine.view();
    const std::string_view code = line.substr(0, std::min<std::size_t>(line.size(), 12));
    if (code == "RESPONSE 100") {
        const std::string_view word = WordAt(message.body.view(), 0);
        // The log is reopened under the new name before the line is posted, so the front end
        // can only ever write the acknowledgement into the log it names.
        if (word == "OPEN") {
            SetCurrentHandle(ToShiftJis(PendingHandle()));
            if (services_.handleAnswered) {
                services_.handleAnswered(true);
            }
            Acknowledged();
            ShowSystem(" OPEN " + CurrentHandle() + "\r\n");
        }
        if (word == "JOIN") {
            SetCurrentChannel(ToShiftJis(PendingChannel()));
            Acknowledged();
            ShowSystem(" JOIN " + CurrentChannel() + "\r\n");
        }
        return;
    }
    for (const ResponseText& error : kResponseErrors) {
        if (code == error.code) {
            ShowSystem(std::string(error.text));
            if (code == "RESPONSE 202" && services_.handleAnswered) {
                services_.handleAnswered(false);
            }
            return;
        }
    }
}

void Dispatcher::OnShow(const ProtocolMessage& message) {
    const std::string_view line = message.commandLine.view();
    const std::string_view id = message.id.view();
    const std::string note = NoteOfId(id);
    DisplayItem item;
    item.kind = DisplayKind::Roll;
    item.name = std::string(WordAt(line, 3));
    item.text = std::string(message.body.view());
    item.rollInfo.count = ReadDecimal(WordAt(line, 1));
    item.rollInfo.sides = ReadDecimal(WordAt(line, 2));
    item.rollInfo.rule = ReadDecimal(WordAt(line, 4));
    item.rollInfo.parameter = ReadDecimal(WordAt(line, 5));
    item.rollInfo.modifier = ModifierOfId(id);
    item.rollInfo.note = note;
    services_.display.PostDisplayItem(std::move(item));
}

void Dispatcher::OnShowMesg(ProtocolMessage& message) {
    const std::string_view sender = WordAt(message.commandLine.view(), 1);
    if (message.contentType != ContentType::Binary) {
        const std::size_t length = message.ExpandLineFeeds();
        DisplayItem item;
        item.name = StringOf(sender);
        item.text = StringOf(message.body.bytes(length));
        services_.display.PostDisplayItem(std::move(item));
        return;
    }
    const std::string_view body =
        message.body.bytes(static_cast<std::size_t>(std::max(message.contentLength, 0)));
    const std::string_view first = body.substr(0, body.find('\n'));
    if (WordAt(first, 0) != "CC" || services_.settings == nullptr) {
        return;
    }
    const Settings& settings = *services_.settings;
    const std::string_view command = WordAt(first, 1);
    if (command == "FILESEND" && settings.GetInt(SettingKey::isrecvfile) == 1) {
        ReceiveFilePiece(sender, body, settings.GetString(SettingKey::savefiledir),
                         services_.display, services_.ownFiles);
    } else if (command == "SOUNDPLAY" && settings.GetInt(SettingKey::isrecvwave) == 1) {
        ReceiveSoundRequest(sender, body, settings.WaveDirectory(), services_.display,
                            services_.sound);
    }
}

void Dispatcher::OnPutUser(const ProtocolMessage& message) {
    const UserTable::Rows before = services_.users.Snapshot();
    const UserTable::Rows after = ParseUserTable(message.body.view());
    services_.users.Replace(after);
    services_.display.Release();  // what came before the new list is seen before it
    services_.display.PostUserListChange();
    const std::string notices = UserTableNotices(before, after, CurrentHandle(), CurrentChannel());
    if (!notices.empty()) {
        DisplayItem item;
        item.kind = DisplayKind::Chat;
        item.name = "system";
        item.systemName = 1;
        item.text = notices;
        services_.display.PostDisplayItem(std::move(item));
    }
}

void Dispatcher::OnPutChannel(ProtocolMessage& message) {
    message.ExpandLineFeeds();
    ShowSystem(std::string(texts::kChannelList) + std::string(message.body.view()) + "\r\n");
}

}  // namespace tessel
