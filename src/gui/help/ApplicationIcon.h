// SPDX-License-Identifier: MIT

#pragma once

#include <QIcon>

namespace tessel::gui {

// The program's own icon in every size it is drawn at (16 to 256 pixels), for the windows'
// title bars and task switchers; the same images are installed for the desktop menu.
QIcon ApplicationIcon();

}  // namespace tessel::gui
