// SPDX-License-Identifier: MIT

#include "gui/panes/PaneStyle.h"

#include <cmath>

#include "gui/platform/FontSubstitution.h"
#include "gui/platform/TextCodec.h"

namespace tessel::gui {

QColor ColourFromRef(std::int32_t colorref) {
    const auto value = static_cast<std::uint32_t>(colorref);
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

std::int32_t RefFromColour(const QColor& colour) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(colour.red()) |
                                     (static_cast<std::uint32_t>(colour.green()) << 8) |
                                     (static_cast<std::uint32_t>(colour.blue()) << 16));
}

QFont FontFromSettings(const Settings& settings, SettingKey faceKey, SettingKey sizeKey) {
    std::int32_t tenths = settings.GetInt(sizeKey);
    if (tenths <= 0) {
        tenths = settings.DefaultInt(sizeKey);
    }
    return PaneFont(FromShiftJis(settings.GetString(faceKey)), tenths);
}

int TenthsOfPoint(const QFont& font) {
    return static_cast<int>(std::lround(font.pointSizeF() * 10.0));
}

QPalette PanePalette(QPalette palette, const QColor& text, const QColor& background) {
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Base, background);
        palette.setColor(group, QPalette::Window, background);
    }
    return palette;
}

}  // namespace tessel::gui
