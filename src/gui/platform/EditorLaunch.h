// SPDX-License-Identifier: MIT

#pragma once

#include <QString>

namespace tessel::gui {

// Starts the `editor` setting on a file without waiting for it. The setting is a program,
// optionally followed by arguments ("xdg-open", "gedit -s", a quoted path with blanks); the
// file becomes the last argument. False, with the reason in `error`, when nothing started.
bool LaunchEditor(const QString& editorSetting, const QString& file, QString* error = nullptr);

}  // namespace tessel::gui
