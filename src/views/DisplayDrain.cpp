#include "views/DisplayDrain.h"

#include "views/RollReport.h"

#include <algorithm>

namespace tessel {
namespace {

// Items taken from the queue under one lock.
constexpr int kBatch = 64;

}  // namespace

void DisplayDrain::Show(DisplaySink& sink, std::string_view line) {
    splitter_.Paint(
        line, [&sink](ColourMarker slot, std::string_view run) { sink.AppendRun(slot, run); });
}

int DisplayDrain::Drain(DisplaySink& sink, int limit) {
    int shown = 0;
    while (shown < limit) {
        if (batch_.empty() &&
            services_.queue.TakeDisplayItems(
                batch_, static_cast<std::size_t>(std::min(limit - shown, kBatch))) == 0) {
            break;
        }
        std::optional<DisplayItem> item = std::move(batch_.front());
        batch_.pop_front();
        const std::string own = services_.ownHandle ? services_.ownHandle() : std::string();
        const std::string line = BuildDisplayLine(*item);
        // The one place a shown roll becomes the player's own, for re-rolls and fake rolls.
        RecordIfOwnRoll(*item, own);
        if (RunsNotifyCheck(*item) && services_.sound != nullptr && services_.notifySettings) {
            if (NotifyCheck(*item, own, services_.notifySettings(), *services_.sound) &&
                services_.called) {
                services_.called(*item);
            }
        }
        Show(sink, line);
        ++shown;
        if (services_.log == nullptr || !services_.log->IsLogging()) {
            continue;
        }
        const LogWriteResult written = services_.log->WriteLine(LogLineOf(line));
        if (written.status == LogWriteStatus::kFailed) {
            Show(sink, std::string(MarkSystem) + LogWriteFailedNotice(written.path) +
                           std::string(MarkNormal));
        }
    }
    return shown;
}

}  // namespace tessel
