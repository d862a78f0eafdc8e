// SPDX-License-Identifier: MIT

#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

namespace tessel::gui {

// The stored face names come from Windows ("ＭＳ Ｐゴシック" is every pane's default) and rarely
// exist on a Linux desktop. Rather than rewrite the user's settings, a missing family is
// mapped through Qt's font substitution to an installed Japanese proportional face, so the
// stored name keeps working and comes back unchanged if the face is installed later.

// The installed face that stands in for missing Japanese faces: the first of the usual
// Japanese proportional gothic faces that is installed, else any family that supports
// Japanese, else empty.
QString JapaneseFallbackFamily();

// Makes `family` usable: when it is not installed and has no substitute yet, the fallback is
// registered as its substitute. Returns the family that will be drawn.
QString EnsureFamilyUsable(const QString& family);

// Registers the substitutes for the Windows faces the program's settings name by default.
void InstallDefaultFontSubstitutions();

// A pane font from a stored face name and a size in tenths of a point (120 is 12 points).
// A Windows face that is not installed keeps its name and draws through its registered
// substitute; any other missing face draws with the Japanese fallback, chosen for this font
// alone, so no substitution is registered that the menus or dialogs could pick up. The
// settings keep the stored name either way.
QFont PaneFont(const QString& family, int tenthsOfPoint);

// The face a font is drawn with, which a font picker should start on.
QString ShownFamily(const QFont& font);

}  // namespace tessel::gui
