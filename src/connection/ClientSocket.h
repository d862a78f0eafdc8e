// SPDX-License-Identifier: MIT

#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "connection/ConnectionState.h"
#include "connection/MessageReader.h"
#include "connection/Reconnector.h"
#include "display/DisplayQueue.h"
#include "platform/FrontEnd.h"
#include "protocol/ProtocolMessage.h"

namespace tessel {

// What happens with each message the server sends; runs on the connection thread.
class MessageHandler {
  public:
    virtual ~MessageHandler() = default;
    virtual void OnMessage(ProtocolMessage& message) = 0;
};

// What became of a request handed to Send.
enum class SendResult {
    Sent,          // on the wire, or queued behind earlier output
    NotConnected,  // nothing to send it on (a request while not connected fails silently)
    QueueFull,     // the server has stopped reading and the output queue is full: dropped
};

// The client's one TCP connection to the server, driven by the connection thread's poll loop:
// it connects, reports every step and failure as a display line, frames what arrives into
// messages for the handler, sends requests, and makes a fresh socket after every close. Its
// phase is the process-wide ConnectionPhase, which it alone writes.
class CClientSocket : public LocalEndpoint {
  public:
    using Clock = MessageReader::Clock;

    // More unsent output than this means the server has stopped reading: later requests are
    // dropped rather than buffered without bound.
    static constexpr std::size_t kMaxUnsent = 1 << 20;
    static constexpr int kReceiveBufferSize = 65536;
    // How long a close waits for queued output to leave before it gives the rest up.
    static constexpr std::chrono::milliseconds kCloseFlushLimit{2000};

    CClientSocket(DisplayQueue& display, FrontEnd& frontEnd,
                  Clock::duration silence = MessageReader::kSilence,
                  ReconnectDelays reconnectDelays = {});
    // Says goodbye to the server (CLOSE) and shows that the connection is closed.
    ~CClientSocket() override;
    CClientSocket(const CClientSocket&) = delete;
    CClientSocket& operator=(const CClientSocket&) = delete;

    void SetMessageHandler(MessageHandler* handler) { handler_ = handler; }

    void ConnectToHost(const ConnectRequest& request);
    // The user's disconnect: CLOSE, close, show it, clear the session, fresh socket.
    void Disconnect();
    void SendClose();
    // Reconnecting after a drop the user did not ask for (off unless switched on).
    Reconnector& reconnector() { return reconnector_; }
    // Ends any reconnect that waits or runs: the user disconnected, connects anew or closed.
    void StopReconnect() { reconnector_.Stop(); }
    // Sends a built request, or queues it behind earlier output. Nothing is retried.
    SendResult Send(std::string_view bytes);

    // The working record for outgoing requests.
    ProtocolMessage& message() { return message_; }

    std::string LocalAddress() const override;
    std::int32_t LocalPort() const override;

    // Poll-loop integration: the descriptor and events to wait for (-1 / 0 for none), what
    // happened, and when a message in progress must be ended by silence.
    int PollFd() const { return CurrentConnectionPhase() == ConnectionPhase::Idle ? -1 : fd_; }
    short PollEvents() const;
    void OnPollEvents(short revents, Clock::time_point now);
    std::optional<Clock::time_point> Deadline() const;
    // Changes whenever the descriptor is closed or replaced, so events polled for an earlier
    // socket are never applied to a later one that happens to reuse its number.
    std::uint64_t generation() const { return generation_; }
    void OnTimer(Clock::time_point now);

  private:
    void RecreateSocket();
    void CloseSocket();
    void EnterPhase(ConnectionPhase phase);
    void OnConnect(int error);
    void OnClose();
    void Closed();
    void ReportConnectError(int code);
    void ReadAvailable(Clock::time_point now, bool broken = false);
    void DeliverMessages(Clock::time_point now);
    void FlushUnsent();
    void FlushBeforeClose();
    SendResult Queue(std::string_view bytes, bool goodbye);
    bool ReadingPaused() const { return display_.Full(); }
    // Notes whether reading is paused now; on resuming, silence counts afresh.
    bool Paused(Clock::time_point now);
    void UpdateLocalName();
    void Show(std::string text);

    DisplayQueue& display_;
    FrontEnd& frontEnd_;
    MessageHandler* handler_ = nullptr;
    int fd_ = -1;
    std::uint64_t generation_ = 0;
    std::string host_;
    std::int32_t port_ = 0;
    ProtocolMessage message_;
    ProtocolMessage incoming_;  // separate: a request may go out while a message arrives
    MessageReader reader_;
    bool paused_ = false;  // reading stopped while the display queue is full
    std::string unsent_;
    Reconnector reconnector_;
    mutable std::mutex localLock_;
    std::string localAddress_;
    std::int32_t localPort_ = 0;
};

}  // namespace tessel
