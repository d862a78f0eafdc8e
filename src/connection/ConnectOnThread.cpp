// SPDX-License-Identifier: MIT

#include "connection/ConnectOnThread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/WriteAll.h"

namespace tessel {

CConnectOnThread::CConnectOnThread(DisplayQueue& display, FrontEnd& frontEnd,
                                   MessageReader::Clock::duration silence,
                                   ReconnectDelays reconnectDelays)
    : display_(display),
      wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      mailbox_([this] { Wake(); }),
      socket_(std::make_unique<CClientSocket>(display, frontEnd, silence, reconnectDelays)) {
    if (wakeFd_ < 0) {
        // Without it no request could ever reach the thread; nothing sensible can go on.
        std::perror("tessel: cannot create the connection thread's event descriptor");
        std::abort();
    }
    SetConnectionPhase(ConnectionPhase::Idle);
    // A full display queue stops the socket's reading; the front end's drain resumes it.
    display_.SetRoomListener([this] { Wake(); });
}

CConnectOnThread::~CConnectOnThread() {
    display_.SetRoomListener({});
    if (thread_.joinable()) {
        mailbox_.PostStop();
        thread_.join();
    }
    socket_.reset();
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
    }
}

void CConnectOnThread::Start(MessageHandler& received, RequestHandler& requests) {
    socket_->SetMessageHandler(&received);
    requests_ = &requests;
    thread_ = std::thread([this] { Run(); });
}

void CConnectOnThread::Wake() {
    const std::uint64_t one = 1;
    WriteAll(wakeFd_, std::string_view(reinterpret_cast<const char*>(&one), sizeof one));
}

bool CConnectOnThread::HandleMessages() {
    while (auto queued = mailbox_.Take()) {
        switch (queued->message) {
            case ThreadMessage::Stop:
                return false;
            case ThreadMessage::Connect:
                socket_->StopReconnect();
                socket_->ConnectToHost(queued->connect);
                break;
            case ThreadMessage::Disconnect:
                socket_->StopReconnect();
                if (IsConnected() || ConnectPending()) {
                    socket_->Disconnect();
                }
                break;
            case ThreadMessage::Open:
                requests_->SendOpen(mailbox_.TakeText());
                break;
            case ThreadMessage::Join:
                requests_->SendJoin(mailbox_.TakeText());
                break;
            case ThreadMessage::Command: {
                const std::string text = mailbox_.TakeText();
                if (!text.empty()) {
                    requests_->SendCommand(text);
                }
                break;
            }
            case ThreadMessage::SendData:
            case ThreadMessage::SendSound:
                requests_->SendData(mailbox_.TakeData(queued->count));
                break;
        }
    }
    return true;
}

void CConnectOnThread::Run() {
    using Clock = MessageReader::Clock;
    for (;;) {
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {socket_->PollFd(), socket_->PollEvents(), 0}};
        int timeout = -1;
        if (const auto deadline = socket_->Deadline()) {
            const auto wait =
                std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
            timeout = static_cast<int>(std::clamp<std::int64_t>(wait.count(), 0, 60'000));
        }
        if (::poll(fds, 2, timeout) < 0) {
            if (errno != EINTR) {
                // Out of kernel memory: wait a moment instead of spinning, then try again.
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            continue;
        }
        const std::uint64_t polledGeneration = socket_->generation();
        const int polledFd = fds[1].fd;
        if (fds[0].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
            if (!HandleMessages()) {
                return;
            }
        }
        // A message above may have closed or replaced the socket: its old events are stale.
        if (polledFd >= 0 && polledGeneration == socket_->generation()) {
            socket_->OnPollEvents(fds[1].revents, Clock::now());
        }
        socket_->OnTimer(Clock::now());
    }
}

}  // namespace tessel
