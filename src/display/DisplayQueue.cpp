#include "display/DisplayQueue.h"

#include <algorithm>

#include "protocol/Charset.h"

namespace tessel {
namespace {

void Cut(std::string& text) {
    if (text.size() > DisplayQueue::kMaxTextLength) {
        text.resize(DisplayQueue::kMaxTextLength);
    }
}

std::size_t BytesOf(const DisplayItem& item) {
    return sizeof item + item.name.size() + item.text.size() + item.rollInfo.note.size();
}

}  // namespace

std::string WithoutMarkers(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = ShiftJisCharLength(text, i);
        if (length == 2 && text[i] == kMarkerLead && ColourMarkerOf(text[i + 1])) {
            out += "\x81\xAC";  // the geta mark
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out;
}

void PostSystemLine(DisplayQueue& queue, std::string text) {
    DisplayItem item;
    item.kind = DisplayKind::System;
    item.text = std::move(text);
    queue.PostDisplayItem(std::move(item));
}

void DisplayQueue::PostDisplayItem(DisplayItem item) {
    for (std::string* field : {&item.name, &item.text, &item.rollInfo.note}) {
        Cut(*field);
        if (field->find(kMarkerLead) != std::string::npos) {
            *field = WithoutMarkers(*field);
        }
    }
    if (HeldHere()) {
        held_.push_back(std::move(item));
        return;
    }
    {
        std::lock_guard guard(lock_);
        Enqueue(std::move(item));
    }
    frontEnd_.DisplayTextPosted();
}

void DisplayQueue::Enqueue(DisplayItem&& item) {
    bytes_ += BytesOf(item);
    items_.push_back(std::move(item));
    if (items_.size() >= kHighItems || bytes_ >= kHighBytes) {
        full_ = true;
    }
}

DisplayQueue::PostHold::PostHold(DisplayQueue& queue) : queue_(queue) {
    queue_.holder_.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

DisplayQueue::PostHold::~PostHold() {
    queue_.Release();
    queue_.holder_.store(std::thread::id(), std::memory_order_relaxed);
}

void DisplayQueue::Release() {
    if (!HeldHere() || held_.empty()) {
        return;
    }
    {
        std::lock_guard guard(lock_);
        for (DisplayItem& item : held_) {
            Enqueue(std::move(item));
        }
    }
    held_.clear();
    frontEnd_.DisplayTextPosted();
}

std::optional<DisplayItem> DisplayQueue::TakeDisplayItem() {
    std::unique_lock guard(lock_);
    if (items_.empty()) {
        return std::nullopt;
    }
    DisplayItem item = std::move(items_.front());
    items_.pop_front();
    bytes_ -= BytesOf(item);
    Emptied(guard);
    return item;
}

std::size_t DisplayQueue::TakeDisplayItems(std::deque<DisplayItem>& out, std::size_t max) {
    std::unique_lock guard(lock_);
    const std::size_t n = std::min(max, items_.size());
    for (std::size_t i = 0; i < n; ++i) {
        bytes_ -= BytesOf(items_.front());
        out.push_back(std::move(items_.front()));
        items_.pop_front();
    }
    Emptied(guard);
    return n;
}

void DisplayQueue::Clear() {
    std::unique_lock guard(lock_);
    items_.clear();
    bytes_ = 0;
    Emptied(guard);
}

void DisplayQueue::Emptied(std::unique_lock<std::mutex>& guard) {
    if (!full_ || items_.size() >= kLowItems || bytes_ >= kLowBytes) {
        return;
    }
    full_ = false;
    guard.unlock();
    std::lock_guard listener(listenerLock_);
    if (roomListener_) {
        roomListener_();
    }
}

std::size_t DisplayQueue::size() const {
    std::lock_guard guard(lock_);
    return items_.size();
}

bool DisplayQueue::Full() const {
    std::lock_guard guard(lock_);
    return full_;
}

void DisplayQueue::SetRoomListener(std::function<void()> listener) {
    std::lock_guard guard(listenerLock_);
    roomListener_ = std::move(listener);
}

}  // namespace tessel
