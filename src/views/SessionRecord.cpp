// SPDX-License-Identifier: MIT

#include "views/SessionRecord.h"

#include "views/DisplayLine.h"

namespace tessel {
namespace {

constexpr std::string_view MarkerOf(ColourMarker slot) {
    switch (slot) {
        case ColourMarker::Name:
            return MarkName;
        case ColourMarker::System:
            return MarkSystem;
        case ColourMarker::Dice:
            return MarkDice;
        case ColourMarker::Normal:
            break;
    }
    return MarkNormal;
}

}  // namespace

void SessionRecord::AppendRun(ColourMarker slot, std::string_view text, std::int64_t now,
                              const LineFinished& finished) {
    while (!text.empty()) {
        const std::size_t feed = text.find('\n');
        std::string_view piece = text.substr(0, feed);
        text = feed == std::string_view::npos ? std::string_view() : text.substr(feed + 1);
        if (feed != std::string_view::npos && !piece.empty() && piece.back() == '\r') {
            piece.remove_suffix(1);
        }
        if (!open_) {
            openLine_.runs.clear();
            openLine_.time = now;
            open_ = true;
        }
        if (!piece.empty()) {
            openLine_.runs += MarkerOf(slot);
            // A run the pane ended with a lone lead byte (an item's text may) would pair with
            // the next run's marker and swallow it; 0xFF stands for it, shown as U+FFFD just
            // as the lone byte is.
            const std::string_view whole = WholeCharacters(piece);
            openLine_.runs += whole;
            if (whole.size() < piece.size()) {
                openLine_.runs += '\xFF';
            }
        }
        if (feed != std::string_view::npos) {
            Finish(finished);
        }
    }
}

void SessionRecord::Finish(const LineFinished& finished) {
    // A copy sized to the line, not to the longest line the open buffer ever held.
    lines_.push_back(RecordedLine{openLine_.time, std::string(openLine_.runs)});
    open_ = false;
    bytes_ += lines_.back().runs.size() + kLineOverhead;
    if (finished) {
        finished(lines_.back());
    }
    while (!lines_.empty() && (lines_.size() > limits_.lines || bytes_ > limits_.bytes)) {
        bytes_ -= lines_.front().runs.size() + kLineOverhead;
        lines_.pop_front();
        ++dropped_;
    }
}

}  // namespace tessel
