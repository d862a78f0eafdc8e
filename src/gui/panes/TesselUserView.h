// SPDX-License-Identifier: MIT

#pragma once

#include <QTreeWidget>

#include <cstdint>
#include <string>

#include "gui/panes/PaneStyle.h"
#include "session/SessionState.h"
#include "settings/Settings.h"

namespace tessel::gui {

// Which users the list shows (setting userview).
enum class UserListScope : std::int32_t {
    OwnChannel = 0,  // only the users of the own channel
    Everybody = 1,   // everybody on the server
};

// The user list: handle, master mark, channel and address of the users of the last user
// table, rebuilt whole on every update, empty while there is no connection. It keeps the last
// table it was shown, so a change of scope can draw it again.
class CTesselUserView : public QTreeWidget {
    Q_OBJECT

  public:
    // Colours are read from `settings` now.
    explicit CTesselUserView(const Settings& settings, QWidget* parent = nullptr);

    // A new user table, with the channel the user is in now.
    void ShowTable(UserTable::Rows rows, std::string ownChannel);

  public slots:
    // All rows of the last table again, in the order the scope asks for (read from the
    // settings now, so a change of scope shows at the next update).
    void Refresh();
    // The connection ended.
    void Clear();

  public:
    void SetColours(std::int32_t text, std::int32_t background);
    void ApplySettings();

  private:
    void AddRow(const UserEntry& row);

    const Settings& settings_;
    UserTable::Rows rows_{};
    std::string ownChannel_;
};

}  // namespace tessel::gui
