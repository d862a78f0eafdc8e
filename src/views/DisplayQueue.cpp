#include "views/DisplayQueue.h"

namespace tessel {
namespace {

void Cut(std::string& text) {
    if (text.size() > DisplayQueue::kMaxTextLength) {
        text.resize(DisplayQueue::kMaxTextLength);
    }
}

}  // namespace

std::string WithoutMarkers(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        if (lead && i + 1 < text.size()) {
            if (text[i] == kMarkerLead && ColourMarkerOf(text[i + 1])) {
                out += "\x81\xAC";  // the geta mark
            } else {
                out.append(text, i, 2);
            }
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

void DisplayQueue::PostDisplayItem(DisplayItem item) {
    Cut(item.name);
    Cut(item.text);
    Cut(item.rollInfo);
    {
        std::lock_guard guard(lock_);
        items_.push_back(std::move(item));
    }
    frontEnd_.DisplayTextPosted();
}

std::optional<DisplayItem> DisplayQueue::TakeDisplayItem() {
    std::lock_guard guard(lock_);
    if (items_.empty()) {
        return std::nullopt;
    }
    DisplayItem item = std::move(items_.front());
    items_.pop_front();
    return item;
}

void DisplayQueue::Clear() {
    std::lock_guard guard(lock_);
    items_.clear();
}

std::size_t DisplayQueue::size() const {
    std::lock_guard guard(lock_);
    return items_.size();
}

}  // namespace tessel
