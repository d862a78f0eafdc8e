// SPDX-License-Identifier: MIT

#include "views/ConversationLog.h"

#include <array>
#include <utility>

#include "protocol/Charset.h"
#include "views/DisplayLine.h"

namespace tessel {
namespace {

// "ログファイルに書き込めないため、ログを停止しました: "
constexpr std::string_view kWriteFailedText =
    "\x83\x8d\x83\x4f\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82\xdf"
    "\x82\xc8\x82\xa2\x82\xbd\x82\xdf\x81\x41\x83\x8d\x83\x4f\x82\xf0\x92\xe2\x8e\x7e\x82\xb5"
    "\x82\xdc\x82\xb5\x82\xbd"
    ": ";

// Every occurrence of `tag` replaced by `value`; inserted text is not searched again.
void ReplaceAll(std::string& text, std::string_view tag, std::string_view value) {
    std::size_t pos = 0;
    while ((pos = text.find(tag, pos)) != std::string::npos) {
        text.replace(pos, tag.size(), value);
        pos += value.size();
    }
}

// A handle or channel made harmless as part of a file name (see ExpandLogName).
std::string FileNamePart(std::string_view name) {
    std::string part(name);
    for (char& c : part) {
        if (c == '/' || c == '.' || c == '\0') {
            c = '_';
        }
    }
    return part;
}

std::string TwoDigits(int value) {
    std::array<char, 16> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%02d", value);
    return buffer.data();
}

}  // namespace

std::tm LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return local;
}

std::string ExpandLogName(std::string_view pattern, std::size_t size, const std::tm& time,
                          std::string_view channel, std::string_view handle) {
    if (size == 0) {
        return {};
    }
    const int year = time.tm_year + 1900;
    std::array<char, 16> fullYear{};
    std::snprintf(fullYear.data(), fullYear.size(), "%04d", year);

    std::string text(pattern);
    ReplaceAll(text, "%Y", fullYear.data());
    ReplaceAll(text, "%y", TwoDigits(year % 100));
    ReplaceAll(text, "%m", TwoDigits(time.tm_mon + 1));
    ReplaceAll(text, "%d", TwoDigits(time.tm_mday));
    ReplaceAll(text, "%H", TwoDigits(time.tm_hour));
    ReplaceAll(text, "%M", TwoDigits(time.tm_min));
    ReplaceAll(text, "%S", TwoDigits(time.tm_sec));
    ReplaceAll(text, "%C", FileNamePart(channel));
    ReplaceAll(text, "%N", FileNamePart(handle));
    return std::string(CutAtCharacter(text, size - 1));
}

std::string LogWriteFailedNotice(std::string_view path) {
    std::string notice(kWriteFailedText);
    notice.append(path);
    notice.append("\r\n");
    return notice;
}

ConversationLog::ConversationLog(Settings& settings, Hooks hooks)
    : m_settings(settings), m_hooks(std::move(hooks)) {
    std::lock_guard guard(m_lock);
    m_autoLog = m_settings.GetInt(SettingKey::autolog) != 0;
    m_logDir = m_settings.GetString(SettingKey::logdir);
    m_autoLogName = m_settings.GetString(SettingKey::autologname);
    m_htmlLogOn = m_settings.GetInt(SettingKey::htmllog) != 0;
    if (m_autoLog) {
        OpenAutoLog(kStartupLogNameSize);
    }
}

ConversationLog::~ConversationLog() = default;

std::string LogSafeLine(std::string_view line) {
    std::string out;
    AppendLogText(out, line);
    return out;
}

LogWriteResult ConversationLog::WriteLine(std::string_view line) {
    LogWriteResult result;
    {
        std::lock_guard guard(m_lock);
        if (!m_logFile.IsOpen()) {
            return result;
        }
        if (line.empty()) {
            result.status = LogWriteStatus::kWritten;
            return result;
        }
        const bool written = m_logFile.Write(LogSafeLine(line));
        if (written) {
            result.status = LogWriteStatus::kWritten;
            return result;
        }
        // A full disk or a vanished device would otherwise lose every later line without a
        // word: stop here, once, and let the display say so.
        result.status = LogWriteStatus::kFailed;
        result.path = m_logPath;
        CloseLog();
    }
    NotifyTitle();
    return result;
}

void ConversationLog::ToggleAutoLog() {
    bool autoLog = false;
    {
        std::lock_guard guard(m_lock);
        if (m_autoLog) {
            CloseLog();
            m_autoLog = false;
        } else {
            CloseLog();  // a manual log ends here
            OpenAutoLog(kLogNameSize);
            m_autoLog = true;  // on even when the open failed: the next refresh tries again
        }
        autoLog = m_autoLog;
    }
    m_settings.SetInt(SettingKey::autolog, autoLog ? 1 : 0);
    NotifyTitle();
}

void ConversationLog::StopLog() {
    {
        std::lock_guard guard(m_lock);
        CloseLog();
    }
    NotifyTitle();
}

std::string ConversationLog::ProposeManualLogPath() {
    const std::tm now = m_hooks.localTime();
    std::lock_guard guard(m_lock);
    m_logPath = m_logDir + "tsl" + TwoDigits((now.tm_year + 1900) % 100) +
                TwoDigits(now.tm_mon + 1) + TwoDigits(now.tm_mday) + ".log";
    return m_logPath;
}

bool ConversationLog::StartManualLog(std::string_view path) {
    bool opened = false;
    std::string directory;
    {
        std::lock_guard guard(m_lock);
        CloseLog();
        m_autoLog = false;  // for this run only: autolog keeps its stored value
        OpenAt(std::string(path));
        const std::size_t slash = m_logPath.rfind('/');
        m_logDir = slash == std::string::npos ? std::string() : m_logPath.substr(0, slash + 1);
        directory = m_logDir;
        opened = m_logFile.IsOpen();
    }
    m_settings.SetString(SettingKey::logdir, directory);
    NotifyTitle();
    return opened;
}

void ConversationLog::ApplyAutoLogSettings(std::string_view directory, std::string_view pattern) {
    bool refreshed = false;
    {
        std::lock_guard guard(m_lock);
        m_logDir = directory;
        m_autoLogName = pattern;
        refreshed = RefreshAutoLogLocked();
    }
    if (refreshed) {
        NotifyTitle();
    }
    m_settings.SetString(SettingKey::logdir, directory);
    m_settings.SetString(SettingKey::autologname, pattern);
}

void ConversationLog::RefreshAutoLog() {
    bool refreshed = false;
    {
        std::lock_guard guard(m_lock);
        refreshed = RefreshAutoLogLocked();
    }
    if (refreshed) {
        NotifyTitle();
    }
}

void ConversationLog::SetHtmlLog(bool on) {
    {
        std::lock_guard guard(m_lock);
        m_htmlLogOn = on;
        if (!on) {
            CloseHtmlLog();
        } else if (m_logFile.IsOpen() && !m_htmlLog.IsOpen()) {
            OpenHtmlLogBeside();
        }
    }
    m_settings.SetInt(SettingKey::htmllog, on ? 1 : 0);
}

bool ConversationLog::HtmlLog() const {
    std::lock_guard guard(m_lock);
    return m_htmlLogOn;
}

bool ConversationLog::IsHtmlLogging() const {
    std::lock_guard guard(m_lock);
    return m_htmlLog.IsOpen();
}

std::string ConversationLog::HtmlLogPath() const {
    std::lock_guard guard(m_lock);
    return m_htmlLog.IsOpen() ? m_htmlLog.Path() : std::string();
}

LogWriteResult ConversationLog::WriteHtmlLine(const RecordedLine& line) {
    LogWriteResult result;
    std::lock_guard guard(m_lock);
    if (!m_htmlLog.IsOpen()) {
        return result;
    }
    const std::string path = m_htmlLog.Path();
    if (m_htmlLog.WriteLine(line)) {
        result.status = LogWriteStatus::kWritten;
        return result;
    }
    // As with the text log: said once, then no more lines go to a file that cannot take them.
    result.status = LogWriteStatus::kFailed;
    result.path = path;
    CloseHtmlLog();
    return result;
}

bool ConversationLog::IsLogging() const {
    std::lock_guard guard(m_lock);
    return m_logFile.IsOpen();
}

bool ConversationLog::AutoLog() const {
    std::lock_guard guard(m_lock);
    return m_autoLog;
}

std::string ConversationLog::LogPath() const {
    std::lock_guard guard(m_lock);
    return m_logPath;
}

std::string ConversationLog::LogDir() const {
    std::lock_guard guard(m_lock);
    return m_logDir;
}

std::string ConversationLog::AutoLogName() const {
    std::lock_guard guard(m_lock);
    return m_autoLogName;
}

void ConversationLog::CloseLog() {
    if (m_logFile.IsOpen() && m_hooks.ownFiles != nullptr) {
        m_hooks.ownFiles->Remove(m_openPath);
    }
    m_logFile = File();
    CloseHtmlLog();
}

void ConversationLog::CloseHtmlLog() {
    if (m_htmlLog.IsOpen() && m_hooks.ownFiles != nullptr) {
        m_hooks.ownFiles->Remove(m_htmlLog.Path());
    }
    m_htmlLog.Close();
}

void ConversationLog::OpenHtmlLogBeside() {
    HtmlSessionHeader header =
        m_hooks.sessionHeader ? m_hooks.sessionHeader() : HtmlSessionHeader{};
    if (header.time == 0) {
        header.time = static_cast<std::int64_t>(std::time(nullptr));
    }
    if (m_htmlLog.Open(HtmlLogPathBeside(m_openPath), HtmlStyleOf(m_settings), header) &&
        m_hooks.ownFiles != nullptr) {
        m_hooks.ownFiles->Add(m_htmlLog.Path());
    }
}

void ConversationLog::OpenAt(std::string path) {
    m_logPath = std::move(path);
    // Close-on-exec, so a program the client starts (the key file's editor) never inherits
    // the log.
    m_logFile = OpenForAppend(m_logPath);
    if (!m_logFile.IsOpen()) {
        return;
    }
    m_openPath = m_logPath;
    if (m_hooks.ownFiles != nullptr) {
        m_hooks.ownFiles->Add(m_openPath);
    }
    if (m_htmlLogOn) {
        OpenHtmlLogBeside();
    }
}

void ConversationLog::OpenAutoLog(std::size_t nameSize) {
    const std::tm now = m_hooks.localTime();
    const LogNames names = m_hooks.currentNames ? m_hooks.currentNames() : LogNames{};
    OpenAt(m_logDir + ExpandLogName(m_autoLogName, nameSize, now, names.channel, names.handle));
}

bool ConversationLog::RefreshAutoLogLocked() {
    if (!m_autoLog) {
        return false;
    }
    CloseLog();
    OpenAutoLog(kLogNameSize);
    return true;
}

void ConversationLog::NotifyTitle() const {
    if (m_hooks.titleChanged) {
        m_hooks.titleChanged();
    }
}

}  // namespace tessel
