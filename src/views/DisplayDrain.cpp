#include "views/DisplayDrain.h"

#include "views/RollReport.h"

namespace tessel {

void DisplayDrain::Show(DisplaySink& sink, std::string_view line) {
    for (const ColouredRun& run : splitter_.Split(line)) {
        sink.AppendRun(run.slot, run.bytes);
    }
}

int DisplayDrain::Drain(DisplaySink& sink, int limit) {
    int shown = 0;
    while (shown < limit) {
        auto item = services_.queue.TakeDisplayItem();
        if (!item) {
            break;
        }
        const std::string own = services_.ownHandle ? services_.ownHandle() : std::string();
        const std::string line = BuildDisplayLine(*item);
        // The one place a shown roll becomes the player's own, for re-rolls and fake rolls.
        RecordIfOwnRoll(*item, own);
        if (RunsNotifyCheck(*item) && services_.sound != nullptr && services_.notifySettings) {
            NotifyCheck(*item, own, services_.notifySettings(), *services_.sound);
        }
        Show(sink, line);
        ++shown;
        if (services_.log == nullptr) {
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
