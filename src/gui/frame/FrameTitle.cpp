// SPDX-License-Identifier: MIT

#include "gui/frame/FrameTitle.h"

#include "gui/platform/TextCodec.h"

namespace tessel::gui {

QString FrameTitle(bool logging, std::string_view handle, std::string_view channel) {
    QString title = QStringLiteral("tessel   ");
    title += logging ? QString::fromUtf8("Ｌ　") : QString::fromUtf8("　　");
    title += FromShiftJis(handle);
    if (!channel.empty()) {
        title += QStringLiteral("  :  in ");
        title += FromShiftJis(channel);
    }
    return title;
}

}  // namespace tessel::gui
