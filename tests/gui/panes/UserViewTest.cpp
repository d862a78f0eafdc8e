// SPDX-License-Identifier: MIT

#include <QTest>

#include "connection/ConnectionState.h"
#include "gui/panes/PaneStyle.h"
#include "gui/panes/PaneTestSupport.h"
#include "gui/panes/TesselUserView.h"

using namespace tessel;
using namespace tessel::gui;

namespace {

UserEntry User(std::string_view handle, std::string_view channel, std::uint8_t attribute = 0) {
    UserEntry entry;
    entry.handle.assign(handle);
    entry.channel.assign(channel);
    entry.address.assign(std::string(handle) + ".example");
    entry.attribute = attribute;
    return entry;
}

// Rows in table order: two in the own channel, two elsewhere (one without a handle), two in
// no channel.
UserTable::Rows SampleTable() {
    UserTable::Rows rows{};
    rows[0] = User("alice", "dice");
    rows[1] = User("bob", "NoJoin");
    rows[2] = User("carol", "other");
    rows[3] = User("dave", "dice", 3);
    rows[4] = User("", "other");
    rows[5] = User("eve", "NoJoin", 2);
    return rows;
}

}  // namespace

class UserViewTest : public QObject {
    Q_OBJECT

    struct Pane {
        test::TempSettings files;
        CTesselUserView view{files.settings};
        QStringList Column(int column) const {
            QStringList texts;
            for (int i = 0; i < view.topLevelItemCount(); ++i) {
                texts << view.topLevelItem(i)->text(column);
            }
            return texts;
        }
    };

  private slots:
    void cleanup() { ResetConnectionState(); }

    void rowsFollowThePassOrderOfTheScope_data() {
        QTest::addColumn<int>("scope");
        QTest::addColumn<QString>("ownChannel");
        QTest::addColumn<QStringList>("handles");
        QTest::newRow("own channel only") << 0 << "dice" << QStringList{"dave", "alice"};
        QTest::newRow("everybody")
            << 1 << "dice" << QStringList{"dave", "alice", "", "carol", "eve", "bob"};
        QTest::newRow("own channel, none entered") << 0 << "" << QStringList{};
        QTest::newRow("everybody, own channel NoJoin")
            << 1 << "NoJoin" << QStringList{"", "dave", "carol", "alice"};
    }
    void rowsFollowThePassOrderOfTheScope() {
        QFETCH(int, scope);
        QFETCH(QString, ownChannel);
        QFETCH(QStringList, handles);
        Pane pane;
        pane.files.settings.SetInt(SettingKey::userview, scope);
        pane.view.ShowTable(SampleTable(), ownChannel.toStdString());
        QCOMPARE(pane.Column(0), handles);
        pane.view.Clear();  // the connection ended
        QCOMPARE(pane.view.topLevelItemCount(), 0);
    }

    void columnsShowMasterMarkChannelAndAddress() {
        Pane pane;
        pane.files.settings.SetInt(SettingKey::userview, 1);
        pane.view.ShowTable(SampleTable(), "dice");
        QCOMPARE(pane.Column(1), (QStringList{"M", "", "", "", "", ""}));
        QCOMPARE(pane.Column(2),
                 (QStringList{"dice", "dice", "other", "other", "NoJoin", "NoJoin"}));
        QCOMPARE(pane.Column(3).front(), QString("dave.example"));
        const QTreeWidgetItem* header = pane.view.headerItem();
        QCOMPARE(header->text(0) + header->text(1) + header->text(2) + header->text(3),
                 QString::fromUtf8("名前属性チャネルアドレス"));
        QCOMPARE(pane.view.columnWidth(3), 120);
    }
};

QTEST_MAIN(UserViewTest)
#include "UserViewTest.moc"
