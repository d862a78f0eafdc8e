// SPDX-License-Identifier: MIT

#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string>
#include <string_view>

#include "connection/ConnectionState.h"
#include "protocol/ProtocolState.h"

namespace tessel {

// Thread messages from the front end's thread to the connection thread. The numbers are
// those the window program used.
enum class ThreadMessage : std::uint32_t {
    Connect = 0x600,
    Disconnect = 0x601,
    Open = 0x602,
    Join = 0x603,
    Command = 0x604,
    SendData = 0x605,   // file pieces
    SendSound = 0x606,  // sound-play requests
    Stop = 0x6FF,       // ends the connection thread
};

struct QueuedMessage {
    ThreadMessage message;
    ConnectRequest connect;  // Connect only
    std::size_t count = 0;   // SendData and SendSound: the bytes in the buffer
};

// The one-slot hand-off of request texts: a writer takes RequestSemaphore, fills
// RequestBuffer and posts a thread message; the connection thread copies the buffer and only
// then releases the semaphore, so no writer can overwrite a request not yet taken.
// Connect, disconnect and stop travel as messages of their own, without the buffer.
class RequestMailbox {
  public:
    static constexpr std::size_t kBufferSize = kBodySize;
    static constexpr std::size_t kMaxText = kMaxCommandText;

    // `wake` is called after every post, from the posting thread.
    template <typename Wake>
    explicit RequestMailbox(Wake wake) : wake_(std::move(wake)) {}

    // Posts a text request (cut to 4351 bytes). Waits for the slot without limit, or at most
    // `wait`; false when the slot stayed taken and nothing was posted.
    bool PostText(ThreadMessage message, std::string_view text,
                  std::optional<std::chrono::milliseconds> wait = std::nullopt);
    // Posts a data request: a command line, a line feed and raw bytes (cut to 4352 bytes).
    void PostData(ThreadMessage message, std::string_view block);
    void PostConnect(const ConnectRequest& request);
    void PostDisconnect();
    void PostStop();

    // Connection thread: the next message, if any.
    std::optional<QueuedMessage> Take();
    // Connection thread: copies the text or data out of the buffer and frees the slot.
    std::string TakeText();
    std::string TakeData(std::size_t count);

  private:
    void Enqueue(QueuedMessage message);

    std::function<void()> wake_;
    std::binary_semaphore RequestSemaphore{1};
    std::array<char, kBufferSize> RequestBuffer{};
    std::mutex queueLock_;
    std::deque<QueuedMessage> queue_;
};

}  // namespace tessel
