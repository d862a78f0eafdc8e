// SPDX-License-Identifier: MIT

#include "gui/platform/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

namespace tessel::gui {

void ShowDesktopNotification(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // Application name, no notification to replace, the desktop entry's icon, summary, body,
    // no actions, the entry as a hint, the server's default timeout.
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("tessel"));
    call << QStringLiteral("tessel") << quint32(0) << QStringLiteral("tessel") << summary
         << NotificationBody(body) << QStringList() << hints << qint32(-1);
    // Asynchronous: a notification service that is slow or absent never holds the window up.
    bus.asyncCall(call);
}

QString NotificationBody(const QString& plain) {
    // Notification servers show the summary as plain text; only the body is read
    // as markup, where the three entities below are all a reader expands.
    QString body;
    body.reserve(plain.size());
    for (const QChar c : plain) {
        switch (c.unicode()) {
            case '&':
                body += QStringLiteral("&amp;");
                break;
            case '<':
                body += QStringLiteral("&lt;");
                break;
            case '>':
                body += QStringLiteral("&gt;");
                break;
            default:
                body += c;
        }
    }
    return body;
}

}  // namespace tessel::gui
