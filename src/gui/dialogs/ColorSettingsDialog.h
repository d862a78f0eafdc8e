// SPDX-License-Identifier: MIT

#pragma once

#include <cstdint>

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// A colour as the settings hold it: 0x00BBGGRR.
using Colorref = std::uint32_t;

QColor ColorFromColorref(Colorref value);
Colorref ColorrefFromColor(const QColor& colour);

// "色の指定": eleven colours, each edited by its own button through the colour picker.
class CColorSettingsDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CColorSettingsDialog(QWidget* parent = nullptr);

    Colorref m_dispColor = 0;      // 1025 display text
    Colorref m_inputColor = 0;     // 1027 input text
    Colorref m_userColor = 0;      // 1028 user list text
    Colorref m_memoColor = 0;      // 1029 memo text
    Colorref m_dispBkColor = 0;    // 1021 display background
    Colorref m_inputBkColor = 0;   // 1022 input background
    Colorref m_userBkColor = 0;    // 1023 user list background
    Colorref m_memoBkColor = 0;    // 1024 memo background
    Colorref m_dispNameColor = 0;  // 1041 names
    Colorref m_dispSysColor = 0;   // 1042 system lines
    Colorref m_dispDiceColor = 0;  // 1043 roll reports

    ChooseColor m_chooseColor = DefaultChooseColor();

    // The button with a template id (1021 to 1029, 1041 to 1043), or nullptr.
    QPushButton* ColorButton(int id) const;

  private:
    struct Entry {
        int id;
        Colorref CColorSettingsDialog::*member;
        QPushButton* button;
    };
    void Pick(const Entry& entry);

    Entry entries_[11];
};

}  // namespace tessel::gui
