// SPDX-License-Identifier: MIT

#include "connection/ClientSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <random>

#include "connection/ConnectionTexts.h"
#include "platform/SocketErrors.h"
#include "protocol/TextFormat.h"

namespace tessel {
namespace {

struct AddressListDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

}  // namespace

CClientSocket::CClientSocket(DisplayQueue& display, FrontEnd& frontEnd, Clock::duration silence,
                             ReconnectDelays reconnectDelays)
    : display_(display),
      frontEnd_(frontEnd),
      message_(this),
      reader_(silence),
      reconnector_(reconnectDelays, std::random_device{}(),
                   [this](std::string text) { Show(std::move(text)); }) {
    RecreateSocket();
}

CClientSocket::~CClientSocket() {
    SendClose();
    FlushBeforeClose();
    Show(std::string(texts::kConnectionClosed));
    CloseSocket();
}

void CClientSocket::Show(std::string text) {
    PostSystemLine(display_, std::move(text));
}

void CClientSocket::RecreateSocket() {
    CloseSocket();
    reader_.Reset();
    unsent_.clear();
    paused_ = false;
}

void CClientSocket::CloseSocket() {
    if (fd_ >= 0) {
        ::close(fd_);
        ++generation_;
    }
    fd_ = -1;
    EnterPhase(ConnectionPhase::Idle);
}

// Every change of phase is told, so a front end follows it without looking at the flags.
void CClientSocket::EnterPhase(ConnectionPhase phase) {
    if (CurrentConnectionPhase() == phase) {
        return;
    }
    SetConnectionPhase(phase);
    frontEnd_.ConnectionPhaseChanged();
}

void CClientSocket::ReportConnectError(int code) {
    if (code == kWsaWouldBlock) {
        Show(std::string(texts::kConnecting));
        return;
    }
    Show(std::string(texts::kConnectFailed));
    switch (code) {
        case kWsaInvalidArgument:
            Show(std::string(texts::kCannotReachHost));
            break;
        case kWsaTimedOut:
            Show(std::string(texts::kTimedOut));
            break;
        case kWsaConnectionRefused:
            Show(std::string(texts::kRefused));
            break;
        case kWsaHostUnreachable:
            Show(std::string(texts::kUnreachable));
            break;
        default:
            Show(FillText(texts::kOtherError, {std::to_string(code)}));
            break;
    }
}

namespace {

// Takes the first IPv4 address when there is one: the relay and most servers listen on IPv4
// only, while "localhost" often resolves to ::1 first.
const addrinfo* PreferredAddress(const addrinfo* list) {
    for (const addrinfo* a = list; a != nullptr; a = a->ai_next) {
        if (a->ai_family == AF_INET) {
            return a;
        }
    }
    return list;
}

}  // namespace

void CClientSocket::ConnectToHost(const ConnectRequest& request) {
    if (IsConnected() || ConnectPending()) {
        Disconnect();  // never drop a live connection without a goodbye and a cleared session
    }
    RecreateSocket();
    host_ = request.host.str();
    port_ = request.port;
    Show(FillText(texts::kConnectingTo, {host_, std::to_string(port_)}));
    EnterPhase(ConnectionPhase::Connecting);

    int code = kWsaWouldBlock;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port_);
    if (host_.empty() || port_ < 0 || port_ > 65535) {
        code = kWsaInvalidArgument;
    } else if (getaddrinfo(host_.c_str(), service.c_str(), &hints, &found) != 0 ||
               found == nullptr) {
        code = kWsaHostNotFound;
    }
    const std::unique_ptr<addrinfo, AddressListDeleter> addresses(found);

    if (code == kWsaWouldBlock) {
        const addrinfo* address = PreferredAddress(found);
        fd_ = ::socket(address->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC,
                       address->ai_protocol);
        if (fd_ < 0) {
            code = WinsockCodeFromErrno(errno);
        } else {
            const int size = kReceiveBufferSize;
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
            // Requests are small and often unanswered (chat, OPEN before JOIN): without this,
            // each one after an unanswered one waits for the server's delayed acknowledgement.
            const int noDelay = 1;
            ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
            // A non-blocking connect always completes through the poll loop, even on loopback
            // where the kernel may finish it at once, so the user sees the same lines either way.
            if (::connect(fd_, address->ai_addr, address->ai_addrlen) != 0 &&
                errno != EINPROGRESS) {
                code = WinsockCodeFromErrno(errno);
            }
        }
    }

    if (code != kWsaWouldBlock) {
        CloseSocket();
        ReportConnectError(code);
        reconnector_.AttemptFailed(Clock::now());
        frontEnd_.ConnectAttemptEnded();
        return;
    }
    EnterPhase(ConnectionPhase::Pending);
    ReportConnectError(code);
    UpdateLocalName();
}

void CClientSocket::OnConnect(int error) {
    if (error != 0) {
        CloseSocket();
        ReportConnectError(error == kWsaWouldBlock ? kWsaTimedOut : error);
        reconnector_.AttemptFailed(Clock::now());
        frontEnd_.ConnectAttemptEnded();
        return;
    }
    reader_.Reset();
    UpdateLocalName();
    EnterPhase(ConnectionPhase::Connected);
    Show(std::string(texts::kConnected));
    // Before the front end hears of it, so its connection-up sequence finds the names.
    reconnector_.AttemptConnected();
    frontEnd_.HostConnected();
    frontEnd_.ConnectAttemptEnded();
}

void CClientSocket::OnClose() {
    Show(std::string(texts::kLineDropped));
    // The names go with the close; a reconnect needs them first.
    const std::string handle = CurrentHandle();
    const std::string channel = CurrentChannel();
    Closed();
    ConnectRequest target;
    target.host.assign(host_);
    target.port = port_;
    reconnector_.Dropped(target, handle, channel, Clock::now());
}

void CClientSocket::Disconnect() {
    SendClose();
    FlushBeforeClose();
    Closed();
}

// Output still queued (the kernel buffer was full) would be lost with the socket, the goodbye
// among it: give it a short while to leave, and say what had to be given up.
void CClientSocket::FlushBeforeClose() {
    if (!IsConnected()) {
        return;
    }
    const auto deadline = Clock::now() + kCloseFlushLimit;
    while (!unsent_.empty()) {
        FlushUnsent();
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (unsent_.empty() || left <= 0) {
            break;
        }
        pollfd writable{fd_, POLLOUT, 0};
        const int ready = ::poll(&writable, 1, static_cast<int>(left));
        if ((ready < 0 && errno != EINTR) ||
            (ready > 0 && (writable.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)) {
            break;
        }
    }
    if (!unsent_.empty()) {
        Show(FillText(texts::kUnsentDropped, {std::to_string(unsent_.size())}));
        unsent_.clear();
    }
}

// The flags and the session texts change before the front end hears of the close, so what it
// draws in answer (enabled commands, the title) already sees the closed state.
void CClientSocket::Closed() {
    const bool attemptAbandoned = ConnectPending();
    RecreateSocket();
    SetCurrentHandle("");
    SetCurrentChannel("");
    Show(std::string(texts::kConnectionClosed));
    frontEnd_.UserListClear();
    frontEnd_.TitleRefresh();
    if (attemptAbandoned) {
        frontEnd_.ConnectAttemptEnded();
    }
}

void CClientSocket::SendClose() {
    const std::string header = message_.HeaderOnlyRequest("CLOSE\n");
    // The goodbye may pass the queue's limit: it is the last thing this connection sends.
    Queue(header, true);
}

SendResult CClientSocket::Send(std::string_view bytes) {
    return Queue(bytes, false);
}

SendResult CClientSocket::Queue(std::string_view bytes, bool goodbye) {
    if (!IsConnected() || bytes.empty()) {
        return SendResult::NotConnected;
    }
    if (unsent_.empty()) {
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            // The poll loop notices the broken connection and closes it.
            return SendResult::NotConnected;
        }
        bytes.remove_prefix(sent < 0 ? 0 : static_cast<std::size_t>(sent));
    }
    if (bytes.empty()) {
        return SendResult::Sent;
    }
    if (!goodbye && unsent_.size() + bytes.size() > kMaxUnsent) {
        return SendResult::QueueFull;
    }
    unsent_.append(bytes);
    return SendResult::Sent;
}

void CClientSocket::FlushUnsent() {
    while (!unsent_.empty()) {
        const ssize_t sent =
            ::send(fd_, unsent_.data(), unsent_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent <= 0) {
            return;
        }
        unsent_.erase(0, static_cast<std::size_t>(sent));
    }
}

short CClientSocket::PollEvents() const {
    switch (CurrentConnectionPhase()) {
        case ConnectionPhase::Connecting:
        case ConnectionPhase::Pending:
            return POLLOUT;
        case ConnectionPhase::Connected:
            // While the display queue is full the socket is not read, so TCP holds the server
            // back; the queue's room listener wakes the thread when the front end has caught up.
            return static_cast<short>((ReadingPaused() ? 0 : POLLIN) |
                                      (unsent_.empty() ? 0 : POLLOUT));
        case ConnectionPhase::Idle:
            break;
    }
    return 0;
}

void CClientSocket::OnPollEvents(short revents, Clock::time_point now) {
    if (revents == 0) {
        return;
    }
    if (ConnectPending()) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
            error = errno;
        }
        OnConnect(WinsockCodeFromErrno(error));
        return;
    }
    if (!IsConnected()) {
        return;
    }
    if (revents & POLLOUT) {
        FlushUnsent();
    }
    if (revents & (POLLIN | POLLHUP | POLLERR)) {
        // A broken connection is taken down even while reading is paused (poll reports it
        // whatever was asked for, and would report it again at once): what is left to read is
        // bounded, and nothing more can follow it.
        ReadAvailable(now, (revents & (POLLHUP | POLLERR)) != 0);
    }
}

std::optional<CClientSocket::Clock::time_point> CClientSocket::Deadline() const {
    // The client's own pause is no silence of the server's.
    std::optional<Clock::time_point> silence;
    if (!paused_ && !ReadingPaused()) {
        silence = reader_.Deadline();
    }
    const std::optional<Clock::time_point> reconnect = reconnector_.Due();
    if (!silence || (reconnect && *reconnect < *silence)) {
        return reconnect;
    }
    return silence;
}

void CClientSocket::ReadAvailable(Clock::time_point now, bool broken) {
    std::array<char, 65536> chunk;
    // A bounded number of reads per wake keeps the mailbox served while a flood arrives.
    for (int round = 0; round < 16 && IsConnected(); ++round) {
        if (Paused(now) && !broken) {
            return;
        }
        const ssize_t n = ::recv(fd_, chunk.data(), chunk.size(), MSG_DONTWAIT);
        if (n > 0) {
            reader_.Feed(std::string_view(chunk.data(), static_cast<std::size_t>(n)), now);
            DeliverMessages(now);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return;
        }
        // The peer closed or the connection broke: what has arrived ends its message.
        reader_.EndOfStream();
        DeliverMessages(now);
        OnClose();
        return;
    }
}

void CClientSocket::DeliverMessages(Clock::time_point now) {
    // What one read brought reaches the front end together: one hand-over, one wake-up.
    const DisplayQueue::PostHold hold(display_);
    while (reader_.Next(incoming_, now)) {
        if (handler_ != nullptr) {
            handler_->OnMessage(incoming_);
        }
    }
}

bool CClientSocket::Paused(Clock::time_point now) {
    if (ReadingPaused()) {
        paused_ = true;
        return true;
    }
    if (paused_) {
        paused_ = false;
        reader_.Resumed(now);
    }
    return false;
}

void CClientSocket::OnTimer(Clock::time_point now) {
    if (IsConnected() && !Paused(now)) {
        DeliverMessages(now);
    }
    if (const std::optional<ConnectRequest> attempt = reconnector_.TakeDueAttempt(now)) {
        ConnectToHost(*attempt);
    }
}

void CClientSocket::UpdateLocalName() {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    std::string text;
    std::int32_t port = 0;
    if (fd_ >= 0 && ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        char buffer[INET6_ADDRSTRLEN] = {};
        if (address.ss_family == AF_INET) {
            const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
            ::inet_ntop(AF_INET, &v4->sin_addr, buffer, sizeof buffer);
            port = ntohs(v4->sin_port);
        } else if (address.ss_family == AF_INET6) {
            const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
            ::inet_ntop(AF_INET6, &v6->sin6_addr, buffer, sizeof buffer);
            port = ntohs(v6->sin6_port);
        }
        text = buffer;
    }
    std::lock_guard guard(localLock_);
    localAddress_ = text;
    localPort_ = port;
}

std::string CClientSocket::LocalAddress() const {
    std::lock_guard guard(localLock_);
    return localAddress_;
}

std::int32_t CClientSocket::LocalPort() const {
    std::lock_guard guard(localLock_);
    return localPort_;
}

}  // namespace tessel
