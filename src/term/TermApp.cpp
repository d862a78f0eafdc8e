#include "term/TermApp.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "connection/ConnectionState.h"
#include "frame/KeyMacros.h"
#include "frame/Settings.h"
#include "platform/FileSystem.h"
#include "platform/OwnFiles.h"
#include "session/ClientSession.h"
#include "session/SessionCommands.h"
#include "term/TermCodec.h"
#include "term/TermFrontEnd.h"
#include "views/ConversationLog.h"
#include "views/DisplayDrain.h"

#ifndef TESSEL_VERSION
#define TESSEL_VERSION "0.0.0"
#endif

namespace tessel {
namespace {

using namespace std::chrono_literals;

// The input pane's pacing: a line waits at most this long for the mailbox, and the next line
// follows after a short pause.
constexpr auto kMailboxWait = 1000ms;
constexpr auto kLinePause = 10ms;
// Display items shown per turn of the loop, so input and connection events are served between.
constexpr int kDrainBatch = 256;

constexpr const char* kUsage =
    "Usage: tessel-term [--host HOST] [--port PORT] [--handle NAME] [--channel CHANNEL]\n"
    "\n"
    "Connects to a relay server, sends each line of standard input as typed in the input\n"
    "pane, and writes what the display pane shows to standard output (UTF-8). Settings,\n"
    "tessel.key and logs are taken from the working directory. Defaults come from tessel.ini\n"
    "(ipaddr, port, name, channel). At the end of input it disconnects and exits.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

struct TermOptions {
    std::string host;
    std::int32_t port = 0;
    std::string handle;
    std::string channel;
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

    void AppendRun(ColourMarker slot, std::string_view text) override {
        const std::string lines = Printable(codec_.ToUtf8(text));
        if (colour_) {
            std::cout << colours_[static_cast<int>(slot)] << lines << "\x1B[0m";
        } else {
            std::cout << lines;
        }
    }

    void Flush() { std::cout.flush(); }

    // What a peer sends must never drive the terminal: control characters other than line
    // feed and tab show as "^X" (C0 and DEL) or U+FFFD (C1), so no escape sequence can move the
    // cursor, retitle the window or write the clipboard. The pane's CR LF becomes LF.
    static std::string Printable(std::string_view utf8) {
        std::string out;
        out.reserve(utf8.size());
        for (std::size_t i = 0; i < utf8.size(); ++i) {
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
        return out;
    }

  private:
    const TermCodec& codec_;
    bool colour_;
    std::string colours_[4];
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

std::optional<TermOptions> ParseOptions(int argc, char** argv, const Settings& settings,
                                        int& exitCode) {
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
        if (arg == "--version") {
            std::cout << "tessel-term " << TESSEL_VERSION << "\n";
            exitCode = 0;
            return std::nullopt;
        }
        if (i + 1 >= argc ||
            (arg != "--host" && arg != "--port" && arg != "--handle" && arg != "--channel")) {
            std::cerr << "tessel-term: unknown or incomplete option '" << arg << "'\n" << kUsage;
            exitCode = 2;
            return std::nullopt;
        }
        const std::string value = argv[++i];
        if (arg == "--host") {
            options.host = value;
        } else if (arg == "--handle") {
            options.handle = value;
        } else if (arg == "--channel") {
            options.channel = value;
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

NotifySettings ReadNotifySettings(const Settings& settings) {
    NotifySettings notify;
    notify.mode = settings.GetInt(SettingKey::isnotify);
    const SettingKey keys[] = {SettingKey::notifystring1, SettingKey::notifystring2,
                               SettingKey::notifystring3, SettingKey::notifystring4};
    for (int i = 0; i < 4; ++i) {
        notify.strings[i] = settings.GetString(keys[i]);
    }
    notify.soundFile = settings.GetString(SettingKey::notifysoundfile);
    return notify;
}

// Splits what arrives on standard input into lines.
class LineReader {
  public:
    // Reads what is there; false at the end of input.
    bool Read() {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n > 0) {
            pending_.append(buffer, static_cast<std::size_t>(n));
            return true;
        }
        return n < 0 && errno == EINTR;
    }

    std::optional<std::string> Next(bool atEnd) {
        const std::size_t feed = pending_.find('\n');
        if (feed == std::string::npos) {
            if (atEnd && !pending_.empty()) {
                return std::exchange(pending_, {});
            }
            return std::nullopt;
        }
        std::string line = pending_.substr(0, feed);
        pending_.erase(0, feed + 1);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        return line;
    }

    void DropPending() { pending_.clear(); }

  private:
    std::string pending_;
};

}  // namespace

int RunTerm(int argc, char** argv) {
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
    int exitCode = 0;
    const std::optional<TermOptions> options = ParseOptions(argc, argv, *settings, exitCode);
    if (!options) {
        return exitCode;
    }

    const TermCodec codec;
    auto notice = [&codec](std::string_view text) {
        std::cerr << "tessel-term: " << codec.ToUtf8(text);
    };
    if (!settings->OpenNotice().empty()) {
        notice(settings->OpenNotice());
    }
    OwnFiles ownFiles;
    TermFrontEnd frontEnd;
    DisplayQueue queue(frontEnd);
    TerminalBell bell;
    TerminalSink sink(codec, *settings);
    ConversationLog log(
        *settings, ConversationLog::Hooks{LocalTimeNow,
                                          [] {
                                              return LogNames{CurrentChannel(), CurrentHandle()};
                                          },
                                          {},
                                          &ownFiles});

    ClientSession::Options sessionOptions;
    sessionOptions.settings = &*settings;
    sessionOptions.sound = &bell;
    sessionOptions.ownFiles = &ownFiles;
    sessionOptions.refreshAutoLog = [&log] { log.RefreshAutoLog(); };
    auto session = std::make_unique<ClientSession>(queue, frontEnd, std::move(sessionOptions));
    CConnectOnThread& connection = session->connection();

    KeyMacros macros(settings->StartupDirectory(),
                     KeyMacros::Hooks{[] { return IsConnected() == 1; },
                                      [&connection](std::string_view text) {
                                          connection.PostText(ThreadMessage::Command, text);
                                      },
                                      notice, &ownFiles});
    macros.LoadDefaultKeyFile();

    const NotifySettings notify = ReadNotifySettings(*settings);
    DisplayDrain drain(
        {queue, &log, &bell, [&notify] { return notify; }, [] { return CurrentHandle(); }});

    PendingConnection pending;
    AcceptConnect(pending, connection, options->host, options->port, options->handle,
                  options->channel);

    // Lines are read once the connect attempt has settled, as a user types only after the
    // connect dialog: connected with handle and channel sent, or failed.
    bool connectSettled = false;
    bool inputOpen = true;
    bool quit = false;
    int shownItems = 0;
    LineReader input;

    // False when the mailbox stayed taken: like the input pane, the rest of the input that
    // arrived with this line is given up.
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
        if (!connection.PostText(ThreadMessage::Command, *line, kMailboxWait)) {
            std::cerr << "tessel-term: the connection is busy; the rest of this input was not "
                         "sent\n";
            return false;
        }
        std::this_thread::sleep_for(kLinePause);
        return true;
    };

    while (!quit && inputOpen) {
        pollfd fds[2] = {{frontEnd.fd(), POLLIN, 0},
                         {connectSettled ? STDIN_FILENO : -1, POLLIN, 0}};
        // Items left from the last batch are shown without waiting for another event.
        if (::poll(fds, 2, queue.size() > 0 ? 0 : -1) < 0 && errno != EINTR) {
            break;
        }
        while (const auto event = frontEnd.Take()) {
            switch (*event) {
                case TermEvent::HostConnected:
                    pending.DeferredExec = macros.TakeDeferredExec();
                    OnHostConnected(pending, connection, &*settings);
                    connectSettled = true;
                    break;
                case TermEvent::Quit:
                    quit = true;
                    break;
                default:
                    break;  // display text is drained below; the terminal has no user list
            }
        }
        shownItems += drain.Drain(sink, kDrainBatch);
        sink.Flush();
        // A failed attempt settles too: it shows at least its connecting line and two failure
        // lines, and its flags are back to 0 before the failure lines are posted.
        if (!connectSettled && shownItems >= 3 && IsConnecting() == 0 && ConnectPending() == 0 &&
            IsConnected() == 0) {
            connectSettled = true;
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            const bool more = input.Read();
            while (auto line = input.Next(!more)) {
                if (!sendLine(*line)) {
                    input.DropPending();
                    break;
                }
            }
            if (!more) {
                inputOpen = false;
            }
        }
    }

    if (!quit) {
        connection.PostDisconnect();
    }
    session.reset();  // the connection thread finishes its work and says goodbye
    drain.Drain(sink);
    sink.Flush();
    return 0;
}

}  // namespace tessel
