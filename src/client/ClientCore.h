// SPDX-License-Identifier: MIT

#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "connection/ConnectionState.h"
#include "connection/MessageReader.h"
#include "display/DisplayQueue.h"
#include "frame/KeyMacros.h"
#include "platform/FrontEnd.h"
#include "platform/OwnFiles.h"
#include "platform/SoundPlayer.h"
#include "session/FileSender.h"
#include "session/SessionCommands.h"
#include "session/SessionState.h"
#include "settings/Settings.h"
#include "views/ConversationLog.h"
#include "views/DisplayDrain.h"
#include "views/HtmlSession.h"
#include "views/SessionRecord.h"

namespace tessel {

class ClientSession;

// What running a key macro came to.
enum class MacroRun {
    Nothing,   // no macro on that key
    Sent,      // handed to the connection
    TooLong,   // the expanded text is longer than a command may be: nothing sent
    Unusable,  // the macro takes words from the input line, which cannot be sent as it is
};

// The client as both front ends hold it: the display queue, the settings, the program's own
// files, the conversation log, the key macros, the connection with its session, the connect
// dialog's values waiting for the connection, the display drain and the paced file send,
// wired together once. A front end turns what the user does into the intents below, shows
// what Drain hands it, and hears of every change through its FrontEnd; it assembles nothing
// of the core itself, so a protection added here reaches every front end.
//
// Everything here is called on the front end's thread; the FrontEnd may be called from any.
class ClientCore {
  public:
    struct Options {
        // Plays the call sound and received sound requests; none plays nothing.
        SoundPlayer* sound = nullptr;
        MessageReader::Clock::duration silence = MessageReader::kSilence;
        // Shift-JIS notices about files read at start (a key file too large, with its line
        // end); without it they are shown in the display pane.
        std::function<void(std::string_view)> notice;
        // A chat line called the user, after its sound (a desktop notification, say).
        std::function<void(const DisplayItem&)> called;
        std::chrono::milliseconds piecePause = kPiecePause;
        // The waits between reconnect attempts (see the autoreconnect setting).
        ReconnectDelays reconnectDelays;
        // Reconnect whatever the setting says (a front end's own switch, not stored).
        bool reconnect = false;
    };

    // `settings` is shared with the front end (copies share one memory).
    ClientCore(Settings settings, FrontEnd& frontEnd, Options options);
    ~ClientCore();
    ClientCore(const ClientCore&) = delete;
    ClientCore& operator=(const ClientCore&) = delete;

    Settings& AppSettings() { return settings_; }
    const Settings& AppSettings() const { return settings_; }
    ConversationLog& Log() { return *log_; }
    const ConversationLog& Log() const { return *log_; }
    KeyMacros& Macros() { return *macros_; }
    OwnFiles& Own() { return ownFiles_; }
    const PendingConnection& Pending() const { return pending_; }

    static ConnectionPhase Phase() { return CurrentConnectionPhase(); }
    static std::string Handle() { return CurrentHandle(); }
    static std::string Channel() { return CurrentChannel(); }
    static bool OpenDiceOn() { return OpenDice(); }

    // ---- what the user does ----------------------------------------------------------------

    // A line typed in the input pane, Shift-JIS. False when the connection did not take it
    // within `wait` (the line is dropped, as the input pane does).
    bool SendTypedLine(std::string_view line,
                       std::optional<std::chrono::milliseconds> wait = std::nullopt);
    // A command text a dialog or key built, as if typed; false (nothing sent) when it is
    // longer than a command may be.
    bool PostCommand(std::string_view text);
    // The connect dialog's OK; the handle and channel follow once the connection is up. A
    // drop of this connection that the user did not ask for is ridden out when the
    // autoreconnect setting is on at this moment.
    void Connect(std::string_view host, std::int32_t port, std::string_view handle,
                 std::string_view channel);
    void RegisterHandle(std::string_view handle);
    void JoinChannel(std::string_view channel);
    void Disconnect();
    bool Roll(int count, int sides, int rule);
    // Reads the file at `path` (Shift-JIS) now and sends its pieces paced, reporting through
    // FrontEnd::FileSendChanged; a file that cannot be read or is too large sends nothing.
    FileSender::Start SendFile(std::string_view destination, const std::string& path);
    bool FileSendBusy() const { return fileSender_->Busy(); }
    void SendSound(std::string_view destination, std::string_view soundName);
    // The macro of a key command; `inputLine` is the input pane's caret line in Shift-JIS, or
    // nothing when it holds a character that cannot be sent. `finishLine` is set when the
    // macro took words from the line (the pane then starts a fresh one).
    MacroRun RunMacro(int commandId, std::optional<std::string_view> inputLine, bool& finishLine);
    bool LoadKeyFile(const std::string& path) { return macros_->LoadChosenKeyFile(path); }

    // ---- what the front end hands over on its own thread -----------------------------------

    // After FrontEnd::HostConnected: registers the handle, enters the channel, runs the key
    // file's waiting command, and stores what the connection reached. After a reconnect the
    // handle and channel are those the dropped connection had.
    void HostConnected();
    // After FrontEnd::UserListRefresh: the newest user table, or nothing when an earlier call
    // already took this change.
    std::optional<UserTable::Rows> TakeUserList();
    UserTable::Rows Users() const;
    // Shows waiting display items (see DisplayDrain::Drain).
    int Drain(DisplaySink& sink, int limit = std::numeric_limits<int>::max());
    std::size_t WaitingItems() const { return queue_.size(); }
    // The queue the core's layers post their lines to (a front end only drains it).
    DisplayQueue& Display() { return queue_; }
    // ---- the session record ------------------------------------------------------------------

    // Every line shown this session (within its bounds), whatever the pane has trimmed.
    const SessionRecord& Record() const { return record_; }
    // The server, channel and handle of this session now: those acknowledged, else those the
    // last connect asked for, else the stored ones.
    HtmlSessionHeader SessionHeader() const;
    // Writes the record as one self-contained page to `path` (Shift-JIS), replacing the file;
    // false when it cannot be written or is one of the program's own files (the open log, the
    // settings, a key file), which is left as it was.
    bool ExportSessionHtml(std::string_view path) const;
    // Writes every line shown from now on to the HTML log at `path` (Shift-JIS), appended and
    // flushed line by line, apart from the text log; false when it cannot be opened.
    bool StartHtmlLog(std::string_view path);

    // Ends the file send and the connection thread (whose socket says CLOSE on its way out);
    // what they showed can still be drained. Nothing but Drain may be called after it.
    void Shutdown();

  private:
    Settings settings_;
    FrontEnd& frontEnd_;
    Options options_;
    OwnFiles ownFiles_;
    DisplayQueue queue_;
    SessionRecord record_;
    std::unique_ptr<HtmlLogFile> htmlLog_;  // the one StartHtmlLog opened
    std::unique_ptr<ConversationLog> log_;
    std::unique_ptr<ClientSession> session_;
    std::unique_ptr<KeyMacros> macros_;
    std::unique_ptr<DisplayDrain> drain_;
    std::unique_ptr<FileSender> fileSender_;
    PendingConnection pending_;
};

}  // namespace tessel
