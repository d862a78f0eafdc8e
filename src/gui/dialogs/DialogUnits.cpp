// SPDX-License-Identifier: MIT

#include "gui/dialogs/DialogUnits.h"

#include <QFontMetrics>
#include <QString>

#include <algorithm>

namespace tessel::gui {
namespace {

// Windows averages the widths of the 52 Latin letters for its dialog base unit.
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kAlphabetLength = 52;

// MulDiv's rounding: to the nearest, halves away from zero (all values here are positive).
int ScaleRounded(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

}  // namespace

QFont DialogFont() {
    QFont font(QString::fromUtf16(kDialogFontFace));
    font.setPointSize(kDialogFontPoints);
    return font;
}

DialogUnits::DialogUnits(const QFont& font) : averageCharWidth_(1), charHeight_(1) {
    const QFontMetrics metrics(font);
    const int total = metrics.horizontalAdvance(QString::fromLatin1(kAlphabet));
    averageCharWidth_ = std::max(1, (total / (kAlphabetLength / 2) + 1) / 2);
    charHeight_ = std::max(1, metrics.height());
}

DialogUnits::DialogUnits(int averageCharWidth, int charHeight)
    : averageCharWidth_(std::max(1, averageCharWidth)), charHeight_(std::max(1, charHeight)) {}

int DialogUnits::X(int units) const {
    return ScaleRounded(units, averageCharWidth_, 4);
}

int DialogUnits::Y(int units) const {
    return ScaleRounded(units, charHeight_, 8);
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    const int left = X(x);
    const int top = Y(y);
    return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}

QSize DialogUnits::Size(int width, int height) const {
    return QSize(X(width), Y(height));
}

}  // namespace tessel::gui
