// SPDX-License-Identifier: MIT

#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

#include <cstdint>

#include "settings/Settings.h"

namespace tessel::gui {

// Colours are stored as 0x00BBGGRR, the layout the settings file has always used.
QColor ColourFromRef(std::int32_t colorref);
std::int32_t RefFromColour(const QColor& colour);

// The pane font named by a face key and a size key (tenths of a point). The stored face is
// used as it is: a face this machine lacks is resolved by Qt's font substitution, and the
// setting itself is never rewritten. A size of zero or less falls back to the key's default.
QFont FontFromSettings(const Settings& settings, SettingKey faceKey, SettingKey sizeKey);

// A size in tenths of a point, as the font settings hold it (10.5 point is 105).
int TenthsOfPoint(const QFont& font);

// `palette` with the text and background of an editable or list pane (the text, base and
// window roles in every colour group, so an inactive window keeps its colours).
QPalette PanePalette(QPalette palette, const QColor& text, const QColor& background);

}  // namespace tessel::gui
