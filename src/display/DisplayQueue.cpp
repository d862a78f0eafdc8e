// SPDX-License-Identifier: MIT

#include "display/DisplayQueue.h"

#include <algorithm>
#include <utility>

#include "protocol/Charset.h"

namespace tessel {
namespace {

// Most texts are short and hold no marker lead: ASCII (never a lead) is passed over eight
// bytes at a time, and the rest walked without a call out.
bool HasMarkerLead(std::string_view text) {
    for (std::size_t i = AsciiRunEnd(text, 0); i < text.size(); ++i) {
        if (text[i] == kMarkerLead) {
            return true;
        }
    }
    return false;
}

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
        if (MarkerAt(text, i, length)) {
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
        if (HasMarkerLead(*field)) {
            *field = WithoutMarkers(*field);
        }
    }
    if (HeldHere()) {
        held_.push_back(std::move(item));
        if (held_.size() >= kHeldItems) {
            Release();  // a long hold still hands over as it goes, in bounded batches
        }
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
    NoteHighMarks();
}

void DisplayQueue::NoteHighMarks() {
    if (Waiting() + mergedUserLists_ >= kHighItems || bytes_ >= kHighBytes) {
        full_ = true;
    }
}

DisplayQueue::PostHold::PostHold(DisplayQueue& queue) : queue_(queue), outer_(!queue.HeldHere()) {
    if (outer_) {
        queue_.holder_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    }
}

DisplayQueue::PostHold::~PostHold() {
    if (outer_) {
        queue_.Release();
        queue_.holder_.store(std::thread::id(), std::memory_order_relaxed);
    }
}

void DisplayQueue::Release() {
    if (!HeldHere() || held_.empty()) {
        return;
    }
    {
        std::lock_guard guard(lock_);
        if (Waiting() == 0) {
            // The front end has caught up: the gathered items become the queue as they are,
            // and the emptied vector keeps its room for the next hold.
            items_.swap(held_);
            head_ = 0;
            bytes_ = 0;
            for (const DisplayItem& item : items_) {
                bytes_ += BytesOf(item);
            }
            NoteHighMarks();
        } else {
            for (DisplayItem& item : held_) {
                Enqueue(std::move(item));
            }
        }
    }
    held_.clear();
    frontEnd_.DisplayTextPosted();
}

std::optional<DisplayItem> DisplayQueue::TakeDisplayItem() {
    std::unique_lock guard(lock_);
    if (Waiting() == 0) {
        return std::nullopt;
    }
    DisplayItem item = std::move(items_[head_]);
    bytes_ -= BytesOf(item);
    Advance(1);
    Emptied(guard);
    return item;
}

std::size_t DisplayQueue::TakeDisplayItems(std::vector<DisplayItem>& out, std::size_t max) {
    std::unique_lock guard(lock_);
    const std::size_t n = std::min(max, Waiting());
    if (n > 0 && n == items_.size() && out.empty()) {
        // Everything at once into an empty batch: the vectors trade places, nothing moves.
        items_.swap(out);
        bytes_ = 0;
        head_ = 0;
        Emptied(guard);
        return n;
    }
    for (std::size_t i = head_; i < head_ + n; ++i) {
        bytes_ -= BytesOf(items_[i]);
        out.push_back(std::move(items_[i]));
    }
    Advance(n);
    Emptied(guard);
    return n;
}

// Taken items leave moved-from husks at the front; they are dropped once the queue is empty,
// or once they are the larger part, so the vector neither grows without bound nor allocates
// per item.
void DisplayQueue::Advance(std::size_t taken) {
    head_ += taken;
    if (head_ == items_.size()) {
        items_.clear();
        head_ = 0;
    } else if (head_ >= kLowItems && head_ * 2 >= items_.size()) {
        items_.erase(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(head_));
        head_ = 0;
    }
}

void DisplayQueue::Clear() {
    std::unique_lock guard(lock_);
    items_.clear();
    head_ = 0;
    bytes_ = 0;
    Emptied(guard);
}

void DisplayQueue::Emptied(std::unique_lock<std::mutex>& guard) {
    if (!full_ || Waiting() + mergedUserLists_ >= kLowItems || bytes_ >= kLowBytes) {
        return;
    }
    full_ = false;
    guard.unlock();
    std::lock_guard listener(listenerLock_);
    if (roomListener_) {
        roomListener_();
    }
}

void DisplayQueue::PostUserListChange() {
    {
        std::lock_guard guard(lock_);
        if (userListPending_) {
            ++mergedUserLists_;
            NoteHighMarks();
            return;
        }
        userListPending_ = true;
    }
    frontEnd_.UserListRefresh();
}

bool DisplayQueue::TakeUserListChange() {
    std::unique_lock guard(lock_);
    const bool waiting = std::exchange(userListPending_, false);
    mergedUserLists_ = 0;
    Emptied(guard);
    return waiting;
}

std::size_t DisplayQueue::size() const {
    std::lock_guard guard(lock_);
    return Waiting();
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
