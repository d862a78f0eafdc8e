// SPDX-License-Identifier: MIT

#include "gui/app/TesselApp.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

#include "gui/app/TesselDoc.h"
#include "gui/frame/MainFrame.h"
#include "gui/help/ApplicationIcon.h"
#include "gui/panes/TesselInputView.h"
#include "gui/platform/FontSubstitution.h"
#include "gui/platform/QtTranslations.h"
#include "platform/DataFolder.h"
#include "platform/FileSystem.h"
#include "version/Version.h"

namespace tessel::gui {

CTesselApp::CTesselApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("tessel"));
    setApplicationVersion(
        QString::fromLatin1(kVersion.data(), static_cast<qsizetype>(kVersion.size())));
    setDesktopFileName(QStringLiteral("tessel"));
    // Every window, dialogs included, carries the program's own icon on the task bar.
    setWindowIcon(ApplicationIcon());
    InstallDefaultFontSubstitutions();
    if (!InstallJapaneseQtTranslations(*this)) {
        std::fprintf(stderr,
                     "tessel: Qt's Japanese translations are missing (package "
                     "qt6-translations-l10n); Qt's own dialogs will show English\n");
    }
}

CTesselApp::~CTesselApp() {
    doc_.reset();
    frame_.reset();
}

bool CTesselApp::InitInstance() {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "tessel: chat client for tabletop dice servers.\n"
        "Settings (tessel.ini), tessel.key, logs, memos and received files are kept in the\n"
        "working directory, in DIR with --dir, or with --xdg-data (as the desktop menu starts\n"
        "tessel) in ~/.local/share/tessel, or $XDG_DATA_HOME/tessel when that is set."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption connectNow(
        QStringLiteral("connect"),
        QStringLiteral("Connect at start to the server, handle and channel stored in tessel.ini, "
                       "without the connect dialog."));
    parser.addOption(connectNow);
    const QCommandLineOption dir(QStringLiteral("dir"),
                                 QStringLiteral("Keep the files in DIR (created if missing)."),
                                 QStringLiteral("DIR"));
    const QCommandLineOption xdgData(
        QStringLiteral("xdg-data"),
        QStringLiteral("Keep the files in the tessel folder of the XDG data directory."));
    parser.addOption(dir);
    parser.addOption(xdgData);
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("a text file to put into the input pane"));
    // Answered here rather than by the parser, which would end the process from inside the
    // application object's start-up without unwinding it.
    if (!parser.parse(arguments())) {
        std::fprintf(stderr, "tessel: %s\n", qPrintable(parser.errorText()));
        exitCode_ = 2;
        return false;
    }
    if (parser.isSet(help) || parser.isSet(version)) {
        const QString text = parser.isSet(help)
                                 ? parser.helpText()
                                 : applicationName() + ' ' + applicationVersion() + '\n';
        std::fputs(text.toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
        exitCode_ = 0;
        return false;
    }

    // A file named on the command line is where the user was when naming it, not in the
    // folder entered below.
    QStringList files = parser.positionalArguments();
    for (QString& file : files) {
        file = QFileInfo(file).absoluteFilePath();
    }
    if (!EnterChosenFolder(
            parser.isSet(dir) ? std::optional<QString>(parser.value(dir)) : std::nullopt,
            parser.isSet(xdgData))) {
        return false;
    }

    // The core keeps paths in code page 932, as it keeps every text.
    const std::optional<std::string> workingDirectory = WorkingDirectory();
    settings_ = workingDirectory ? Settings::Open(*workingDirectory) : std::nullopt;
    if (!settings_) {
        std::fprintf(stderr,
                     "tessel: cannot use tessel.ini in the working directory (its name must be "
                     "representable in Shift-JIS)\n");
        return false;
    }

    CMainFrame::Hooks hooks;
    hooks.connectWithoutAsking = parser.isSet(connectNow);
    frame_ = std::make_unique<CMainFrame>(*settings_, std::move(hooks));
    // The connect dialog opens inside Create, before the window is first shown.
    if (!frame_->Create()) {
        std::fprintf(stderr, "tessel: cannot create the main window\n");
        return false;
    }
    doc_ = std::make_unique<CTesselDoc>(*frame_->InputView());
    if (!files.isEmpty()) {
        QString error;
        if (!doc_->OnOpenDocument(files.front(), &error)) {
            std::fprintf(stderr, "tessel: cannot read %s: %s\n",
                         QFile::encodeName(files.front()).constData(),
                         error.toLocal8Bit().constData());
        }
    } else {
        doc_->OnNewDocument();
    }

    // Shown normally, whatever state the program was started in.
    frame_->showNormal();
    frame_->raise();
    frame_->activateWindow();
    frame_->InputView()->setFocus(Qt::ActiveWindowFocusReason);
    return true;
}

bool CTesselApp::EnterChosenFolder(const std::optional<QString>& dir, bool xdgData) {
    if (dir && xdgData) {
        std::fprintf(stderr, "tessel: --dir and --xdg-data cannot be used together\n");
        exitCode_ = 2;
        return false;
    }
    std::string folder;
    if (dir) {
        folder = QFile::encodeName(*dir).toStdString();
    } else if (xdgData) {
        const std::optional<std::string> xdg = XdgDataFolder();
        if (!xdg) {
            std::fprintf(stderr,
                         "tessel: --xdg-data needs HOME or XDG_DATA_HOME set to an absolute "
                         "path\n");
            return false;
        }
        folder = *xdg;
    } else {
        return true;  // the working directory, as started
    }
    std::string why;
    if (!EnterFolder(folder, why)) {
        std::fprintf(stderr, "tessel: %s\n", why.c_str());
        return false;
    }
    return true;
}

}  // namespace tessel::gui
