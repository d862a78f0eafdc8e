// SPDX-License-Identifier: MIT

#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "display/DisplayQueue.h"
#include "protocol/Charset.h"

namespace tessel {

// One line of the display pane as it was shown: when it began and its coloured runs.
struct RecordedLine {
    std::int64_t time = 0;  // seconds since the epoch
    // Shift-JIS; every run opens with the colour marker of its slot, so the slots need no
    // context from the lines before. No line end.
    std::string runs;

    friend bool operator==(const RecordedLine&, const RecordedLine&) = default;
};

// The whole evening's display lines, kept apart from the pane (which trims itself to a few
// screens), so that they can be saved as a page afterwards. Bounded by a count of lines and by
// the bytes they take: past either bound the oldest lines go first, and the record remembers
// how many went so that a saved page says so once.
//
// Fed with the runs the pane paints, in order; a line ends at each line feed (a carriage
// return before it is dropped too). The record is touched on the front end's thread only.
class SessionRecord {
  public:
    static constexpr std::size_t kMaxLines = 200'000;
    static constexpr std::size_t kMaxBytes = std::size_t{64} << 20;
    // What a kept line costs besides its text, counted toward the byte bound.
    static constexpr std::size_t kLineOverhead = sizeof(RecordedLine) + 16;

    struct Limits {
        std::size_t lines = kMaxLines;
        std::size_t bytes = kMaxBytes;
    };
    // Told of every line as it is finished (an HTML log writes it then).
    using LineFinished = std::function<void(const RecordedLine&)>;

    SessionRecord() : SessionRecord(Limits{}) {}
    explicit SessionRecord(Limits limits) : limits_(limits) {}

    // One run in slot `slot`; `now` is the time a line that begins here is stamped with.
    void AppendRun(ColourMarker slot, std::string_view text, std::int64_t now,
                   const LineFinished& finished = nullptr);

    // The finished lines, oldest first; then the line still open, if it holds anything.
    const std::deque<RecordedLine>& Lines() const { return lines_; }
    const RecordedLine* OpenLine() const { return open_ ? &openLine_ : nullptr; }
    std::size_t Bytes() const { return bytes_; }
    // How many of the oldest lines were let go to stay within the bounds.
    std::uint64_t Dropped() const { return dropped_; }

  private:
    void Finish(const LineFinished& finished);

    Limits limits_;
    std::deque<RecordedLine> lines_;
    std::size_t bytes_ = 0;
    std::uint64_t dropped_ = 0;
    RecordedLine openLine_;  // its room is kept from line to line
    bool open_ = false;
};

// The runs of a recorded line, in order, each with its slot.
template <typename Visit>
void ForEachRecordedRun(const RecordedLine& line, Visit&& visit) {
    const std::string_view runs = line.runs;
    std::size_t pos = 0;
    while (pos + 2 <= runs.size()) {
        const ColourMarker slot = ColourMarkerOf(runs[pos + 1]).value_or(ColourMarker::Normal);
        // The next marker starts the next run. Run text was walked as Shift-JIS when the pane
        // painted it, so a marker lead never sits inside a run's characters; still, search by
        // the same walk rather than by bytes.
        std::size_t end = pos + 2;
        while (end < runs.size()) {
            const std::size_t length = ShiftJisCharLength(runs, end);
            if (MarkerAt(runs, end, length)) {
                break;
            }
            end += length;
        }
        visit(slot, runs.substr(pos + 2, end - pos - 2));
        pos = end;
    }
}

}  // namespace tessel
