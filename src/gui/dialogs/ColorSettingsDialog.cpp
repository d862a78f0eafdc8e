// SPDX-License-Identifier: MIT

#include "gui/dialogs/ColorSettingsDialog.h"

#include <QPushButton>

namespace tessel::gui {

QColor ColorFromColorref(Colorref value) {
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

Colorref ColorrefFromColor(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return static_cast<Colorref>(rgb.red()) | (static_cast<Colorref>(rgb.green()) << 8) |
           (static_cast<Colorref>(rgb.blue()) << 16);
}

CColorSettingsDialog::CColorSettingsDialog(QWidget* parent)
    : CTesselDialog(tr("色の指定"), 187, 133, parent) {
    const QString background = tr("背景色");
    const QString text = tr("文字の色");
    AddOkButton(QStringLiteral("OK"), 7, 112, 50, 14);
    AddCancelButton(tr("ｷｬﾝｾﾙ"), 130, 112, 50, 14);
    QPushButton* dispBk = AddButton(background, 64, 11, 50, 14);
    AddStatic(tr("ディスプレイ:"), 7, 17, 38, 8);
    AddStatic(tr("インプット:"), 7, 57, 30, 8);
    AddStatic(tr("ユーザー:"), 7, 77, 30, 8);
    AddStatic(tr("メモ:"), 7, 97, 14, 8);
    QPushButton* inputBk = AddButton(background, 64, 51, 50, 14);
    QPushButton* userBk = AddButton(background, 64, 71, 50, 14);
    QPushButton* memoBk = AddButton(background, 64, 91, 50, 14);
    QPushButton* disp = AddButton(text, 125, 11, 50, 14);
    QPushButton* input = AddButton(text, 125, 51, 50, 14);
    QPushButton* user = AddButton(text, 125, 71, 50, 14);
    QPushButton* memo = AddButton(text, 125, 91, 50, 14);
    QPushButton* name = AddButton(tr("名前の色"), 7, 26, 50, 14);
    QPushButton* sys = AddButton(tr("システムの色"), 64, 26, 50, 14);
    QPushButton* dice = AddButton(tr("ダイスの色"), 125, 26, 50, 14);

    entries_[0] = {1025, &CColorSettingsDialog::m_dispColor, disp};
    entries_[1] = {1027, &CColorSettingsDialog::m_inputColor, input};
    entries_[2] = {1028, &CColorSettingsDialog::m_userColor, user};
    entries_[3] = {1029, &CColorSettingsDialog::m_memoColor, memo};
    entries_[4] = {1021, &CColorSettingsDialog::m_dispBkColor, dispBk};
    entries_[5] = {1022, &CColorSettingsDialog::m_inputBkColor, inputBk};
    entries_[6] = {1023, &CColorSettingsDialog::m_userBkColor, userBk};
    entries_[7] = {1024, &CColorSettingsDialog::m_memoBkColor, memoBk};
    entries_[8] = {1041, &CColorSettingsDialog::m_dispNameColor, name};
    entries_[9] = {1042, &CColorSettingsDialog::m_dispSysColor, sys};
    entries_[10] = {1043, &CColorSettingsDialog::m_dispDiceColor, dice};
    for (const Entry& entry : entries_) {
        connect(entry.button, &QPushButton::clicked, this, [this, entry] { Pick(entry); });
    }
}

QPushButton* CColorSettingsDialog::ColorButton(int id) const {
    for (const Entry& entry : entries_) {
        if (entry.id == id) {
            return entry.button;
        }
    }
    return nullptr;
}

void CColorSettingsDialog::Pick(const Entry& entry) {
    Colorref& member = this->*entry.member;
    const std::optional<QColor> chosen = m_chooseColor(this, ColorFromColorref(member));
    if (chosen && chosen->isValid()) {
        member = ColorrefFromColor(*chosen);
    }
}

}  // namespace tessel::gui
