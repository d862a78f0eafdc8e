// SPDX-License-Identifier: MIT

#include "gui/help/ApplicationIcon.h"

#include <QString>

namespace tessel::gui {

QIcon ApplicationIcon() {
    // Ready-made bitmaps rather than the SVG: drawing an SVG icon needs the optional svg
    // icon-engine plugin, which a minimal installation may not have.
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/tessel/icons/tessel-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace tessel::gui
