#include "views/DisplayQueue.h"

namespace tessel {
namespace {

void Cut(std::string& text) {
    if (text.size() > DisplayQueue::kMaxTextLength) {
        text.resize(DisplayQueue::kMaxTextLength);
    }
}

}  // namespace

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
