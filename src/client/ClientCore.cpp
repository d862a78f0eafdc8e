// SPDX-License-Identifier: MIT

#include "client/ClientCore.h"

#include "connection/RequestMailbox.h"
#include "session/ClientSession.h"
#include "session/FileExchange.h"

#include <ctime>
#include <initializer_list>

namespace tessel {
namespace {

std::string ServerText(const std::string& host, std::int32_t port) {
    return host.empty() ? std::string() : host + ":" + std::to_string(port);
}

std::string FirstNonEmpty(std::initializer_list<std::string> texts) {
    for (const std::string& text : texts) {
        if (!text.empty()) {
            return text;
        }
    }
    return {};
}

}  // namespace

ClientCore::ClientCore(Settings settings, FrontEnd& frontEnd, Options options)
    : settings_(std::move(settings)),
      frontEnd_(frontEnd),
      options_(std::move(options)),
      queue_(frontEnd) {
    ConversationLog::Hooks logHooks;
    logHooks.currentNames = [] { return LogNames{CurrentChannel(), CurrentHandle()}; };
    logHooks.titleChanged = [&frontEnd] { frontEnd.TitleRefresh(); };
    logHooks.ownFiles = &ownFiles_;
    // Runs where the log is reopened, the connection thread included: only values that are
    // safe to read from there.
    logHooks.sessionHeader = [this] {
        HtmlSessionHeader header;
        header.server =
            ServerText(settings_.GetString(SettingKey::ipaddr), settings_.GetInt(SettingKey::port));
        header.channel = CurrentChannel();
        header.handle = CurrentHandle();
        header.time = static_cast<std::int64_t>(std::time(nullptr));
        return header;
    };
    log_ = std::make_unique<ConversationLog>(settings_, std::move(logHooks));

    ClientSession::Options sessionOptions;
    sessionOptions.settings = &settings_;
    sessionOptions.sound = options_.sound;
    sessionOptions.ownFiles = &ownFiles_;
    sessionOptions.refreshAutoLog = [this] { log_->RefreshAutoLog(); };
    sessionOptions.silence = options_.silence;
    sessionOptions.reconnectDelays = options_.reconnectDelays;
    session_ = std::make_unique<ClientSession>(queue_, frontEnd, std::move(sessionOptions));

    CConnectOnThread& connection = session_->connection();
    std::function<void(std::string_view)> notice = options_.notice;
    if (!notice) {
        notice = [this](std::string_view text) { PostSystemLine(queue_, std::string(text)); };
    }
    macros_ = std::make_unique<KeyMacros>(settings_.StartupDirectory(),
                                          KeyMacros::Hooks{[] { return IsConnected(); },
                                                           [&connection](std::string_view text) {
                                                               connection.PostText(
                                                                   ThreadMessage::Command, text);
                                                           },
                                                           std::move(notice), &ownFiles_});
    macros_->LoadDefaultKeyFile();

    drain_ = std::make_unique<DisplayDrain>(DisplayDrain::Services{
        queue_, log_.get(), options_.sound, [this] { return ReadNotifySettings(settings_); },
        [] { return CurrentHandle(); }, options_.called, &record_,
        [this](const RecordedLine& line) {
            if (htmlLog_ && htmlLog_->IsOpen()) {
                htmlLog_->WriteLine(line);
            }
        }});

    fileSender_ = std::make_unique<FileSender>(
        [&connection](std::string_view block) {
            if (!IsConnected()) {
                return false;
            }
            connection.PostData(ThreadMessage::SendData, block);
            return true;
        },
        [&frontEnd](const FileSendProgress& progress) { frontEnd.FileSendChanged(progress); },
        options_.piecePause);
}

ClientCore::~ClientCore() {
    Shutdown();
}

void ClientCore::Shutdown() {
    // The file send goes first (it posts to the connection), then the connection thread;
    // the log, the macros and the drain outlive both.
    fileSender_.reset();
    session_.reset();
}

bool ClientCore::SendTypedLine(std::string_view line,
                               std::optional<std::chrono::milliseconds> wait) {
    return session_->connection().PostText(ThreadMessage::Command, line, wait);
}

bool ClientCore::PostCommand(std::string_view text) {
    if (text.size() > RequestMailbox::kMaxText) {
        return false;
    }
    session_->connection().PostText(ThreadMessage::Command, text);
    return true;
}

void ClientCore::Connect(std::string_view host, std::int32_t port, std::string_view handle,
                         std::string_view channel) {
    session_->connection().socket().reconnector().SetEnabled(
        options_.reconnect || settings_.GetInt(SettingKey::autoreconnect) == 1);
    AcceptConnect(pending_, session_->connection(), host, port, handle, channel);
}

void ClientCore::RegisterHandle(std::string_view handle) {
    session_->connection().PostText(ThreadMessage::Open, handle);
    settings_.SetString(SettingKey::name, handle);
}

void ClientCore::JoinChannel(std::string_view channel) {
    session_->connection().PostText(ThreadMessage::Join, channel);
    settings_.SetString(SettingKey::channel, channel);
}

void ClientCore::Disconnect() {
    session_->connection().PostDisconnect();
}

bool ClientCore::Roll(int count, int sides, int rule) {
    return PostCommand("ROLL " + std::to_string(count) + " " + std::to_string(sides) + " " +
                       std::to_string(rule));
}

FileSender::Start ClientCore::SendFile(std::string_view destination, const std::string& path) {
    return fileSender_->Send(destination, path);
}

void ClientCore::SendSound(std::string_view destination, std::string_view soundName) {
    session_->connection().PostData(ThreadMessage::SendSound,
                                    SoundRequestBlock(destination, soundName));
}

MacroRun ClientCore::RunMacro(int commandId, std::optional<std::string_view> inputLine,
                              bool& finishLine) {
    finishLine = false;
    const std::optional<std::string_view> macro = macros_->MacroForCommand(commandId);
    if (!macro || macro->empty()) {
        return MacroRun::Nothing;
    }
    const MacroExpansion expansion = ExpandMacroText(*macro, inputLine.value_or(""));
    if (!inputLine && expansion.hadPlaceholder) {
        return MacroRun::Unusable;  // blank words would go out in place of what was typed
    }
    if (!expansion.fits) {
        return MacroRun::TooLong;
    }
    finishLine = expansion.hadPlaceholder;
    session_->connection().PostText(ThreadMessage::Command, expansion.text);
    return MacroRun::Sent;
}

void ClientCore::HostConnected() {
    if (!macros_->DeferredExec().empty()) {
        pending_.DeferredExec = macros_->TakeDeferredExec();
    }
    if (auto restored = session_->connection().socket().reconnector().TakeRestore()) {
        pending_.ConnectHandle = std::move(restored->handle);
        pending_.ConnectChannel = std::move(restored->channel);
    }
    OnHostConnected(pending_, session_->connection(), &settings_);
}

std::optional<UserTable::Rows> ClientCore::TakeUserList() {
    if (!queue_.TakeUserListChange()) {
        return std::nullopt;
    }
    return session_->users().Snapshot();
}

UserTable::Rows ClientCore::Users() const {
    return session_->users().Snapshot();
}

int ClientCore::Drain(DisplaySink& sink, int limit) {
    return drain_->Drain(sink, limit);
}

}  // namespace tessel

namespace tessel {

HtmlSessionHeader ClientCore::SessionHeader() const {
    HtmlSessionHeader header;
    header.server = FirstNonEmpty(
        {ServerText(pending_.ConnectHost, pending_.ConnectPort),
         ServerText(settings_.GetString(SettingKey::ipaddr), settings_.GetInt(SettingKey::port))});
    header.channel = FirstNonEmpty(
        {CurrentChannel(), pending_.ConnectChannel, settings_.GetString(SettingKey::channel)});
    header.handle = FirstNonEmpty(
        {CurrentHandle(), pending_.ConnectHandle, settings_.GetString(SettingKey::name)});
    header.time = static_cast<std::int64_t>(std::time(nullptr));
    return header;
}

bool ClientCore::ExportSessionHtml(std::string_view path) const {
    // The page replaces the file by renaming over it: over the open log (or the settings, a
    // key file) the program would go on writing to a file no longer there, and lose it.
    const std::size_t slash = path.rfind('/');
    const std::string_view directory =
        slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
    const std::string_view name = path.substr(slash == std::string_view::npos ? 0 : slash + 1);
    if (ownFiles_.IsOwnName(directory, name)) {
        return false;
    }
    return WriteWholeFile(path,
                          RenderSessionPage(record_, HtmlStyleOf(settings_), SessionHeader()));
}

bool ClientCore::StartHtmlLog(std::string_view path) {
    auto log = std::make_unique<HtmlLogFile>();
    if (!log->Open(std::string(path), HtmlStyleOf(settings_), SessionHeader())) {
        return false;
    }
    ownFiles_.Add(log->Path());
    htmlLog_ = std::move(log);
    return true;
}

}  // namespace tessel
