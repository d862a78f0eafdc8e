// SPDX-License-Identifier: MIT

#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace tessel::gui {

// The face every dialog template names. It rarely exists on Linux; the application maps it to an
// installed Japanese font through Qt's font substitution, so the name itself is kept.
inline constexpr char16_t kDialogFontFace[] = u"ＭＳ Ｐゴシック";
inline constexpr int kDialogFontPoints = 9;

QFont DialogFont();

// Converts template positions (dialog units) to pixels the way Windows does: a horizontal unit
// is a quarter of the font's average character width, a vertical unit an eighth of its height.
// Everything laid out through it grows and shrinks with the dialog font.
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int averageCharWidth, int charHeight);

    int AverageCharWidth() const { return averageCharWidth_; }
    int CharHeight() const { return charHeight_; }

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;

  private:
    int averageCharWidth_;
    int charHeight_;
};

}  // namespace tessel::gui
