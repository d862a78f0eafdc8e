// SPDX-License-Identifier: MIT

#include "term/TermApp.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "client/ClientCore.h"
#include "platform/DataFolder.h"
#include "platform/FileSystem.h"
#include "platform/WriteAll.h"
#include "protocol/ByteScan.h"
#include "protocol/Words.h"
#include "settings/Settings.h"
#include "term/TermCodec.h"
#include "term/TermFrontEnd.h"
#include "version/Version.h"
#include "views/DisplayDrain.h"

namespace tessel {
namespace {

using namespace std::chrono_literals;

// The input pane's pacing: a line waits at most this long for the mailbox, and the next line
// follows after a short pause.
constexpr auto kMailboxWait = 1000ms;
constexpr auto kLinePause = 10ms;
// Display items shown per turn of the loop, so input and connection events are served between.
// About a millisecond of a flood: syscalls per line stay few, typing is not held up.
constexpr int kDrainBatch = 2048;

constexpr const char* kUsage =
    "Usage: tessel-term [--host HOST] [--port PORT] [--handle NAME] [--channel CHANNEL]\n"
    "                   [--dir DIR] [--html-log FILE] [--reconnect]\n"
    "\n"
    "Connects to a relay server, sends each line of standard input as typed in the input\n"
    "pane, and writes what the display pane shows to standard output (UTF-8). Settings,\n"
    "tessel.key and logs are taken from the working directory, or from DIR (created if\n"
    "missing) with --dir. Defaults come from tessel.ini (ipaddr, port, name, channel). At\n"
    "the end of input it disconnects and exits.\n"
    "\n"
    "  --html-log FILE  also write the session to FILE as an HTML page (UTF-8), appended\n"
    "             and flushed line by line, so it opens in a browser at any moment\n"
    "  --reconnect  when the connection drops without being asked to, connect again (waits\n"
    "             of 1, 2, 4 ... 60 s), with the same handle and channel; also on with\n"
    "             autoreconnect=1 in [Options]\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

struct TermOptions {
    std::string host;
    std::int32_t port = 0;
    std::string handle;
    std::string channel;
    std::string htmlLog;  // Shift-JIS path; empty for none
    bool reconnect = false;
};

// Writes display runs to standard output, coloured with the display colours on a terminal and
// plain otherwise.
class TerminalSink : public DisplaySink {
  public:
    TerminalSink(const TermCodec& codec, const Settings& settings)
        : codec_(codec), colour_(::isatty(STDOUT_FILENO) == 1) {
        const SettingKey keys[] = {SettingKey::dispcolor, SettingKey::dispnamecolor,
                                   SettingKey::dispsyscolor, SettingKey::dispdicecolor};
        for (int i = 0; i < 4; ++i) {
            const auto c = static_cast<std::uint32_t>(settings.GetInt(keys[i]));
            colours_[i] = "\x1B[38;2;" + std::to_string(c & 0xFF) + ';' +
                          std::to_string((c >> 8) & 0xFF) + ';' + std::to_string((c >> 16) & 0xFF) +
                          'm';
        }
    }

    // Runs are gathered and written out together at Flush (or when much has gathered), so a
    // flood costs one write per batch, not several per line.
    void AppendRun(ColourMarker slot, std::string_view text) override {
        if (colour_) {
            pending_ += colours_[static_cast<int>(slot)];
        }
        // Most runs are printable ASCII, the last of a line ending in CR LF: copied as they are
        // after one look, the line end folded.
        const char* const end = text.data() + text.size();
        const char* const special = scan::FindNonPrintable(text.data(), end);
        if (special == end) {
            pending_ += text;
        } else if (special == end - 2 && special[0] == '\r' && special[1] == '\n') {
            pending_.append(text.data(), text.size() - 2);
            pending_ += '\n';
        } else if (TermCodec::IsAscii(text)) {
            AppendPrintable(pending_, text);  // the same bytes in UTF-8: nothing to convert
        } else {
            AppendPrintable(pending_, codec_.ToUtf8(text));
        }
        if (colour_) {
            pending_ += "\x1B[0m";
        }
        if (pending_.size() >= kFlushSize) {
            Flush();
        }
    }

    void Flush() {
        // Straight to the descriptor, one system call: the stream's own buffer would split a
        // large batch into several. Everything else written to standard output is flushed
        // where it is written, so the order holds.
        WriteAll(STDOUT_FILENO, pending_);
        pending_.clear();
    }

    static std::string Printable(std::string_view utf8) {
        std::string out;
        AppendPrintable(out, utf8);
        return out;
    }

    // What a peer sends must never drive the terminal: control characters other than line
    // feed and tab show as "^X" (C0 and DEL) or U+FFFD (C1), so no escape sequence can move the
    // cursor, retitle the window or write the clipboard. The pane's CR LF becomes LF.
    static void AppendPrintable(std::string& out, std::string_view utf8) {
        out.reserve(out.size() + utf8.size());
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            // Ordinary bytes are copied in one piece up to the next one that needs a look.
            const std::size_t plain = PlainRun(utf8, i);
            if (plain > i) {
                out.append(utf8, i, plain - i);
                i = plain;
                if (i == utf8.size()) {
                    break;
                }
            }
            const auto b = static_cast<unsigned char>(utf8[i]);
            if (b == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') {
                continue;
            }
            if (b == 0xC2 && i + 1 < utf8.size() &&
                static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
                out += "\xEF\xBF\xBD";
                ++i;
            } else if ((b < 0x20 && b != '\n' && b != '\t') || b == 0x7F) {
                out += '^';
                out += static_cast<char>(b == 0x7F ? '?' : b + '@');
            } else {
                out += static_cast<char>(b);
            }
        }
    }

  private:
    static constexpr std::size_t kFlushSize = 1 << 16;

    // The end of the run of bytes from `from` that are shown as they are: printable ASCII,
    // tab and line feed, and UTF-8 bytes other than the lead of a C1 control.
    static std::size_t PlainRun(std::string_view utf8, std::size_t from) {
        const char* const end = utf8.data() + utf8.size();
        const char* p = utf8.data() + from;
        for (;;) {
            p = scan::FindNonPrintable(p, end);
            if (p == end) {
                break;
            }
            const auto b = static_cast<unsigned char>(*p);
            if ((b < 0x20 && b != '\n' && b != '\t') || b == 0x7F || b == 0xC2) {
                break;
            }
            ++p;
        }
        return static_cast<std::size_t>(p - utf8.data());
    }

    const TermCodec& codec_;
    bool colour_;
    std::string colours_[4];
    std::string pending_;
};

// The notification sound of a terminal is its bell.
class TerminalBell : public SoundPlayer {
  public:
    void Play(const std::string&) override {
        if (::isatty(STDOUT_FILENO) == 1) {
            std::cout << '\a' << std::flush;
        }
    }
};

// "には Shift-JIS で表せない文字があります"
constexpr const char* kNotShiftJis =
    " \xE3\x81\xAB\xE3\x81\xAF Shift-JIS \xE3\x81\xA7\xE8\xA1\xA8\xE3\x81\x9B\xE3\x81\xAA"
    "\xE3\x81\x84\xE6\x96\x87\xE5\xAD\x97\xE3\x81\x8C\xE3\x81\x82\xE3\x82\x8A\xE3\x81"
    "\xBE\xE3\x81\x99";

// A handle or channel from the command line is typed text like any line: the core keeps it
// in Shift-JIS, so it is converted here, and refused whole when it cannot be.
bool ConvertOption(const TermCodec& codec, std::string_view option, std::string& value) {
    const std::optional<std::string> converted = codec.ToShiftJis(value);
    if (!converted) {
        std::cerr << "tessel-term: " << option << kNotShiftJis << " ('" << value
                  << "' has characters Shift-JIS cannot hold; nothing was sent or stored)\n";
        return false;
    }
    value = *converted;
    return true;
}

std::optional<TermOptions> ParseOptions(int argc, char** argv, const Settings& settings,
                                        const TermCodec& codec, int& exitCode) {
    TermOptions options;
    options.host = settings.GetString(SettingKey::ipaddr);
    options.port = settings.GetInt(SettingKey::port);
    options.handle = settings.GetString(SettingKey::name);
    options.channel = settings.GetString(SettingKey::channel);
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            exitCode = 0;
            return std::nullopt;
        }
        if (arg == "--reconnect") {
            options.reconnect = true;
            continue;
        }
        if (arg == "--version") {
            std::cout << "tessel-term " << kVersion << "\n";
            exitCode = 0;
            return std::nullopt;
        }
        if (i + 1 >= argc || (arg != "--host" && arg != "--port" && arg != "--handle" &&
                              arg != "--channel" && arg != "--dir" && arg != "--html-log")) {
            std::cerr << "tessel-term: unknown or incomplete option '" << arg << "'\n" << kUsage;
            exitCode = 2;
            return std::nullopt;
        }
        std::string value = argv[++i];
        if (arg == "--dir") {
            continue;  // entered before the settings were read (FolderOption)
        }
        if (arg == "--host") {
            options.host = value;
        } else if (arg == "--html-log") {
            // The core names files in Shift-JIS, as it names every file.
            const std::optional<std::string> path = CorePath(value);
            if (!path || value.empty()) {
                std::cerr << "tessel-term: --html-log needs a file name Shift-JIS can hold\n";
                exitCode = 2;
                return std::nullopt;
            }
            options.htmlLog = *path;
        } else if (arg == "--handle" || arg == "--channel") {
            if (!ConvertOption(codec, arg, value)) {
                exitCode = 2;
                return std::nullopt;
            }
            (arg == "--handle" ? options.handle : options.channel) = value;
        } else {
            char* end = nullptr;
            const long port = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || port < 0 || port > 65535) {
                std::cerr << "tessel-term: --port takes a number from 0 to 65535\n";
                exitCode = 2;
                return std::nullopt;
            }
            options.port = static_cast<std::int32_t>(port);
        }
    }
    return options;
}

// The value of --dir, found the way ParseOptions walks the command line. It is needed before
// ParseOptions runs: the tessel.ini that gives the other options their defaults is in it.
std::optional<std::string> FolderOption(int argc, char** argv) {
    std::optional<std::string> folder;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h" || arg == "--version") {
            return std::nullopt;
        }
        if (arg == "--reconnect") {
            continue;  // the one option without a value
        }
        if (arg == "--dir") {
            folder = argv[i + 1];
        }
        ++i;
    }
    return folder;
}

// Splits what arrives on standard input into lines.
class LineReader {
  public:
    // Reads what is there and queues its complete lines (and, at the end of input, the
    // unfinished last one); false at the end of input.
    bool Read(std::deque<std::string>& lines) {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            return true;
        }
        if (n > 0) {
            pending_.append(buffer, static_cast<std::size_t>(n));
        }
        for (std::size_t feed; (feed = pending_.find('\n')) != std::string::npos;) {
            std::string line = pending_.substr(0, feed);
            pending_.erase(0, feed + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(std::move(line));
        }
        if (n > 0) {
            return true;
        }
        if (!pending_.empty()) {
            lines.push_back(std::exchange(pending_, {}));
        }
        return false;
    }

  private:
    std::string pending_;
};

// The terminal has no user list pane: when the user asked for the user list (GETUSER), the
// table that comes back is printed instead, one user a line.
void PrintUserTable(const UserTable::Rows& rows, const TermCodec& codec) {
    // "名前", "属性", "チャネル", "アドレス"
    std::string table =
        "\xE5\x90\x8D\xE5\x89\x8D\t\xE5\xB1\x9E\xE6\x80\xA7\t\xE3\x83\x81\xE3\x83\xA3"
        "\xE3\x83\x8D\xE3\x83\xAB\t\xE3\x82\xA2\xE3\x83\x89\xE3\x83\xAC\xE3\x82\xB9\n";
    for (const UserEntry& user : rows) {
        if (user.handle.empty()) {
            continue;
        }
        std::string row(user.handle.view());
        row += (user.attribute & 1) != 0 ? "\tM\t" : "\t\t";
        row += user.channel.view();
        row += '\t';
        row += user.address.view();
        table += TerminalSink::Printable(codec.ToUtf8(row));
        table += '\n';
    }
    std::cout << table << std::flush;
}

}  // namespace

int RunTerm(int argc, char** argv) {
    if (const std::optional<std::string> folder = FolderOption(argc, argv)) {
        std::string why;
        if (!EnterFolder(*folder, why)) {
            std::cerr << "tessel-term: " << why << "\n";
            return 1;
        }
    }
    // The core keeps paths in Shift-JIS, as it keeps every text.
    const std::optional<std::string> cwd = WorkingDirectory();
    std::optional<Settings> settings = cwd ? Settings::Open(*cwd) : std::nullopt;
    if (!settings) {
        std::error_code error;
        std::cerr << "tessel-term: cannot use tessel.ini in the working directory '"
                  << std::filesystem::current_path(error).string()
                  << "' (its name must be representable in Shift-JIS)\n";
        return 2;
    }
    const TermCodec codec;
    int exitCode = 0;
    const std::optional<TermOptions> options = ParseOptions(argc, argv, *settings, codec, exitCode);
    if (!options) {
        return exitCode;
    }

    auto notice = [&codec](std::string_view text) {
        std::cerr << "tessel-term: " << codec.ToUtf8(text);
    };
    if (!settings->OpenNotice().empty()) {
        notice(settings->OpenNotice());
    }
    TermFrontEnd frontEnd;
    TerminalBell bell;
    ClientCore::Options coreOptions;
    coreOptions.sound = &bell;
    coreOptions.notice = notice;
    coreOptions.reconnect = options->reconnect;
    ClientCore core(*settings, frontEnd, std::move(coreOptions));
    TerminalSink sink(codec, core.AppSettings());
    core.Connect(options->host, options->port, options->handle, options->channel);
    if (!options->htmlLog.empty() && !core.StartHtmlLog(options->htmlLog)) {
        std::cerr << "tessel-term: cannot open the HTML log '" << codec.ToUtf8(options->htmlLog)
                  << "'\n";
        return 2;
    }

    // Lines are read once the connect attempt has settled, as a user types only after the
    // connect dialog: connected with handle and channel sent, or failed.
    bool connectSettled = false;
    bool inputOpen = true;
    bool quit = false;
    bool userTableWanted = false;
    LineReader input;
    std::deque<std::string> typed;  // read, waiting for their turn
    auto nextLineAt = std::chrono::steady_clock::now();

    // Sends one typed line. False when the mailbox stayed taken: like the input pane, the
    // rest of the input that arrived with this line is given up.
    auto sendLine = [&](const std::string& utf8) {
        const std::optional<std::string> line = codec.ToShiftJis(utf8);
        if (!line) {
            // "この行には Shift-JIS で表せない文字があるため送信しません"
            std::cerr
                << "tessel-term: \xE3\x81\x93\xE3\x81\xAE\xE8\xA1\x8C\xE3\x81\xAB\xE3\x81\xAF "
                   "Shift-JIS \xE3\x81\xA7\xE8\xA1\xA8\xE3\x81\x9B\xE3\x81\xAA\xE3\x81\x84"
                   "\xE6\x96\x87\xE5\xAD\x97\xE3\x81\x8C\xE3\x81\x82\xE3\x82\x8B\xE3\x81\x9F"
                   "\xE3\x82\x81\xE9\x80\x81\xE4\xBF\xA1\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x9B"
                   "\xE3\x82\x93 (the line has characters Shift-JIS cannot hold; not sent)\n";
            return true;
        }
        if (!core.SendTypedLine(*line, kMailboxWait)) {
            std::cerr << "tessel-term: the connection is busy; the rest of this input was not "
                         "sent\n";
            return false;
        }
        if (WordCode(*line) == CommandCode::GetUser) {
            userTableWanted = true;
        }
        return true;
    };

    while (!quit && (inputOpen || !typed.empty())) {
        using Clock = std::chrono::steady_clock;
        // Typed lines go out one per turn, 10 ms apart, with the display drained in between,
        // so echoes show while a long paste is still being sent.
        const bool lineWaiting = connectSettled && !typed.empty();
        int timeout = -1;
        if (core.WaitingItems() > 0) {
            timeout = 0;  // items left from the last batch are shown without waiting
        } else if (lineWaiting) {
            const auto wait =
                std::chrono::ceil<std::chrono::milliseconds>(nextLineAt - Clock::now()).count();
            timeout = static_cast<int>(std::max<std::int64_t>(wait, 0));
        }
        const bool readInput = connectSettled && inputOpen && typed.empty();
        pollfd fds[2] = {{frontEnd.fd(), POLLIN, 0}, {readInput ? STDIN_FILENO : -1, POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) {
            break;
        }
        // Nothing waits unless the descriptor says so: a turn spent showing a flood costs no
        // read of it.
        const bool eventsWaiting = (fds[0].revents & POLLIN) != 0;
        for (const TermEvent event : eventsWaiting ? frontEnd.TakeAll() : std::deque<TermEvent>{}) {
            switch (event) {
                case TermEvent::HostConnected:
                    core.HostConnected();
                    break;
                case TermEvent::ConnectAttemptEnded:
                    connectSettled = true;
                    break;
                case TermEvent::UserListRefresh:
                    // Taken every time, so the next change is told again.
                    if (const auto rows = core.TakeUserList();
                        rows && std::exchange(userTableWanted, false)) {
                        core.Drain(sink);  // what came before the table is shown first
                        sink.Flush();
                        PrintUserTable(*rows, codec);
                    }
                    break;
                case TermEvent::Quit:
                    quit = true;
                    break;
                default:
                    break;  // display text is drained below
            }
        }
        core.Drain(sink, kDrainBatch);
        sink.Flush();
        if (lineWaiting && Clock::now() >= nextLineAt) {
            const std::string line = std::move(typed.front());
            typed.pop_front();
            if (!sendLine(line)) {
                typed.clear();
            }
            nextLineAt = Clock::now() + kLinePause;
        }
        if (readInput && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            inputOpen = input.Read(typed);
        }
    }

    if (!quit) {
        core.Disconnect();
    }
    core.Shutdown();  // the connection thread finishes its work and says goodbye
    core.Drain(sink);
    sink.Flush();
    return 0;
}

}  // namespace tessel
