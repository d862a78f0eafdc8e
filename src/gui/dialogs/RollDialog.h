// SPDX-License-Identifier: MIT

#pragma once

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// "ロール": dice count and sides (1 to 255 each); each of the five roll buttons sets the re-roll
// rule and confirms.
class CRollDialog : public CTesselDialog {
    Q_OBJECT

  public:
    // The re-roll rules of the five buttons.
    static constexpr int kRulePlain = 0;     // "ロール" (1008)
    static constexpr int kRuleAaf = 1;       // "ＡＡＦロール" (1009)
    static constexpr int kRuleBerserk = 7;   // "バーサーク" (1037)
    static constexpr int kRuleDoubles = 9;   // "ゾロ目振り足し" (1036)
    static constexpr int kRuleMaximum = 10;  // "最大値振り足し" (1035)

    explicit CRollDialog(QWidget* parent = nullptr);

    int m_count = 2;  // 1006
    int m_sides = 6;  // 1007
    int m_rule = kRulePlain;

    QLineEdit* CountEdit() const { return countEdit_; }
    QLineEdit* SidesEdit() const { return sidesEdit_; }
    // The roll button of a rule, or nullptr.
    QPushButton* RollButton(int rule) const;

  protected:
    void ToControls() override;
    bool FromControls() override;
    void SetInitialFocus() override;

  private:
    void Roll(int rule);

    QLineEdit* countEdit_;
    QLineEdit* sidesEdit_;
    struct RuleButton {
        int rule;
        QPushButton* button;
    };
    RuleButton buttons_[5];
};

}  // namespace tessel::gui
