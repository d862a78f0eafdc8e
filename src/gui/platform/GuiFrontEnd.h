// SPDX-License-Identifier: MIT

#pragma once

#include <QObject>

#include <atomic>

#include "platform/FrontEnd.h"

namespace tessel::gui {

// The core's events carried over to the GUI thread as queued calls. The core may call from
// any thread; every call returns at once and the matching signal is emitted later on the
// thread this object lives on.
//
// A server flooding the display would otherwise post one wake-up per item and bury every
// other event of the GUI thread under them; display wake-ups are coalesced instead, so at
// most one drain request waits in the event queue at any time.
class GuiFrontEnd : public QObject, public FrontEnd {
    Q_OBJECT

  public:
    explicit GuiFrontEnd(QObject* parent = nullptr);

    void DisplayTextPosted() override;
    void HostConnected() override;
    void UserListRefresh() override;
    void UserListClear() override;
    void TitleRefresh() override;
    void Quit() override;
    void ConnectionPhaseChanged() override;
    void FileSendChanged(const FileSendProgress& progress) override;

    // Wake-ups that went into the event queue (the rest were folded into a pending one).
    quint64 postedDrains() const { return postedDrains_.load(std::memory_order_relaxed); }

  signals:
    void displayTextPosted();
    void hostConnected();
    void userListRefresh();
    void userListClear();
    void titleRefresh();
    void quitRequested();
    void connectionPhaseChanged();
    void fileSendChanged(const FileSendProgress& progress);

  private:
    void EmitDisplay();

    std::atomic<bool> drainPending_{false};
    std::atomic<quint64> postedDrains_{0};
};

}  // namespace tessel::gui
