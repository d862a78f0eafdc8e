// SPDX-License-Identifier: MIT

#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/FrontEnd.h"

namespace tessel {

enum class DisplayKind : std::int32_t {
    Chat = 0,
    System = 1,
    Roll = 2,
};

// The roll a `Roll` item reports: the numbers of the server's SHOW line, the modifier and the
// note the roll's ID carried (the note in Shift-JIS; only its first word is shown).
struct RollInfo {
    std::int32_t count = 0;
    std::int32_t sides = 0;
    std::int32_t rule = 0;
    std::int32_t parameter = 0;  // 128 and more: a re-roll
    std::int32_t modifier = 0;
    std::string note;

    friend bool operator==(const RollInfo&, const RollInfo&) = default;
};

// One thing to show in the display pane. Texts are Shift-JIS; `text` carries its own line
// ends except for a chat line from a user, which the display adds.
struct DisplayItem {
    std::string name;
    std::string text;
    DisplayKind kind = DisplayKind::Chat;  // other values are shown as `text`, unchanged
    std::int32_t systemName = 0;           // with Chat: 1 shows the whole line as a system line
    RollInfo rollInfo;                     // Roll only

    friend bool operator==(const DisplayItem&, const DisplayItem&) = default;
};

// Colour markers inside display text: two bytes, the first a Shift-JIS lead byte, selecting
// the colour of the text up to the next marker.
inline constexpr char kMarkerLead = '\xFC';
inline constexpr std::string_view MarkNormal = "\xFC\xFC";
inline constexpr std::string_view MarkName = "\xFC\xFB";
inline constexpr std::string_view MarkSystem = "\xFC\xFA";
inline constexpr std::string_view MarkDice = "\xFC\xF9";

enum class ColourMarker : std::int32_t { Normal = 0, Name = 1, System = 2, Dice = 3 };

// The colour slot a marker's second byte selects, if it is one.
constexpr std::optional<ColourMarker> ColourMarkerOf(char second) {
    switch (static_cast<unsigned char>(second)) {
        case 0xFC:
            return ColourMarker::Normal;
        case 0xFB:
            return ColourMarker::Name;
        case 0xFA:
            return ColourMarker::System;
        case 0xF9:
            return ColourMarker::Dice;
        default:
            return std::nullopt;
    }
}

// The marker that the character of `length` bytes at `pos` is, if it is one.
constexpr std::optional<ColourMarker> MarkerAt(std::string_view text, std::size_t pos,
                                               std::size_t length) {
    if (length != 2 || text[pos] != kMarkerLead) {
        return std::nullopt;
    }
    return ColourMarkerOf(text[pos + 1]);
}

// Text from a peer that travelled without conversion (a Shift-JIS body) could carry marker
// pairs and paint itself in the program's own colours, posing as a system line. Each marker
// pair found character by character becomes the geta mark, the customary stand-in for a
// character that cannot be shown.
std::string WithoutMarkers(std::string_view text);

// First-in first-out hand-over of display items from any thread to the front end's thread.
// Items are copied in and out; every hand-over wakes the front end, which drains until empty.
//
// A thread that posts many items at once (the connection thread delivering what one read
// brought) holds its posts (see PostHold): they gather without a lock and are handed over
// together, with one lock and one wake-up, so the front end is not woken once per line.
//
// Every post is accepted, so no line is ever lost, but past a high mark (items or bytes) the
// queue counts as full until the front end has drained it below a low mark. The connection
// thread stops reading the socket while it is full, so a server that floods faster than the
// front end shows is held back by TCP instead of growing the client's memory.
class DisplayQueue {
  public:
    // Texts longer than a display item's field are cut to it.
    static constexpr std::size_t kMaxTextLength = 4351;
    static constexpr std::size_t kHighItems = 4096;
    static constexpr std::size_t kHighBytes = std::size_t{4} << 20;
    static constexpr std::size_t kLowItems = kHighItems / 2;
    static constexpr std::size_t kLowBytes = kHighBytes / 2;

    explicit DisplayQueue(FrontEnd& frontEnd) : frontEnd_(frontEnd) {}
    DisplayQueue(const DisplayQueue&) = delete;
    DisplayQueue& operator=(const DisplayQueue&) = delete;

    // Peer text never carries colour markers of its own: every marker pair in the texts is
    // neutralised here (see WithoutMarkers), as markers are only added when a line is drawn.
    void PostDisplayItem(DisplayItem item);
    std::optional<DisplayItem> TakeDisplayItem();
    // Moves up to `max` items, oldest first, to the end of `out` under one lock; returns how
    // many. A drain that takes a batch at once does not contend with the producer per item.
    std::size_t TakeDisplayItems(std::vector<DisplayItem>& out, std::size_t max);
    void Clear();
    std::size_t size() const;

    // While a hold lives, posts from the thread that made it gather and are handed over when
    // it ends, at Release, or once kHeldItems have gathered; posts from other threads go
    // straight in. One thread holds at a time; a hold made inside another by the same thread
    // belongs to the outer one.
    class PostHold {
      public:
        explicit PostHold(DisplayQueue& queue);
        ~PostHold();
        PostHold(const PostHold&) = delete;
        PostHold& operator=(const PostHold&) = delete;

      private:
        DisplayQueue& queue_;
        bool outer_;
    };
    static constexpr std::size_t kHeldItems = kHighItems / 4;
    // Hands over what the calling thread's hold has gathered, so that the front end can see it
    // before an event the thread is about to raise. Nothing to do without a hold.
    void Release();

    // The user table changed. The front end is told once; later changes merge into that one
    // (the newest table is what it will read) until it takes the change. Each merged change
    // counts toward the high mark like an item, so a server that floods user lists is held
    // back by TCP as one that floods lines is, and nothing piles up in the front end's queue.
    void PostUserListChange();
    // Called by the front end before it reads the user table: true when a change was waiting.
    // The next change tells the front end again.
    bool TakeUserListChange();

    // True from passing a high mark until drained below both low marks.
    bool Full() const;
    // Called, on the draining thread, each time a full queue has been drained below its low
    // marks. Setting an empty function waits for a call in progress to finish.
    void SetRoomListener(std::function<void()> listener);

  private:
    void Emptied(std::unique_lock<std::mutex>& guard);
    bool HeldHere() const {
        return holder_.load(std::memory_order_relaxed) == std::this_thread::get_id();
    }
    void Enqueue(DisplayItem&& item);
    void NoteHighMarks();  // full from the moment a high mark is passed
    std::size_t Waiting() const { return items_.size() - head_; }
    void Advance(std::size_t taken);

    FrontEnd& frontEnd_;
    mutable std::mutex lock_;
    std::vector<DisplayItem> items_;  // waiting from head_ on
    std::size_t head_ = 0;
    std::size_t bytes_ = 0;
    bool full_ = false;
    bool userListPending_ = false;
    std::size_t mergedUserLists_ = 0;
    std::mutex listenerLock_;
    std::function<void()> roomListener_;
    // The thread holding its posts, and what it has gathered (touched by that thread only).
    std::atomic<std::thread::id> holder_{};
    std::vector<DisplayItem> held_;
};

// Posts a notice in the system colour: a `System` item holding only `text`.
void PostSystemLine(DisplayQueue& queue, std::string text);

}  // namespace tessel
