// SPDX-License-Identifier: MIT

#pragma once

#include <QString>

#include <string_view>

namespace tessel::gui {

// The main window's title: the program name, three blanks, the log mark ("Ｌ" and an
// ideographic space) or two ideographic spaces, the acknowledged handle and, once a channel
// is acknowledged, "  :  in " and the channel. Handle and channel are code page 932 bytes.
QString FrameTitle(bool logging, std::string_view handle, std::string_view channel);

}  // namespace tessel::gui
