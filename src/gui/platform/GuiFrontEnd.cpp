// SPDX-License-Identifier: MIT

#include "gui/platform/GuiFrontEnd.h"

#include <QThread>

namespace tessel::gui {

GuiFrontEnd::GuiFrontEnd(QObject* parent) : QObject(parent) {}

void GuiFrontEnd::DisplayTextPosted() {
    if (drainPending_.exchange(true, std::memory_order_acq_rel)) {
        return;  // a wake-up is already on its way and will see this item too
    }
    postedDrains_.fetch_add(1, std::memory_order_relaxed);
    QMetaObject::invokeMethod(this, &GuiFrontEnd::EmitDisplay, Qt::QueuedConnection);
}

void GuiFrontEnd::EmitDisplay() {
    // Cleared before the receivers drain, so an item posted while they run schedules a
    // fresh turn instead of waiting for one that already happened.
    drainPending_.store(false, std::memory_order_release);
    emit displayTextPosted();
}

void GuiFrontEnd::HostConnected() {
    QMetaObject::invokeMethod(this, &GuiFrontEnd::hostConnected, Qt::QueuedConnection);
}

void GuiFrontEnd::UserListRefresh() {
    QMetaObject::invokeMethod(this, &GuiFrontEnd::userListRefresh, Qt::QueuedConnection);
}

void GuiFrontEnd::UserListClear() {
    QMetaObject::invokeMethod(this, &GuiFrontEnd::userListClear, Qt::QueuedConnection);
}

void GuiFrontEnd::TitleRefresh() {
    QMetaObject::invokeMethod(this, &GuiFrontEnd::titleRefresh, Qt::QueuedConnection);
}

void GuiFrontEnd::ConnectionPhaseChanged() {
    QMetaObject::invokeMethod(this, &GuiFrontEnd::connectionPhaseChanged, Qt::QueuedConnection);
}

void GuiFrontEnd::FileSendChanged(const FileSendProgress& progress) {
    // The start is told on the window's own thread, as the send is asked for: shown at once,
    // it replaces whatever an earlier send left in the status bar.
    if (QThread::currentThread() == thread()) {
        emit fileSendChanged(progress);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, progress] { emit fileSendChanged(progress); }, Qt::QueuedConnection);
}

void GuiFrontEnd::Quit() {
    QMetaObject::invokeMethod(this, &GuiFrontEnd::quitRequested, Qt::QueuedConnection);
}

}  // namespace tessel::gui
