// SPDX-License-Identifier: MIT

#include "gui/platform/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace tessel::gui {

bool InstallJapaneseQtTranslations(QCoreApplication& app) {
    const QString directory = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    bool all = true;
    // qtbase holds the widgets' and dialogs' texts, qtmultimedia the sound player's.
    for (const char* catalogue : {"qtbase_ja", "qtmultimedia_ja"}) {
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(QString::fromLatin1(catalogue), directory)) {
            all = false;
            continue;
        }
        translator->setParent(&app);  // lives as long as the application
        QCoreApplication::installTranslator(translator.release());
    }
    return all;
}

}  // namespace tessel::gui
