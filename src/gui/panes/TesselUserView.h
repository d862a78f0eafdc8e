#pragma once

#include <QTreeWidget>

#include <cstdint>

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
// table, rebuilt whole on every update, empty while there is no connection.
class CTesselUserView : public QTreeWidget {
    Q_OBJECT

  public:
    // Colours are read from `settings` now; `users` must outlive the pane.
    CTesselUserView(const Settings& settings, const UserTable& users, QWidget* parent = nullptr);

  public slots:
    // The user table changed: all rows again, in the order the scope asks for (read from the
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
    const UserTable& users_;
};

}  // namespace tessel::gui
