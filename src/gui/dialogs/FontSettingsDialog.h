// SPDX-License-Identifier: MIT

#pragma once

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// "フォントの設定": the fonts of the display, input and memo panes, each with its size in
// tenths of a point and its face name.
class CFontSettingsDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CFontSettingsDialog(QWidget* parent = nullptr);

    QFont m_dispFont;
    QFont m_inputFont;
    QFont m_memoFont;
    int m_dispFontSize = 120;
    int m_inputFontSize = 120;
    int m_memoFontSize = 120;
    QString m_dispFontName;
    QString m_inputFontName;
    QString m_memoFontName;

    ChooseFont m_chooseFont = DefaultChooseFont();

    QPushButton* DisplayButton() const { return displayButton_; }  // 1025
    QPushButton* InputButton() const { return inputButton_; }      // 1027
    QPushButton* MemoButton() const { return memoButton_; }        // 1029

  private:
    void Pick(QFont& font, int& size, QString& name);

    QPushButton* displayButton_;
    QPushButton* inputButton_;
    QPushButton* memoButton_;
};

// A font's size in tenths of a point (10.5 points gives 105).
int FontSizeTenths(const QFont& font);

}  // namespace tessel::gui
