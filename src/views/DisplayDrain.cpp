// SPDX-License-Identifier: MIT

#include "views/DisplayDrain.h"

#include "views/RollReport.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <string>
#include <utility>

namespace tessel {
namespace {

// Items taken from the queue under one lock (all that wait, when that is fewer).
constexpr int kBatch = 64;

}  // namespace

void DisplayDrain::Show(DisplaySink& sink, std::string_view line) {
    if (services_.record == nullptr) {
        splitter_.Paint(
            line, [&sink](ColourMarker slot, std::string_view run) { sink.AppendRun(slot, run); });
        return;
    }
    splitter_.Paint(line, [&](ColourMarker slot, std::string_view run) {
        sink.AppendRun(slot, run);
        services_.record->AppendRun(slot, run, now_, finished_);
    });
    if (!htmlLogFailed_.empty()) {
        const std::string failed = std::exchange(htmlLogFailed_, {});
        Show(sink,
             std::string(MarkSystem) + LogWriteFailedNotice(failed) + std::string(MarkNormal));
    }
}

void DisplayDrain::LineFinished(const RecordedLine& line) {
    if (htmlLogOpen_) {
        const LogWriteResult written = services_.log->WriteHtmlLine(line);
        if (written.status == LogWriteStatus::kFailed) {
            htmlLogOpen_ = false;
            htmlLogFailed_ = written.path;
        }
    }
    if (services_.lineFinished) {
        services_.lineFinished(line);
    }
}

std::int64_t DisplayDrain::Now() const {
    return services_.clock ? services_.clock() : static_cast<std::int64_t>(std::time(nullptr));
}

std::string DisplayDrain::OwnHandle() const {
    return services_.ownHandle ? services_.ownHandle() : std::string();
}

int DisplayDrain::Drain(DisplaySink& sink, int limit) {
    int shown = 0;
    // The settings can only change on this thread, between drains: read once per drain.
    std::optional<NotifySettings> notify;
    // Whether a log is open is asked once per drain and once per batch taken, not per line:
    // the connection thread opens a log before it posts the line that names it, so a batch
    // taken after that line sees the log.
    auto logging = [this] { return services_.log != nullptr && services_.log->IsLogging(); };
    bool logOpen = logging();
    auto htmlLogging = [this] {
        return services_.record != nullptr && services_.log != nullptr &&
               services_.log->IsHtmlLogging();
    };
    htmlLogOpen_ = htmlLogging();
    now_ = Now();
    while (shown < limit) {
        if (next_ == batch_.size()) {
            batch_.clear();  // keeps its room: a flood allocates nothing per batch
            next_ = 0;
            if (services_.queue.TakeDisplayItems(
                    batch_, static_cast<std::size_t>(std::min(limit - shown, kBatch))) == 0) {
                break;
            }
            logOpen = logging();
            htmlLogOpen_ = htmlLogging();
            now_ = Now();
        }
        const DisplayItem& item = batch_[next_++];
        BuildDisplayLine(item, line_);
        const std::string_view line = line_;
        // The one place a shown roll becomes the player's own, for re-rolls and fake rolls.
        if (item.kind == DisplayKind::Roll) {
            RecordIfOwnRoll(item, OwnHandle());
        }
        if (RunsNotifyCheck(item) && services_.sound != nullptr && services_.notifySettings) {
            if (!notify) {
                notify = services_.notifySettings();
            }
            if (!NotifyNever(*notify) &&
                NotifyCheck(item, OwnHandle(), *notify, *services_.sound) && services_.called) {
                services_.called(item);
            }
        }
        Show(sink, line);
        ++shown;
        if (!logOpen) {
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
