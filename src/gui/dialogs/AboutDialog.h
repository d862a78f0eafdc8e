// SPDX-License-Identifier: MIT

#pragma once

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// The version box: program name and version, our own credit line, and the maker's addresses in
// two read-only fields.
class CAboutDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CAboutDialog(QWidget* parent = nullptr);

    QString m_address;  // the maker's contact address (1018)
    QString m_url;      // the maker's home page (1019)

  protected:
    void ToControls() override;

  private:
    QLineEdit* addressEdit_;
    QLineEdit* urlEdit_;
};

}  // namespace tessel::gui
