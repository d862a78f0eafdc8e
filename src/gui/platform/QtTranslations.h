// SPDX-License-Identifier: MIT

#pragma once

class QCoreApplication;

namespace tessel::gui {

// Qt's own texts (standard buttons, file, colour and font pickers, context menus) in Japanese,
// whatever the desktop's locale: the rest of the interface is Japanese. The translations come
// from Qt's translation directory; false when they are missing there.
bool InstallJapaneseQtTranslations(QCoreApplication& app);

}  // namespace tessel::gui
