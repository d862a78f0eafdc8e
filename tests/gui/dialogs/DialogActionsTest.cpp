// What the dialogs' own buttons and fields do: the ".wav" rule, the sound test, browsing,
// the receive dialog's three buttons, the editor button, colour and font pickers, and the
// notification strings copied as they are typed.
#include <QDir>
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
        const PlaySound recorder = [&plays](const QString& path) { plays.append(path); };
        CSoundSendDialog sound{recorder};
        sound.m_waveDirectory = QStringLiteral("/app/wav/");
        sound.m_sound = text;
        CNotifySettingsDialog notify{recorder};
        notify.m_waveDirectory = QStringLiteral("/app/wav/");
        notify.m_soundFile = text;
        ShownDialog shown;
        QVERIFY(shown.Show(sound));
        QTest::mouseClick(sound.TestButton(), Qt::LeftButton);
        QVERIFY(shown.Show(notify));
        QTest::mouseClick(notify.TestButton(), Qt::LeftButton);
        QCOMPARE(plays, (QStringList{played, played}));
        QVERIFY(sound.isVisible());  // testing does not close the dialog
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
        CFileSendDialog file;
        file.m_path = QStringLiteral("/home/taro/map.png");
        file.m_chooseFile = chooser;
        CKeyConfigDialog keys{OpenEditor{}};
        keys.m_path = QStringLiteral("/app/tessel.key");
        keys.m_chooseFile = chooser;
        ShownDialog shown;
        QVERIFY(shown.Show(sound));
        QTest::mouseClick(sound.BrowseButton(), Qt::LeftButton);
        QVERIFY(shown.Show(file));
        QTest::mouseClick(file.BrowseButton(), Qt::LeftButton);
        QVERIFY(shown.Show(keys));
        QTest::mouseClick(keys.BrowseButton(), Qt::LeftButton);

        QCOMPARE(asked.size(), 3);
        QCOMPARE(asked[0].initialPath, QStringLiteral("/app/wav/sample.wav"));
        QVERIFY(asked[0].filter.startsWith(QStringLiteral("Wave Files (*.wav)")));
        QCOMPARE(asked[1].initialPath, QStringLiteral("/home/taro/map.png"));
        QCOMPARE(asked[2].initialPath, QStringLiteral("/app/tessel.key"));
        QVERIFY(asked[2].filter.startsWith(QStringLiteral("Key Define File (*.key)")));
        for (const auto* edit : {sound.SoundEdit(), file.PathEdit(), keys.PathEdit()}) {
            QCOMPARE(edit->text(), QStringLiteral("/home/taro/chosen.wav"));
        }
    }

    void receiveDirectoryOfAChosenPath() {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString dir = root.path();
        QVERIFY(QDir(dir).mkdir(QStringLiteral("inbox")));
        // An existing directory is kept itself, a file (existing or not) gives its directory.
        QCOMPARE(ReceiveDirectoryOf(dir + QStringLiteral("/inbox")),
                 dir + QStringLiteral("/inbox/"));
        QCOMPARE(ReceiveDirectoryOf(dir + QStringLiteral("/inbox/")),
                 dir + QStringLiteral("/inbox/"));
        QCOMPARE(ReceiveDirectoryOf(dir + QStringLiteral("/inbox/samples")),
                 dir + QStringLiteral("/inbox/"));
        QCOMPARE(ReceiveDirectoryOf(QStringLiteral("/")), QStringLiteral("/"));
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

    void receiveBrowseStartsAtSamplesInTheDirectory() {
        QString initial;
        CFileReceiveDialog dialog;
        dialog.m_directory = QStringLiteral("/recv/");
        dialog.m_chooseFile = [&initial](QWidget*, const FileChoice& choice) {
            initial = choice.save ? choice.initialPath : QString();
            return QStringLiteral("/nonexistent-dir/name.txt");
        };
        ShownDialog shown;
        QVERIFY(shown.Show(dialog));
        QTest::mouseClick(dialog.BrowseButton(), Qt::LeftButton);
        QCOMPARE(initial, QStringLiteral("/recv/samples"));
        QCOMPARE(dialog.DirectoryEdit()->text(), QStringLiteral("/nonexistent-dir/"));
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

    void colourButtons_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("member");  // index in the catalogue's member order
        const int ids[] = {1025, 1027, 1028, 1029, 1021, 1022, 1023, 1024, 1041, 1042, 1043};
        for (int i = 0; i < 11; ++i) {
            QTest::addRow("%d", ids[i]) << ids[i] << i;
        }
    }
    void colourButtons() {
        QFETCH(int, id);
        QFETCH(int, member);
        CColorSettingsDialog dialog;
        Colorref* members[] = {
            &dialog.m_dispColor,    &dialog.m_inputColor,   &dialog.m_userColor,
            &dialog.m_memoColor,    &dialog.m_dispBkColor,  &dialog.m_inputBkColor,
            &dialog.m_userBkColor,  &dialog.m_memoBkColor,  &dialog.m_dispNameColor,
            &dialog.m_dispSysColor, &dialog.m_dispDiceColor};
        for (int i = 0; i < 11; ++i) {
            *members[i] = static_cast<Colorref>(0x010101 * (i + 1));
        }
        QColor offered;
        std::optional<QColor> answer = QColor(0x12, 0x34, 0x56);
        dialog.m_chooseColor = [&](QWidget*, const QColor& initial) {
            offered = initial;
            return answer;
        };
        ShownDialog shown;
        QVERIFY(shown.Show(dialog));
        QTest::mouseClick(dialog.ColorButton(id), Qt::LeftButton);
        QCOMPARE(offered, ColorFromColorref(static_cast<Colorref>(0x010101 * (member + 1))));
        for (int i = 0; i < 11; ++i) {
            const Colorref expected =
                i == member ? 0x563412u : static_cast<Colorref>(0x010101 * (i + 1));
            QCOMPARE(*members[i], expected);
        }
        answer.reset();  // a cancelled picker leaves the member
        QTest::mouseClick(dialog.ColorButton(id), Qt::LeftButton);
        QCOMPARE(*members[member], 0x563412u);
    }

    void fontButtonTakesSizeInTenthsAndFace() {
        CFontSettingsDialog dialog;
        dialog.m_inputFontSize = 120;
        dialog.m_inputFontName = QStringLiteral("ＭＳ Ｐゴシック");
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
        QCOMPARE(dialog.m_memoFontName, QString());
    }

    void notifyStringsAreCopiedAsTyped() {
        CNotifySettingsDialog dialog{PlaySound{}};
        dialog.m_notifyString3 = QStringLiteral("花子");
        ShownDialog shown;
        QVERIFY(shown.Show(dialog));
        QTest::keyClicks(dialog.NotifyEdit(1), QStringLiteral("taro"));
        QCOMPARE(dialog.m_notifyString2, QStringLiteral("taro"));
        QCOMPARE(dialog.m_notifyString3, QStringLiteral("花子"));
        QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
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

    void colorrefConversion() {
        QCOMPARE(ColorFromColorref(0x0080FFFFu), QColor(0xFF, 0xFF, 0x80));
        QCOMPARE(ColorrefFromColor(QColor(0x12, 0x34, 0x56)), 0x00563412u);
    }
};

std::unique_ptr<QObject> CreateDialogActionsTest() {
    return std::make_unique<DialogActionsTest>();
}

}  // namespace tessel::gui::test

#include "DialogActionsTest.moc"
