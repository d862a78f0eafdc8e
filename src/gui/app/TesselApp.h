// SPDX-License-Identifier: MIT

#pragma once

#include <QApplication>

#include <memory>
#include <optional>

#include "settings/Settings.h"

namespace tessel::gui {

class CMainFrame;
class CTesselDoc;

// The application: settings in tessel.ini of the working directory (or of the folder its
// command line chooses), the main window with its document, the connect dialog before the
// window is first shown, and the version box.
class CTesselApp : public QApplication {
    Q_OBJECT

  public:
    CTesselApp(int& argc, char** argv);
    ~CTesselApp() override;

    // Settings, main frame, document from the command line, connect dialog, then the window
    // shown normally with the focus in the input pane. False: the program ends with
    // ExitCode() (--help and --version, or a reason written to standard error).
    bool InitInstance();
    int ExitCode() const { return exitCode_; }

    CMainFrame* MainFrame() const { return frame_.get(); }
    CTesselDoc* Document() const { return doc_.get(); }

  private:
    // Makes the folder chosen on the command line (--dir DIR, or the XDG data folder for
    // --xdg-data) the working directory, so every file of the program goes there; without
    // either the working directory stays as started. False: reported, the program ends.
    bool EnterChosenFolder(const std::optional<QString>& dir, bool xdgData);

    std::optional<Settings> settings_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<CTesselDoc> doc_;
    int exitCode_ = 1;
};

}  // namespace tessel::gui
