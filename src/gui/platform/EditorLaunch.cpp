// SPDX-License-Identifier: MIT

#include "gui/platform/EditorLaunch.h"

#include <QProcess>
#include <QStringList>

namespace tessel::gui {

bool LaunchEditor(const QString& editorSetting, const QString& file, QString* error) {
    QStringList words = QProcess::splitCommand(editorSetting);
    if (words.isEmpty()) {
        if (error) {
            *error = QStringLiteral("no editor is set");
        }
        return false;
    }
    const QString program = words.takeFirst();
    words.append(file);
    if (!QProcess::startDetached(program, words)) {
        if (error) {
            *error = QStringLiteral("cannot start %1").arg(program);
        }
        return false;
    }
    return true;
}

}  // namespace tessel::gui
