// SPDX-License-Identifier: MIT

#pragma once

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// "自動ログ設定": the automatic log's directory and file name pattern.
class CAutoLogSettingsDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CAutoLogSettingsDialog(QWidget* parent = nullptr);

    QString m_logDir;       // 1060
    QString m_autoLogName;  // 1061

    QLineEdit* DirectoryEdit() const { return directoryEdit_; }
    QLineEdit* PatternEdit() const { return patternEdit_; }

  protected:
    void ToControls() override;
    bool FromControls() override;

  private:
    QLineEdit* directoryEdit_;
    QLineEdit* patternEdit_;
};

}  // namespace tessel::gui
