// SPDX-License-Identifier: MIT

#pragma once

#include <QString>
#include <QUrl>

#include <vector>

namespace tessel::gui {

// A link of the manual's contents page or keyword index.
struct ManualEntry {
    QString text;
    QUrl target;
    int level = 0;  // nesting depth of the list item, 0 for the outermost list
};

// Every link that sits in a list item of the page, in page order, with its target resolved
// against base. Links outside lists (navigation, prose) are not entries.
std::vector<ManualEntry> ReadManualLinks(const QString& html, const QUrl& base);

// The form a keyword is compared in: compatibility-normalised (half-width katakana and
// full-width Latin letters become their ordinary forms), case-folded, katakana as hiragana,
// so that "ﾛｰﾙ", "ろーる" and "ロール" all find the same entry.
QString KeywordKey(const QString& text);

// Whether an index entry is shown for what the user typed (an empty text shows everything).
bool KeywordMatches(const QString& entry, const QString& typed);

}  // namespace tessel::gui
