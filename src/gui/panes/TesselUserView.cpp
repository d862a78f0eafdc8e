// SPDX-License-Identifier: MIT

#include "gui/panes/TesselUserView.h"

#include <QHeaderView>
#include <QStringList>

#include <string_view>

#include "gui/platform/TextCodec.h"

namespace tessel::gui {

namespace {

// The channel of a user who has not entered one.
constexpr std::string_view kNoJoin = "NoJoin";

struct Column {
    const char* title;
    int width;
};

constexpr Column kColumns[] = {
    {QT_TRANSLATE_NOOP("tessel::gui::CTesselUserView", "名前"), 80},
    {QT_TRANSLATE_NOOP("tessel::gui::CTesselUserView", "属性"), 20},
    {QT_TRANSLATE_NOOP("tessel::gui::CTesselUserView", "チャネル"), 80},
    {QT_TRANSLATE_NOOP("tessel::gui::CTesselUserView", "アドレス"), 120},
};

}  // namespace

CTesselUserView::CTesselUserView(const Settings& settings, QWidget* parent)
    : QTreeWidget(parent), settings_(settings) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setColumnCount(static_cast<int>(std::size(kColumns)));
    QStringList titles;
    for (const Column& column : kColumns) {
        titles << tr(column.title);
    }
    setHeaderLabels(titles);
    for (int i = 0; i < columnCount(); ++i) {
        setColumnWidth(i, kColumns[i].width);
    }
    header()->setStretchLastSection(false);
    ApplySettings();
}

void CTesselUserView::SetColours(std::int32_t text, std::int32_t background) {
    setPalette(PanePalette(palette(), ColourFromRef(text), ColourFromRef(background)));
}

void CTesselUserView::ApplySettings() {
    SetColours(settings_.GetInt(SettingKey::usercolor), settings_.GetInt(SettingKey::userbkcolor));
}

void CTesselUserView::AddRow(const UserEntry& row) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, FromShiftJis(row.handle.view()));
    item->setText(1, (row.attribute & 1) != 0 ? QStringLiteral("M") : QString());
    item->setText(2, FromShiftJis(row.channel.view()));
    item->setText(3, FromShiftJis(row.address.view()));
    // Every row goes in at the top, so each pass shows in reverse table order above the
    // passes before it.
    insertTopLevelItem(0, item);
}

void CTesselUserView::ShowTable(UserTable::Rows rows, std::string ownChannel) {
    rows_ = std::move(rows);
    ownChannel_ = std::move(ownChannel);
    Refresh();
}

void CTesselUserView::Refresh() {
    clear();
    const UserTable::Rows& rows = rows_;
    const std::string& own = ownChannel_;
    if (settings_.GetInt(SettingKey::userview) ==
        static_cast<std::int32_t>(UserListScope::Everybody)) {
        for (const UserEntry& row : rows) {
            const std::string_view channel = row.channel.view();
            if (!row.handle.empty() && channel == kNoJoin && channel != own) {
                AddRow(row);
            }
        }
        for (const UserEntry& row : rows) {
            const std::string_view channel = row.channel.view();
            if (!channel.empty() && channel != kNoJoin && channel != own) {
                AddRow(row);
            }
        }
    }
    for (const UserEntry& row : rows) {
        const std::string_view channel = row.channel.view();
        if (!channel.empty() && channel != kNoJoin && channel == own) {
            AddRow(row);
        }
    }
}

void CTesselUserView::Clear() {
    rows_ = {};
    ownChannel_.clear();
    clear();
}

}  // namespace tessel::gui
