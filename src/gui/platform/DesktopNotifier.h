// SPDX-License-Identifier: MIT

#pragma once

#include <QString>

namespace tessel::gui {

// Shows a notification through the desktop's notification service (the freedesktop
// interface on the session bus). Returns at once: without a session bus or a service nothing
// is shown and nothing waits.
void ShowDesktopNotification(const QString& summary, const QString& body);

// `plain` as a notification body: a service that reads a body as markup (most do) shows it as
// typed, so a peer's "<b>" or "&amp;" is text and no peer can add a link or an image.
QString NotificationBody(const QString& plain);

}  // namespace tessel::gui
