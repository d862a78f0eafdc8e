// SPDX-License-Identifier: MIT

#include <QByteArray>
#include <QtGlobal>

#include <string_view>

#include "gui/app/TesselApp.h"

namespace {

// --help and --version open no window, so they must work where there is no display (a
// terminal over ssh, a bug report, a packaging check): Qt's own start-up would abort there.
// The offscreen platform lets the application object start just to answer them.
void AnswerWithoutADisplay(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("DISPLAY") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        return;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h" || arg == "--help-all" || arg == "--version" ||
            arg == "-v") {
            qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    AnswerWithoutADisplay(argc, argv);
    tessel::gui::CTesselApp app(argc, argv);
    if (!app.InitInstance()) {
        return app.ExitCode();
    }
    return app.exec();
}
