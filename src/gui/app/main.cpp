#include "gui/app/TesselApp.h"

int main(int argc, char** argv) {
    tessel::gui::CTesselApp app(argc, argv);
    if (!app.InitInstance()) {
        return app.ExitCode();
    }
    return app.exec();
}
