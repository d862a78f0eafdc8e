// SPDX-License-Identifier: MIT

#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QStringList>
#include <QTest>

#include <memory>

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui::test {

// Shows a dialog without a nested event loop (exec would block the test), activates it so
// focus changes reach the controls, and records the messages it would show.
struct ShownDialog {
    QStringList messages;

    bool Show(CTesselDialog& dialog) {
        dialog.m_showMessage = [this](QWidget*, const QString& text) { messages.append(text); };
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        return QTest::qWaitForWindowActive(&dialog);
    }
};

// A field refused by a range check: the dialog stays open with the field focused and its text
// selected.
inline bool KeptOpenOn(const CTesselDialog& dialog, const QLineEdit* field) {
    return dialog.isVisible() && dialog.focusWidget() == field &&
           field->selectedText() == field->text();
}

std::unique_ptr<QObject> CreateDialogLayoutTest();
std::unique_ptr<QObject> CreateDialogValuesTest();
std::unique_ptr<QObject> CreateDialogActionsTest();

}  // namespace tessel::gui::test
