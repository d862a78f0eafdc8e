#pragma once

#include <QString>

namespace tessel::gui {

// Shows a notification through the desktop's notification service (the freedesktop
// interface on the session bus). Returns at once: without a session bus or a service nothing
// is shown and nothing waits.
void ShowDesktopNotification(const QString& summary, const QString& body);

}  // namespace tessel::gui
