#include "connection/ClientSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "connection/ConnectionTexts.h"
#include "platform/SocketErrors.h"
#include "protocol/TextFormat.h"

namespace tessel {
namespace {

struct AddressListDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

}  // namespace

CClientSocket::CClientSocket(DisplayQueue& display, FrontEnd& frontEnd, Clock::duration silence)
    : display_(display), frontEnd_(frontEnd), message_(this), reader_(silence) {
    RecreateSocket();
}

CClientSocket::~CClientSocket() {
    SendClose();
    Show(std::string(texts::kConnectionClosed));
    CloseSocket();
}

void CClientSocket::Show(std::string text) {
    DisplayItem item;
    item.kind = DisplayKind::System;
    item.text = std::move(text);
    display_.PostDisplayItem(std::move(item));
}

void CClientSocket::RecreateSocket() {
    CloseSocket();
    reader_.Reset();
    unsent_.clear();
}

void CClientSocket::CloseSocket() {
    if (fd_ >= 0) {
        ::close(fd_);
        ++generation_;
    }
    fd_ = -1;
    state_ = Phase::Idle;
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
    if (IsConnected() == 1 || ConnectPending() == 1) {
        Disconnect();  // never drop a live connection without a goodbye and a cleared session
    }
    RecreateSocket();
    host_ = request.host.str();
    port_ = request.port;
    Show(FillText(texts::kConnectingTo, {host_, std::to_string(port_)}));
    SetIsConnecting(1);
    SetConnectPending(1);

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
            // A non-blocking connect always completes through the poll loop, even on loopback
            // where the kernel may finish it at once, so the user sees the same lines either way.
            if (::connect(fd_, address->ai_addr, address->ai_addrlen) != 0 &&
                errno != EINPROGRESS) {
                code = WinsockCodeFromErrno(errno);
            } else {
                state_ = Phase::Connecting;
            }
        }
    }

    SetIsConnecting(0);
    if (code != kWsaWouldBlock) {
        SetConnectPending(0);
        CloseSocket();
        ReportConnectError(code);
        return;
    }
    ReportConnectError(code);
    UpdateLocalName();
}

void CClientSocket::OnConnect(int error) {
    SetConnectPending(0);
    if (error != 0) {
        SetIsConnected(0);
        CloseSocket();
        ReportConnectError(error == kWsaWouldBlock ? kWsaTimedOut : error);
        return;
    }
    state_ = Phase::Connected;
    reader_.Reset();
    UpdateLocalName();
    SetIsConnected(1);
    Show(std::string(texts::kConnected));
    frontEnd_.HostConnected();
}

void CClientSocket::OnClose() {
    Show(std::string(texts::kLineDropped));
    Closed();
}

void CClientSocket::Disconnect() {
    SendClose();
    Closed();
}

// The flags and the session texts change before the front end hears of the close, so what it
// draws in answer (enabled commands, the title) already sees the closed state.
void CClientSocket::Closed() {
    RecreateSocket();
    SetIsConnected(0);
    SetConnectPending(0);
    SetCurrentHandle("");
    SetCurrentChannel("");
    Show(std::string(texts::kConnectionClosed));
    frontEnd_.UserListClear();
    frontEnd_.TitleRefresh();
}

void CClientSocket::SendClose() {
    message_.SetCommandLine("CLOSE\n", ContentType::Other, 0);
    message_.ToEuc(MessageField::CommandLine);
    std::string header;
    message_.BuildHeader(header);
    Send(header);
}

bool CClientSocket::Send(std::string_view bytes) {
    if (state_ != Phase::Connected || bytes.empty()) {
        return false;
    }
    if (unsent_.empty()) {
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return false;  // the poll loop notices the broken connection and closes it
        }
        bytes.remove_prefix(sent < 0 ? 0 : static_cast<std::size_t>(sent));
    }
    if (bytes.empty()) {
        return true;
    }
    if (unsent_.size() + bytes.size() > kMaxUnsent) {
        return false;
    }
    unsent_.append(bytes);
    return true;
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
    switch (state_) {
        case Phase::Connecting:
            return POLLOUT;
        case Phase::Connected:
            return static_cast<short>(POLLIN | (unsent_.empty() ? 0 : POLLOUT));
        case Phase::Idle:
            break;
    }
    return 0;
}

void CClientSocket::OnPollEvents(short revents, Clock::time_point now) {
    if (revents == 0) {
        return;
    }
    if (state_ == Phase::Connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
            error = errno;
        }
        OnConnect(WinsockCodeFromErrno(error));
        return;
    }
    if (state_ != Phase::Connected) {
        return;
    }
    if (revents & POLLOUT) {
        FlushUnsent();
    }
    if (revents & (POLLIN | POLLHUP | POLLERR)) {
        ReadAvailable(now);
    }
}

void CClientSocket::ReadAvailable(Clock::time_point now) {
    std::array<char, 65536> chunk;
    // A bounded number of reads per wake keeps the mailbox served while a flood arrives.
    for (int round = 0; round < 16 && state_ == Phase::Connected; ++round) {
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
    while (reader_.Next(incoming_, now)) {
        if (handler_ != nullptr) {
            handler_->OnMessage(incoming_);
        }
    }
}

void CClientSocket::OnTimer(Clock::time_point now) {
    if (state_ == Phase::Connected) {
        DeliverMessages(now);
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
