// SPDX-License-Identifier: MIT

// The menus, tool bar, status bar and accelerators, all built from the command table.
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "gui/frame/CommandRows.h"
#include "gui/frame/MainFrame.h"

namespace tessel::gui {

namespace {

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A text of the command table, in the user's language (the table's own text is the source).
QString Translated(std::string_view text) {
    return QCoreApplication::translate("tessel::gui::CMainFrame", std::string(text).c_str());
}

}  // namespace

void CMainFrame::BuildActions() {
    auto make = [this](int id) {
        auto* action = new QAction(this);
        action->setData(id);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        actions_[id] = action;
        addAction(action);  // its keys work whether or not a menu shows it
        return action;
    };
    for (const CommandRow& row : kCommandTable) {
        QAction* action = make(static_cast<int>(row.id));
        action->setText(Translated(row.caption));
        if (!row.prompt.empty()) {
            action->setStatusTip(Translated(row.prompt));
        }
        if (!row.tip.empty()) {
            action->setToolTip(Translated(row.tip));
        }
        if (row.check != CheckRule::None) {
            action->setCheckable(true);
        }
        if (!row.icon.empty()) {
            action->setIcon(QIcon(QStringLiteral(":/tessel/toolbar/%1.svg").arg(Utf8(row.icon))));
        }
    }
    for (const Accelerator& accelerator : kAccelerators) {
        if (!actions_.count(accelerator.command)) {
            make(accelerator.command);
        }
    }
    // Each command's keys, in table order (the first is the one a menu shows).
    std::map<int, QList<QKeySequence>> keys;
    for (const Accelerator& accelerator : kAccelerators) {
        keys[accelerator.command].append(QKeySequence(accelerator.keys));
    }
    for (const auto& [id, sequences] : keys) {
        actions_[id]->setShortcuts(sequences);
    }
}

void CMainFrame::BuildMenus() {
    QMenuBar* bar = menuBar();
    for (const MenuRow& menuRow : kMenuBar) {
        QMenu* menu = bar->addMenu(Translated(menuRow.caption));
        for (int id : menuRow.items) {
            if (id == 0) {
                menu->addSeparator();
            } else {
                menu->addAction(actions_.at(id));
            }
        }
    }
}

void CMainFrame::BuildToolBar() {
    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("toolbar"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setIconSize(QSize(16, 15));
    toolBar_->toggleViewAction()->setVisible(false);
    for (int id : kToolBarButtons) {
        if (id == 0) {
            toolBar_->addSeparator();
        } else {
            toolBar_->addAction(actions_.at(id));
        }
    }
    addToolBar(Qt::TopToolBarArea, toolBar_);
    setContextMenuPolicy(Qt::NoContextMenu);  // the tool bar is not dockable
}

void CMainFrame::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    idleLabel_ = new QLabel(Translated(kIdleMessage));
    bar->addWidget(idleLabel_, 1);
    // The lock indicators: Qt reports no lock states, so they stay in the grey of an
    // indicator that is off.
    for (std::string_view indicator : kIndicators) {
        auto* label = new QLabel(Translated(indicator));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(label->text()) + 12);
        label->setEnabled(false);
        bar->addPermanentWidget(label);
    }
}

}  // namespace tessel::gui
