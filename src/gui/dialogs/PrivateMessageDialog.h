// SPDX-License-Identifier: MIT

#pragma once

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// "プライベートメッセージ": a destination from "*" and the known handles, and the message.
class CPrivateMessageDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CPrivateMessageDialog(QWidget* parent = nullptr);

    // The user table's handles in table order; the list stops at the first empty one.
    QStringList m_handles;
    // In: the last destination (selected when listed). Out: the destination chosen; it stays as
    // given when it is no longer listed and the user picks nothing.
    QString m_destination = QStringLiteral("*");
    QString m_message;  // 1005

    QComboBox* DestinationList() const { return destinationList_; }
    QLineEdit* MessageEdit() const { return messageEdit_; }

  protected:
    void ToControls() override;
    bool FromControls() override;
    void SetInitialFocus() override;

  private:
    QComboBox* destinationList_;  // 1004
    QLineEdit* messageEdit_;
};

}  // namespace tessel::gui
