// SPDX-License-Identifier: MIT

// What the dialogs' own buttons and fields do: the ".wav" rule, the sound test, browsing,
// the receive dialog's three buttons, the editor button, colour and font pickers, and the
// notification strings copied as they are typed.
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "gui/dialogs/DialogTestSupport.h"
#include "gui/dialogs/Dialogs.h"

namespace tessel::gui::test {

class DialogActionsTest : public QObject {
    Q_OBJECT

  private slots:
    void wavRule_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("left");
        QTest::newRow("bare name") << "door"
                                   << "door.wav";
        QTest::newRow("already .wav") << "door.wav"
                                      << "door.wav";
        QTest::newRow("empty") << ""
                               << ".wav";
        QTest::newRow(".wav inside") << "a.wave"
                                     << "a.wave";
        QTest::newRow("other case") << "DOOR.WAV"
                                    << "DOOR.WAV.wav";
        QTest::newRow("path") << "/snd/bell"
                              << "/snd/bell.wav";
    }
    void wavRule() {
        QFETCH(QString, typed);
        QFETCH(QString, left);
        CSoundSendDialog sound{PlaySound{}};
        CNotifySettingsDialog notify{PlaySound{}};
        const std::pair<CTesselDialog*, QLineEdit*> fields[] = {
            {&sound, sound.SoundEdit()},
            {&notify, notify.SoundEdit()},
        };
        for (const auto& [dialog, edit] : fields) {
            ShownDialog shown;
            QVERIFY(shown.Show(*dialog));
            edit->setFocus();
            edit->setText(typed);
            QTest::keyClick(edit, Qt::Key_Tab);  // leave the field
            QVERIFY(!edit->hasFocus());
            QCOMPARE(edit->text(), left);
            dialog->OnCancel();
        }
        QCOMPARE(notify.m_soundFile, left);  // leaving the field also copied it
    }

    void confirmingFromTheSoundFieldAppliesTheRule() {
        CSoundSendDialog sound{PlaySound{}};
        ShownDialog shown;
        QVERIFY(shown.Show(sound));
        QCOMPARE(sound.focusWidget(), sound.SoundEdit());
        QTest::keyClicks(sound.SoundEdit(), QStringLiteral("door"));
        QTest::keyClick(sound.SoundEdit(), Qt::Key_Return);
        QCOMPARE(sound.result(), int(QDialog::Accepted));
        QCOMPARE(sound.m_sound, QStringLiteral("door.wav"));

        // A field never entered keeps its value: an empty sound stays empty.
        CNotifySettingsDialog notify{PlaySound{}};
        QVERIFY(shown.Show(notify));
        QTest::keyClick(notify.NotifyEdit(0), Qt::Key_Return);
        QCOMPARE(notify.result(), int(QDialog::Accepted));
        QCOMPARE(notify.m_soundFile, QString());
    }

    void testButtonPlays_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("played");
        QTest::newRow("bare name from the sound directory") << "door.wav"
                                                            << "/app/wav/door.wav";
        QTest::newRow("path as it stands") << "/tmp/bell.wav"
                                           << "/tmp/bell.wav";
    }
    void testButtonPlays() {
        QFETCH(QString, text);
        QFETCH(QString, played);
        QStringList plays;
        CNotifySettingsDialog notify{[&plays](const QString& path) { plays.append(path); }};
        notify.m_waveDirectory = QStringLiteral("/app/wav/");
        notify.m_soundFile = text;
        ShownDialog shown;
        QVERIFY(shown.Show(notify));
        QTest::mouseClick(notify.TestButton(), Qt::LeftButton);
        QCOMPARE(plays, QStringList{played});
        QVERIFY(notify.isVisible());  // testing does not close the dialog
    }

    void browseButtonsOfferTheirStartAndTakeTheChoice() {
        QList<FileChoice> asked;
        const ChooseFile chooser = [&asked](QWidget*, const FileChoice& choice) {
            asked.append(choice);
            return QStringLiteral("/home/taro/chosen.wav");
        };
        CSoundSendDialog sound{PlaySound{}};
        sound.m_waveDirectory = QStringLiteral("/app/wav/");
        sound.m_chooseFile = chooser;
        CFileReceiveDialog receive;
        receive.m_directory = QStringLiteral("/recv/");
        receive.m_chooseFile = chooser;
        ShownDialog shown;
        QVERIFY(shown.Show(sound));
        QTest::mouseClick(sound.BrowseButton(), Qt::LeftButton);
        QVERIFY(shown.Show(receive));
        QTest::mouseClick(receive.BrowseButton(), Qt::LeftButton);
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked[0].initialPath, QStringLiteral("/app/wav/sample.wav"));
        QVERIFY(asked[0].filter.startsWith(QStringLiteral("Wave Files (*.wav)")));
        QCOMPARE(sound.SoundEdit()->text(), QStringLiteral("/home/taro/chosen.wav"));
        QCOMPARE(asked[1].initialPath, QStringLiteral("/recv/samples"));
        QVERIFY(asked[1].save);
        QCOMPARE(receive.DirectoryEdit()->text(), QStringLiteral("/home/taro/"));
    }

    void receiveDirectoryOfAChosenPath() {
        // An existing directory is kept itself, a file (existing or not) gives its directory.
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString dir = root.path() + QStringLiteral("/");
        QCOMPARE(ReceiveDirectoryOf(root.path()), dir);
        QCOMPARE(ReceiveDirectoryOf(dir), dir);
        QCOMPARE(ReceiveDirectoryOf(dir + QStringLiteral("samples")), dir);
    }

    void receiveDialogButtons_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("accept");
        QTest::addColumn<QString>("directory");
        QTest::newRow("OK accepts, adds the separator") << "OK" << 1 << 1 << "/recv/";
        QTest::newRow("refuse keeps the text as typed") << "受信拒否" << 1 << 0 << "/recv";
        QTest::newRow("cancel changes nothing") << "ｷｬﾝｾﾙ" << 0 << 7 << "/old/";
    }
    void receiveDialogButtons() {
        QFETCH(QString, button);
        QFETCH(int, result);
        QFETCH(int, accept);
        QFETCH(QString, directory);
        CFileReceiveDialog dialog;
        dialog.m_directory = QStringLiteral("/old/");
        dialog.m_accept = 7;
        ShownDialog shown;
        QVERIFY(shown.Show(dialog));
        dialog.DirectoryEdit()->setText(QStringLiteral("/recv"));
        QPushButton* target = nullptr;
        for (QPushButton* b : dialog.findChildren<QPushButton*>()) {
            if (b->text() == button) {
                target = b;
            }
        }
        QVERIFY(target != nullptr);
        QTest::mouseClick(target, Qt::LeftButton);
        QCOMPARE(dialog.result(), result);
        QCOMPARE(dialog.m_accept, accept);
        QCOMPARE(dialog.m_directory, directory);
    }

    void editButtonOpensTheFileShown() {
        QStringList opened;
        CKeyConfigDialog keys{[&opened](const QString& path) { opened.append(path); }};
        keys.m_path = QStringLiteral("/app/tessel.key");
        ShownDialog shown;
        QVERIFY(shown.Show(keys));
        QTest::mouseClick(keys.EditButton(), Qt::LeftButton);
        keys.PathEdit()->setText(QStringLiteral("/app/other.key"));
        QTest::mouseClick(keys.EditButton(), Qt::LeftButton);
        keys.PathEdit()->clear();
        QTest::mouseClick(keys.EditButton(), Qt::LeftButton);  // nothing to open
        QCOMPARE(opened, (QStringList{"/app/tessel.key", "/app/other.key"}));
        QVERIFY(keys.isVisible());
    }

    void colourButtonsEditTheirOwnMember() {
        CColorSettingsDialog dialog;
        // Buttons in the catalogue's member order.
        const int ids[] = {1025, 1027, 1028, 1029, 1021, 1022, 1023, 1024, 1041, 1042, 1043};
        Colorref* members[] = {
            &dialog.m_dispColor,    &dialog.m_inputColor,   &dialog.m_userColor,
            &dialog.m_memoColor,    &dialog.m_dispBkColor,  &dialog.m_inputBkColor,
            &dialog.m_userBkColor,  &dialog.m_memoBkColor,  &dialog.m_dispNameColor,
            &dialog.m_dispSysColor, &dialog.m_dispDiceColor};
        std::optional<QColor> answer;
        QList<QColor> offered;
        dialog.m_chooseColor = [&](QWidget*, const QColor& initial) {
            offered.append(initial);
            return answer;
        };
        ShownDialog shown;
        QVERIFY(shown.Show(dialog));
        for (int i = 0; i < 11; ++i) {
            *members[i] = 0x000080u;  // red 0x80
            answer = QColor(0x12, 0x34, i);
            QTest::mouseClick(dialog.ColorButton(ids[i]), Qt::LeftButton);
            QCOMPARE(offered.back(), QColor(0x80, 0, 0));
            QCOMPARE(*members[i], 0x00003412u | (static_cast<Colorref>(i) << 16));
        }
        answer.reset();  // a cancelled picker leaves the member
        QTest::mouseClick(dialog.ColorButton(1043), Qt::LeftButton);
        QCOMPARE(dialog.m_dispDiceColor, 0x000A3412u);
    }

    void fontButtonTakesSizeInTenthsAndFace() {
        CFontSettingsDialog dialog;
        QFont picked(QStringLiteral("Noto Sans CJK JP"));
        picked.setPointSizeF(10.5);
        picked.setUnderline(true);
        dialog.m_chooseFont = [&](QWidget*, const QFont&) { return std::optional<QFont>(picked); };
        ShownDialog shown;
        QVERIFY(shown.Show(dialog));
        QTest::mouseClick(dialog.InputButton(), Qt::LeftButton);
        QCOMPARE(dialog.m_inputFontSize, 105);
        QCOMPARE(dialog.m_inputFontName, QStringLiteral("Noto Sans CJK JP"));
        QVERIFY(!dialog.m_inputFont.underline());
        QCOMPARE(dialog.m_dispFontSize, 120);  // the other records are untouched
    }

    void notifyBrowseKeepsTheOtherFields() {
        CNotifySettingsDialog dialog{PlaySound{}};
        dialog.m_mode = 0;
        dialog.m_chooseFile = [](QWidget*, const FileChoice&) {
            return QStringLiteral("/snd/call.wav");
        };
        ShownDialog shown;
        QVERIFY(shown.Show(dialog));
        QTest::mouseClick(dialog.ModeButton(2), Qt::LeftButton);
        QTest::mouseClick(dialog.BrowseButton(), Qt::LeftButton);
        QCOMPARE(dialog.SoundEdit()->text(), QStringLiteral("/snd/call.wav"));
        QVERIFY(dialog.ModeButton(2)->isChecked());
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        QCOMPARE(dialog.m_mode, 2);
        QCOMPARE(dialog.m_soundFile, QStringLiteral("/snd/call.wav"));
    }
};

std::unique_ptr<QObject> CreateDialogActionsTest() {
    return std::make_unique<DialogActionsTest>();
}

}  // namespace tessel::gui::test

#include "DialogActionsTest.moc"
