#include "gui/app/TesselApp.h"

#include <QCommandLineParser>
#include <QFile>

#include <cstdio>

#include "gui/app/TesselDoc.h"
#include "gui/frame/MainFrame.h"
#include "gui/help/ApplicationIcon.h"
#include "gui/panes/TesselInputView.h"
#include "gui/platform/FontSubstitution.h"
#include "gui/platform/QtTranslations.h"
#include "platform/FileSystem.h"

#ifndef TESSEL_VERSION
#define TESSEL_VERSION "0.0.0"
#endif

namespace tessel::gui {

CTesselApp::CTesselApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("tessel"));
    setApplicationVersion(QStringLiteral(TESSEL_VERSION));
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
        "tessel: chat client for tabletop dice servers. Settings, tessel.key and logs are "
        "kept in the working directory."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption connectNow(
        QStringLiteral("connect"),
        QStringLiteral("connect at start to the server, handle and channel stored in tessel.ini "
                       "without showing the connect dialog"));
    parser.addOption(connectNow);
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("a text file to put into the input pane"));
    // Answered here rather than by the parser, which would end the process from inside the
    // application object's start-up without unwinding it.
    if (!parser.parse(arguments())) {
        std::fprintf(stderr, "tessel: %s\n", qPrintable(parser.errorText()));
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
    const QStringList files = parser.positionalArguments();
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

}  // namespace tessel::gui
