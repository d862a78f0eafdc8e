// SPDX-License-Identifier: MIT

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/OwnFiles.h"
#include "settings/Settings.h"
#include "views/HtmlSession.h"

namespace tessel {

// Buffer sizes the automatic log name is expanded into: the menu commands use 256 bytes,
// the start-up open 255 (each holds one byte less of name).
inline constexpr std::size_t kLogNameSize = 256;
inline constexpr std::size_t kStartupLogNameSize = 255;

// The channel and handle the server has acknowledged, as the %C and %N tags insert them.
struct LogNames {
    std::string channel;
    std::string handle;
};

// The system's local time now.
std::tm LocalTimeNow();

// `pattern` with its tags replaced, in this order and each over the text the previous ones
// left: %Y, %y, %m, %d, %H, %M, %S from `time`, then %C with `channel` and %N with `handle`
// (so a channel containing "%N" gets the handle there). The result holds at most `size` - 1
// bytes and never ends in half of a double-byte character.
//
// The channel and handle are whatever the user registered (as the server acknowledged them),
// yet end up in a file name: every "/" and "." in them becomes "_" before they are inserted,
// so no name can add a directory level or a ".." component and the log always stays where the
// user's directory and pattern put it ("Dr.K" logs as "Dr_K").
// Neither byte can be the second byte of a Shift-JIS character, so no character is broken.
std::string ExpandLogName(std::string_view pattern, std::size_t size, const std::tm& time,
                          std::string_view channel, std::string_view handle);

// What the display view shows in the system colour when a log line could not be written:
// the path of the log that has been stopped, with a line end.
std::string LogWriteFailedNotice(std::string_view path);

// A line as the log file holds it: control characters a peer sent (a file name, a chat text)
// would act on the terminal of whoever reads the log later, so every one but tab, line feed
// and the carriage return of a line end is written as "^X" ("^?" for DEL), as tessel-term
// shows them (AppendLogText).
std::string LogSafeLine(std::string_view line);

enum class LogWriteStatus {
    kNotLogging,  // no log open: nothing written
    kWritten,     // the line is in the file and flushed
    kFailed,      // the write failed: the log is closed now (see WriteLine)
};

struct LogWriteResult {
    LogWriteStatus status = LogWriteStatus::kNotLogging;
    std::string path;  // with kFailed: the log that was closed

    friend bool operator==(const LogWriteResult&, const LogWriteResult&) = default;
};

// The conversation log: the one file the display pane's lines are appended to, opened by
// hand at a chosen path or automatically under a name made from a pattern, and reopened
// under a new name when the handle or channel changes.
//
// The window thread writes lines and runs the menu commands while the socket's thread may
// call RefreshAutoLog, so every operation holds one mutex. The clock and name hooks run under
// it and must not call back into the log; titleChanged runs after it is released.
//
// A log opens in append mode: created when missing, never truncated, every line written at
// the end, so reopening an existing file continues it. Its name goes to the file system in
// UTF-8 (a log named after 太郎 in #部屋 is 太郎-#部屋.log on disk); a name that has no UTF-8
// form is not opened, like any log that cannot be opened. (The Windows program also denied
// other writers; plain files here have no such sharing mode, and append mode keeps whole
// lines intact even if another program appends.)
class ConversationLog {
  public:
    struct Hooks {
        std::function<std::tm()> localTime = LocalTimeNow;
        // The acknowledged channel and handle at this moment.
        std::function<LogNames()> currentNames;
        // The logging state changed: the frame's title carries a logging mark. Called on the
        // thread that changed it (RefreshAutoLog runs on the connection thread), so a GUI must
        // carry it over to its own thread.
        std::function<void()> titleChanged;
        // The open log is recorded here while it is open, so no received file replaces it.
        OwnFiles* ownFiles = nullptr;
        // The server, channel and handle an HTML log's session header names.
        std::function<HtmlSessionHeader()> sessionHeader;
    };

    // Reads autolog, logdir and autologname; with autolog on, opens the automatic log
    // (silently staying off when that fails).
    ConversationLog(Settings& settings, Hooks hooks);
    ~ConversationLog();
    ConversationLog(const ConversationLog&) = delete;
    ConversationLog& operator=(const ConversationLog&) = delete;

    // Appends one displayed line, colour markers already removed and control characters
    // written as LogSafeLine writes them, and flushes it. An empty
    // line writes nothing. A failed write or flush closes the log, reports kFailed once with
    // the path (the display shows LogWriteFailedNotice) and refreshes the title; later lines
    // get kNotLogging. The automatic log stays switched on, so the next handle or channel
    // change tries a fresh open, as after stopping the log by hand.
    LogWriteResult WriteLine(std::string_view line);

    // Automatic log on or off; a manual log open when switching on is closed. Stores autolog.
    void ToggleAutoLog();
    // Closes the file; the automatic log, if on, comes back at the next RefreshAutoLog.
    void StopLog();
    // The path the manual log's file dialog starts from: tslYYMMDD.log in the log directory.
    // It becomes the log path even if the dialog is then cancelled.
    std::string ProposeManualLogPath();
    // The user confirmed `path` in the file dialog: ends any log, switches the automatic log
    // off for this run (autolog is not rewritten), opens `path`, and makes its directory the
    // log directory (stored as logdir). False when the file cannot be opened.
    bool StartManualLog(std::string_view path);
    // The automatic log settings dialog was confirmed: stores both texts, reopens the
    // automatic log if it is on, then writes logdir and autologname.
    void ApplyAutoLogSettings(std::string_view directory, std::string_view pattern);
    // Reopens the automatic log under its name expanded now; does nothing while it is off.
    void RefreshAutoLog();

    // The HTML log: with it on (htmllog), every text log, manual or automatic, has an HTML
    // log beside it (HtmlLogPathBeside), opened and closed with it and written line by line.
    // Switching it on while a log is open opens the HTML log at once. Stores htmllog.
    void SetHtmlLog(bool on);
    bool HtmlLog() const;
    bool IsHtmlLogging() const;
    std::string HtmlLogPath() const;  // the open HTML log's path, or empty
    // Appends one finished display line to the HTML log, if one is open. A failed write
    // closes the HTML log (the text log goes on) and reports kFailed once with its path.
    LogWriteResult WriteHtmlLine(const RecordedLine& line);

    bool IsLogging() const;  // the stop command is enabled
    bool AutoLog() const;    // the automatic log command is checked
    std::string LogPath() const;
    std::string LogDir() const;
    std::string AutoLogName() const;

  private:
    // Callers hold m_lock.
    void CloseLog();
    void CloseHtmlLog();
    void OpenHtmlLogBeside();
    void OpenAt(std::string path);
    void OpenAutoLog(std::size_t nameSize);
    bool RefreshAutoLogLocked();
    void NotifyTitle() const;

    Settings& m_settings;
    Hooks m_hooks;

    mutable std::mutex m_lock;
    File m_logFile;
    std::string m_logPath;
    std::string m_openPath;  // the open file's path: m_logPath may become a proposal meanwhile
    std::string m_logDir;    // used as typed; a missing final "/" glues the name to it
    std::string m_autoLogName;
    bool m_autoLog = false;  // a stored autolog of any value but 0 means on
    bool m_htmlLogOn = false;
    HtmlLogFile m_htmlLog;
};

}  // namespace tessel
