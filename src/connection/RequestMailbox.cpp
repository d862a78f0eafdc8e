// SPDX-License-Identifier: MIT

#include "connection/RequestMailbox.h"

#include <algorithm>
#include <cstring>

namespace tessel {

bool RequestMailbox::PostText(ThreadMessage message, std::string_view text,
                              std::optional<std::chrono::milliseconds> wait) {
    if (wait) {
        if (!RequestSemaphore.try_acquire_for(*wait)) {
            return false;
        }
    } else {
        RequestSemaphore.acquire();
    }
    RequestBuffer.fill('\0');
    if (!text.empty()) {
        std::memcpy(RequestBuffer.data(), text.data(), std::min(text.size(), kMaxText));
    }
    Enqueue({message, {}, 0});
    return true;
}

void RequestMailbox::PostData(ThreadMessage message, std::string_view block) {
    RequestSemaphore.acquire();
    const std::size_t count = std::min(block.size(), kBufferSize);
    if (count > 0) {
        std::memcpy(RequestBuffer.data(), block.data(), count);
    }
    Enqueue({message, {}, count});
}

void RequestMailbox::PostConnect(const ConnectRequest& request) {
    Enqueue({ThreadMessage::Connect, request, 0});
}

void RequestMailbox::PostDisconnect() {
    Enqueue({ThreadMessage::Disconnect, {}, 0});
}

void RequestMailbox::PostStop() {
    Enqueue({ThreadMessage::Stop, {}, 0});
}

void RequestMailbox::Enqueue(QueuedMessage message) {
    {
        std::lock_guard guard(queueLock_);
        queue_.push_back(std::move(message));
    }
    wake_();
}

std::optional<QueuedMessage> RequestMailbox::Take() {
    std::lock_guard guard(queueLock_);
    if (queue_.empty()) {
        return std::nullopt;
    }
    QueuedMessage message = std::move(queue_.front());
    queue_.pop_front();
    return message;
}

std::string RequestMailbox::TakeText() {
    std::string text(RequestBuffer.data(), ::strnlen(RequestBuffer.data(), kMaxText));
    RequestSemaphore.release();
    return text;
}

std::string RequestMailbox::TakeData(std::size_t count) {
    std::string data(RequestBuffer.data(), std::min(count, kBufferSize));
    RequestSemaphore.release();
    return data;
}

}  // namespace tessel
