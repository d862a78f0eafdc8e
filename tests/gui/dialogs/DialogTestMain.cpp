// SPDX-License-Identifier: MIT

#include <QApplication>
#include <QTest>

#include "gui/dialogs/DialogTestSupport.h"
#include "gui/platform/FontSubstitution.h"

// One executable for the dialog suites; each suite runs on its own so one failure does not hide
// the others.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The template face maps to an installed Japanese font, as in the program.
    tessel::gui::InstallDefaultFontSubstitutions();
    int failures = 0;
    for (auto& suite :
         {tessel::gui::test::CreateDialogLayoutTest(), tessel::gui::test::CreateDialogValuesTest(),
          tessel::gui::test::CreateDialogActionsTest()}) {
        failures += QTest::qExec(suite.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
