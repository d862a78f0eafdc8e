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
// The face stays the stored name, so QFont::family() reports what the settings hold.
QFont PaneFont(const QString& family, int tenthsOfPoint);

}  // namespace tessel::gui
