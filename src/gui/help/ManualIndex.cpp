// SPDX-License-Identifier: MIT

#include "gui/help/ManualIndex.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>

namespace tessel::gui {

std::vector<ManualEntry> ReadManualLinks(const QString& html, const QUrl& base) {
    QTextDocument document;
    document.setHtml(html);
    std::vector<ManualEntry> entries;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextList* list = block.textList();
        if (list == nullptr) {
            continue;
        }
        const int level = std::max(0, list->format().indent() - 1);
        QString previousHref;  // href of the fragment just before, empty when it was no link
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            const QString href = format.isAnchor() ? format.anchorHref() : QString();
            if (href.isEmpty()) {
                previousHref.clear();
                continue;
            }
            // One link is split into several fragments where its formatting changes (a
            // <code> inside it); they continue the same entry.
            if (href == previousHref) {
                entries.back().text += fragment.text();
                continue;
            }
            previousHref = href;
            entries.push_back({fragment.text(), base.resolved(QUrl(href)), level});
        }
    }
    for (ManualEntry& entry : entries) {
        entry.text = entry.text.simplified();
    }
    return entries;
}

QString KeywordKey(const QString& text) {
    QString key = text.normalized(QString::NormalizationForm_KC).toCaseFolded();
    for (QChar& c : key) {
        const char16_t u = c.unicode();
        if (u >= 0x30A1 && u <= 0x30F6) {  // katakana ァ..ヶ to hiragana ぁ..ゖ
            c = QChar(static_cast<char16_t>(u - 0x60));
        }
    }
    return key.simplified();
}

bool KeywordMatches(const QString& entry, const QString& typed) {
    const QString wanted = KeywordKey(typed);
    return wanted.isEmpty() || KeywordKey(entry).contains(wanted);
}

}  // namespace tessel::gui
