// SPDX-License-Identifier: MIT

// Values in and out of the dialogs: initial values and selection, range checks, default button
// and Escape, the roll buttons, destination lists, radio groups.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

#include "gui/dialogs/DialogTestSupport.h"
#include "gui/dialogs/Dialogs.h"

namespace tessel::gui::test {

class DialogValuesTest : public QObject {
    Q_OBJECT

  private slots:
    void focusedFieldsStartSelected() {
        CConnectDialog connect;
        connect.m_host = QStringLiteral("127.0.0.1");
        connect.m_port = 3962;
        CRollDialog roll;
        ShownDialog shown;
        QVERIFY(shown.Show(connect));
        QCOMPARE(connect.PortEdit()->text(), QStringLiteral("3962"));
        QCOMPARE(connect.HostEdit()->selectedText(), QStringLiteral("127.0.0.1"));
        QVERIFY(shown.Show(roll));
        QCOMPARE(roll.CountEdit()->selectedText(), QStringLiteral("2"));
        QCOMPARE(roll.SidesEdit()->text(), QStringLiteral("6"));
    }

    // Texts that cannot be kept or sent are refused while the dialog is open: the field keeps
    // its focus and what was typed, and nothing is stored.
    void refusalsKeepTheDialogOpen_data() {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        const QString noShiftJis = QString::fromUtf8("\xF0\x9F\x8E\xB2");  // a die emoji
        QTest::newRow("log directory") << "autolog"
                                       << "directory"
                                       << "/tmp/" + noShiftJis;
        QTest::newRow("log name") << "autolog"
                                  << "pattern" << noShiftJis + "%y.log";
        QTest::newRow("receive directory") << "receive"
                                           << "directory"
                                           << "/tmp/" + noShiftJis;
        QTest::newRow("empty receive directory") << "receive"
                                                 << "directory"
                                                 << "";
        QTest::newRow("host of 256 bytes") << "connect"
                                           << "host" << QString(256, 'h');
        QTest::newRow("sound name") << "sound"
                                    << "sound" << noShiftJis + ".wav";
    }
    void refusalsKeepTheDialogOpen() {
        QFETCH(QString, dialog);
        QFETCH(QString, field);
        QFETCH(QString, text);
        std::unique_ptr<CTesselDialog> shownDialog;
        QLineEdit* edit = nullptr;
        if (dialog == "autolog") {
            auto* log = new CAutoLogSettingsDialog;
            edit = field == "directory" ? log->DirectoryEdit() : log->PatternEdit();
            shownDialog.reset(log);
        } else if (dialog == "receive") {
            auto* receive = new CFileReceiveDialog;
            receive->m_accept = 1;
            edit = receive->DirectoryEdit();
            shownDialog.reset(receive);
        } else if (dialog == "connect") {
            auto* connect = new CConnectDialog;
            edit = connect->HostEdit();
            shownDialog.reset(connect);
        } else {
            auto* sound = new CSoundSendDialog([](const QString&) {});
            edit = sound->SoundEdit();
            shownDialog.reset(sound);
        }
        ShownDialog shown;
        QVERIFY(shown.Show(*shownDialog));
        edit->setText(text);
        shownDialog->OnOK();
        QCOMPARE(shown.messages.size(), 1);
        QVERIFY(shownDialog->isVisible());
        QCOMPARE(shownDialog->result(), int(QDialog::Rejected));
        QCOMPARE(shownDialog->focusWidget(), edit);
        QCOMPARE(edit->text(), text);
    }

    void rangeChecks_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        struct Row {
            const char* field;
            const char* text;
            bool accepted;
        };
        const Row rows[] = {
            {"port", "0", true},     {"port", "65535", true}, {"port", "65536", false},
            {"port", "-1", false},   {"port", "", false},     {"port", "80x", false},
            {"count", "1", true},    {"count", "255", true},  {"count", "0", false},
            {"count", "256", false}, {"sides", "1", true},    {"sides", "255", true},
            {"sides", "0", false},   {"sides", "256", false}, {"sides", "99999999999", false},
        };
        for (const Row& row : rows) {
            QTest::addRow("%s '%s'", row.field, row.text)
                << QString::fromLatin1(row.field) << QString::fromLatin1(row.text) << row.accepted;
        }
    }
    void rangeChecks() {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        const QString range = field == QLatin1String("port") ? QStringLiteral("0 から 65535")
                                                             : QStringLiteral("1 から 255");
        std::unique_ptr<CTesselDialog> dialog;
        QLineEdit* edit = nullptr;
        std::function<int()> value;
        if (field == QLatin1String("port")) {
            auto* connect = new CConnectDialog;
            edit = connect->PortEdit();
            value = [connect] { return connect->m_port; };
            dialog.reset(connect);
        } else {
            auto* roll = new CRollDialog;
            edit = field == QLatin1String("count") ? roll->CountEdit() : roll->SidesEdit();
            value = [roll, edit] {
                return edit == roll->CountEdit() ? roll->m_count : roll->m_sides;
            };
            dialog.reset(roll);
        }
        ShownDialog shown;
        QVERIFY(shown.Show(*dialog));
        edit->setText(text);
        dialog->OnOK();
        if (accepted) {
            QCOMPARE(dialog->result(), int(QDialog::Accepted));
            QVERIFY(!dialog->isVisible());
            QCOMPARE(value(), text.toInt());
            QVERIFY(shown.messages.isEmpty());
        } else {
            QVERIFY(KeptOpenOn(*dialog, edit));
            QCOMPARE(shown.messages.size(), 1);
            QVERIFY(shown.messages.front().contains(range));
        }
    }

    void textsTheCodePageCannotHoldAreRefused() {
        CNameDialog name;
        CPrivateMessageDialog message;
        ShownDialog shown;
        QVERIFY(shown.Show(name));
        name.HandleEdit()->setText(QStringLiteral("ab한"));
        name.OnOK();
        QVERIFY(KeptOpenOn(name, name.HandleEdit()));
        QVERIFY(shown.messages.value(0).contains(QStringLiteral("한")));
        // The wave dash an input method types is taken in its code page 932 form.
        QVERIFY(shown.Show(message));
        message.MessageEdit()->setText(QStringLiteral("よろしく\u301C"));
        message.OnOK();
        QCOMPARE(message.result(), int(QDialog::Accepted));
        QCOMPARE(message.m_message, QStringLiteral("よろしく\uFF5E"));
    }

    void returnPressesTheDefaultButtonAndEscapeCancels() {
        CConnectDialog connect;
        connect.m_port = 3962;
        ShownDialog shown;
        QVERIFY(shown.Show(connect));
        connect.HostEdit()->setText(QStringLiteral("localhost"));
        QTest::keyClick(connect.HostEdit(), Qt::Key_Return);
        QCOMPARE(connect.result(), int(QDialog::Accepted));
        QCOMPARE(connect.m_host, QStringLiteral("localhost"));

        CNameDialog name;
        name.m_handle = QStringLiteral("taro");
        QVERIFY(shown.Show(name));
        name.HandleEdit()->setText(QStringLiteral("jiro"));
        QTest::keyClick(name.HandleEdit(), Qt::Key_Escape);
        QCOMPARE(name.result(), int(QDialog::Rejected));
        QVERIFY(!name.isVisible());
        QCOMPARE(name.m_handle, QStringLiteral("taro"));

        CRollDialog roll;
        roll.m_rule = CRollDialog::kRuleBerserk;
        QVERIFY(shown.Show(roll));
        QTest::keyClick(roll.CountEdit(), Qt::Key_Return);
        QCOMPARE(roll.result(), int(QDialog::Accepted));
        QCOMPARE(roll.m_rule, CRollDialog::kRulePlain);
    }

    void rollButtons_data() {
        QTest::addColumn<int>("rule");
        QTest::addColumn<QString>("caption");
        QTest::newRow("plain") << 0 << QStringLiteral("ロール");
        QTest::newRow("AAF") << 1 << QStringLiteral("ＡＡＦロール");
        QTest::newRow("berserk") << 7 << QStringLiteral("バーサーク");
        QTest::newRow("doubles") << 9 << QStringLiteral("ゾロ目振り足し");
        QTest::newRow("maximum") << 10 << QStringLiteral("最大値振り足し");
    }
    void rollButtons() {
        QFETCH(int, rule);
        QFETCH(QString, caption);
        CRollDialog roll;
        roll.m_rule = -1;
        ShownDialog shown;
        QVERIFY(shown.Show(roll));
        roll.CountEdit()->setText(QStringLiteral("3"));
        roll.SidesEdit()->setText(QStringLiteral("6"));
        QPushButton* button = roll.RollButton(rule);
        QVERIFY(button != nullptr);
        QCOMPARE(button->text(), caption);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(roll.result(), int(QDialog::Accepted));
        QCOMPARE(roll.m_count, 3);
        QCOMPARE(roll.m_sides, 6);
        QCOMPARE(roll.m_rule, rule);
    }

    void destinationList_data() {
        QTest::addColumn<QStringList>("handles");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("selected");
        QTest::newRow("nobody") << QStringList{} << "*" << QStringList{"*"} << 0;
        QTest::newRow("sorted, stops at the first empty handle")
            << QStringList{"taro", "Hanako", "", "jiro"} << "taro"
            << QStringList{"*", "Hanako", "taro"} << 2;
        QTest::newRow("last destination gone")
            << QStringList{"taro"} << "jiro" << QStringList{"*", "taro"} << -1;
        QTest::newRow("japanese handles")
            << QStringList{"花子", "太郎"} << "花子" << QStringList{"*", "太郎", "花子"} << 2;
    }
    void destinationList() {
        QFETCH(QStringList, handles);
        QFETCH(QString, last);
        QFETCH(QStringList, entries);
        QFETCH(int, selected);
        QCOMPARE(DestinationEntries(handles), entries);

        CPrivateMessageDialog message;
        CFileSendDialog file;
        CSoundSendDialog sound{PlaySound{}};
        const std::tuple<CTesselDialog*, QComboBox*, QStringList*, QString*> dialogs[] = {
            {&message, message.DestinationList(), &message.m_handles, &message.m_destination},
            {&file, file.DestinationList(), &file.m_handles, &file.m_destination},
            {&sound, sound.DestinationList(), &sound.m_handles, &sound.m_destination},
        };
        for (const auto& [dialog, list, dialogHandles, destination] : dialogs) {
            *dialogHandles = handles;
            *destination = last;
            ShownDialog shown;
            QVERIFY(shown.Show(*dialog));
            QStringList listed;
            for (int i = 0; i < list->count(); ++i) {
                listed.append(list->itemText(i));
            }
            QCOMPARE(listed, entries);
            QCOMPARE(list->currentIndex(), selected);
            dialog->OnOK();
            // Nothing chosen: the destination stays the last one even when it is not listed.
            QCOMPARE(*destination, last);
        }
    }

    void choosingAnEntryMakesItTheDestination() {
        CPrivateMessageDialog message;
        message.m_handles = {QStringLiteral("taro"), QStringLiteral("jiro")};
        message.m_destination = QStringLiteral("*");
        ShownDialog shown;
        QVERIFY(shown.Show(message));
        QCOMPARE(message.focusWidget(), message.MessageEdit());
        QTest::keyClick(message.DestinationList(), Qt::Key_Down);
        message.MessageEdit()->setText(QStringLiteral("hello"));
        message.OnOK();
        QCOMPARE(message.m_destination, QStringLiteral("jiro"));
        QCOMPARE(message.m_message, QStringLiteral("hello"));
    }

    void radioGroups_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("checked");
        QTest::newRow("first") << 0 << 0;
        QTest::newRow("second") << 1 << 1;
        QTest::newRow("unset") << -1 << -1;
        QTest::newRow("out of range") << 5 << -1;
    }
    void clientSettingsKeptLines_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("lines");
        QTest::newRow("the least") << QStringLiteral("50") << true << 50;
        QTest::newRow("the most") << QStringLiteral("100000") << true << 100000;
        QTest::newRow("below the least") << QStringLiteral("49") << false << 777;
        QTest::newRow("above the most") << QStringLiteral("100001") << false << 777;
        QTest::newRow("not a number") << QStringLiteral("many") << false << 777;
    }
    void clientSettingsKeptLines() {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(int, lines);
        CClientSettingsDialog client;
        client.m_lines = 777;
        ShownDialog shown;
        QVERIFY(shown.Show(client));
        QCOMPARE(client.LinesEdit()->text(), QStringLiteral("777"));
        client.LinesEdit()->setText(typed);
        client.OnOK();
        QCOMPARE(client.m_lines, lines);
        QCOMPARE(shown.messages.isEmpty(), accepted);
        if (!accepted) {
            QVERIFY(KeptOpenOn(client, client.LinesEdit()));
            QCOMPARE(shown.messages.front(), RangeMessage(50, 100000));
        }
    }

    void radioGroups() {
        QFETCH(int, value);
        QFETCH(int, checked);
        CModeDialog mode;
        mode.m_mode = value;
        CClientSettingsDialog client;
        client.m_scope = value;
        ShownDialog shown;
        QVERIFY(shown.Show(mode));
        QVERIFY(shown.Show(client));
        QCOMPARE(mode.focusWidget(), mode.OpenButton());
        QCOMPARE(mode.OpenButton()->isChecked(), checked == 0);
        QCOMPARE(mode.SecretButton()->isChecked(), checked == 1);
        QCOMPARE(client.ChannelButton()->isChecked(), checked == 0);
        QCOMPARE(client.ServerButton()->isChecked(), checked == 1);
        // One Tab stop per group: the checked button, the first while none is checked.
        QCOMPARE((client.ServerButton()->focusPolicy() & Qt::TabFocus) != 0, checked == 1);
        QCOMPARE((client.ChannelButton()->focusPolicy() & Qt::TabFocus) != 0, checked != 1);
        // Confirming reads back the checked button's index, -1 when none is checked.
        mode.OnOK();
        client.OnOK();
        QCOMPARE(mode.m_mode, checked);
        QCOMPARE(client.m_scope, checked);
    }
};

std::unique_ptr<QObject> CreateDialogValuesTest() {
    return std::make_unique<DialogValuesTest>();
}

}  // namespace tessel::gui::test

#include "DialogValuesTest.moc"
