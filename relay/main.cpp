// SPDX-License-Identifier: MIT

#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "relay/DiceRoller.h"
#include "relay/RelayOptions.h"
#include "relay/RelayServer.h"
#include "relay/UniqueFd.h"

namespace {

using namespace tessel::relay;

// One write per line, so lines from a busy relay never interleave with anything else.
void LogToStderr(std::string_view line) {
    std::string text = "tessel-relay: ";
    text.append(line).push_back('\n');
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
        if (n <= 0) {
            return;  // a log that cannot be written must not stop the relay
        }
        done += static_cast<std::size_t>(n);
    }
}

// Every client is a descriptor; the usual soft limit of 1024 would be reached by 999
// clients plus the relay's own.
void RaiseDescriptorLimit(int maxClients) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return;
    }
    const rlim_t wanted = static_cast<rlim_t>(maxClients) + 128;
    if (limit.rlim_cur < wanted) {
        limit.rlim_cur = std::min(wanted, limit.rlim_max);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const ParsedOptions parsed = ParseOptions(args);
    if (std::holds_alternative<ShowHelp>(parsed)) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (std::holds_alternative<ShowVersion>(parsed)) {
        std::fputs(VersionText().c_str(), stdout);
        return 0;
    }
    if (const auto* error = std::get_if<OptionsError>(&parsed)) {
        std::fprintf(stderr, "tessel-relay: %s\nTry 'tessel-relay --help'.\n",
                     error->message.c_str());
        return 2;
    }
    const RelayConfig& config = std::get<RelayConfig>(parsed);
    if (!config.seed && !SystemDice::Available()) {
        std::fputs("tessel-relay: the system random source cannot be read; use --seed N\n", stderr);
        return 1;
    }

    // The signals arrive as a readable descriptor in the event loop, so stopping needs no
    // handler and no global flag.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (::sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
        std::perror("tessel-relay: sigprocmask");
        return 1;
    }
    const UniqueFd stopFd(::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!stopFd.valid()) {
        std::perror("tessel-relay: signalfd");
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);
    RaiseDescriptorLimit(config.maxClients);

    RelayServer server(config, LogToStderr);
    std::string error;
    if (!server.CheckGroup(error)) {
        std::fprintf(stderr, "tessel-relay: %s\n", error.c_str());
        return 3;
    }
    if (!server.Listen(error)) {
        std::fprintf(stderr, "tessel-relay: cannot listen on %s:%u: %s\n", config.address.c_str(),
                     static_cast<unsigned>(config.port), error.c_str());
        return 1;
    }
    return server.Run(stopFd.get());
}
