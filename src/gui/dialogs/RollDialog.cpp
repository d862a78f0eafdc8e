// SPDX-License-Identifier: MIT

#include "gui/dialogs/RollDialog.h"

#include <QLineEdit>
#include <QPushButton>

namespace tessel::gui {
namespace {

constexpr int kDiceMinimum = 1;
constexpr int kDiceMaximum = 255;

}  // namespace

CRollDialog::CRollDialog(QWidget* parent) : CTesselDialog(tr("ロール"), 187, 101, parent) {
    AddCancelButton(tr("ｷｬﾝｾﾙ"), 130, 80, 50, 14);
    AddStatic(tr("振るダイスを指定して下さい :"), 7, 7, 84, 8);
    countEdit_ = AddEdit(20, 24, 27, 14);
    AddStatic(tr("ｄ"), 51, 30, 8, 8);
    sidesEdit_ = AddEdit(62, 24, 27, 14);
    buttons_[0] = {kRulePlain, AddButton(tr("ロール"), 7, 52, 50, 14, true)};
    buttons_[1] = {kRuleAaf, AddButton(tr("ＡＡＦロール"), 69, 52, 54, 14)};
    buttons_[2] = {kRuleMaximum, AddButton(tr("最大値振り足し"), 130, 52, 50, 14)};
    buttons_[3] = {kRuleDoubles, AddButton(tr("ゾロ目振り足し"), 7, 80, 50, 14)};
    buttons_[4] = {kRuleBerserk, AddButton(tr("バーサーク"), 69, 80, 55, 14)};
    for (const RuleButton& entry : buttons_) {
        const int rule = entry.rule;
        connect(entry.button, &QPushButton::clicked, this, [this, rule] { Roll(rule); });
    }
}

QPushButton* CRollDialog::RollButton(int rule) const {
    for (const RuleButton& entry : buttons_) {
        if (entry.rule == rule) {
            return entry.button;
        }
    }
    return nullptr;
}

void CRollDialog::Roll(int rule) {
    // A refused count or sides leaves the rule as it was, like every other value.
    const int previous = m_rule;
    m_rule = rule;
    if (FromControls()) {
        accept();
    } else {
        m_rule = previous;
    }
}

void CRollDialog::ToControls() {
    countEdit_->setText(QString::number(m_count));
    sidesEdit_->setText(QString::number(m_sides));
}

bool CRollDialog::FromControls() {
    const std::optional<int> count = ReadInteger(countEdit_, kDiceMinimum, kDiceMaximum);
    if (!count) {
        return false;
    }
    const std::optional<int> sides = ReadInteger(sidesEdit_, kDiceMinimum, kDiceMaximum);
    if (!sides) {
        return false;
    }
    m_count = *count;
    m_sides = *sides;
    return true;
}

void CRollDialog::SetInitialFocus() {
    FocusAndSelect(countEdit_);
}

}  // namespace tessel::gui
