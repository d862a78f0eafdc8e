// SPDX-License-Identifier: MIT

#pragma once

#include <QMainWindow>
#include <QPointer>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "client/ClientCore.h"
#include "gui/frame/CommandTable.h"
#include "gui/frame/SplitterLayout.h"
#include "gui/platform/GuiFrontEnd.h"
#include "gui/platform/QtSoundPlayer.h"
#include "settings/Settings.h"

class QAction;
class QDialog;
class QLabel;
class QSplitter;
class QToolBar;

namespace tessel::gui {

class CTesselDispView;
class CTesselInputView;
class CInputPreview;
class CTesselUserView;
class CMemoView;
class CHelpWindow;

// The program's only top-level window: the four panes in nested splitters, the menus, tool
// bar, status bar and accelerators and every command's handler. It holds the client core and
// turns the user's commands into its intents; the panes are its children.
//
// Handlers live in one file per area: FrameSessionCommands.cpp, FrameOptionsCommands.cpp,
// FrameCustomiseCommands.cpp, FrameLogCommands.cpp, FrameMemoCommands.cpp.
class CMainFrame : public QMainWindow {
    Q_OBJECT

  public:
    // What the frame asks of the outside world; tests replace each one.
    struct Hooks {
        // Runs a dialog modally and returns its result (QDialog::Accepted or Rejected).
        std::function<int(QDialog&)> runDialog;
        // The manual log's file dialog, starting at the proposed path; empty when cancelled.
        std::function<QString(const QString& proposed)> chooseLogFile;
        // The save dialog of the session page, starting at the proposed path (overwriting
        // confirmed there); empty when cancelled.
        std::function<QString(const QString& proposed)> chooseHtmlFile;
        // Shows a message about a command that could not be done.
        std::function<void(const QString& text)> warn;
        // How long the message reader waits for a silent server.
        std::chrono::steady_clock::duration silence = std::chrono::seconds(30);
        // The pause between the pieces of a file send.
        std::chrono::milliseconds piecePause = kPiecePause;
        // The start-up connect dialog; tests may build the frame without it.
        bool connectAtStart = true;
        // Connects at start to the server, handle and channel of tessel.ini without asking,
        // for a client started by a script or kept running unattended.
        bool connectWithoutAsking = false;
        // A desktop notification (summary, body) for a line that called the user.
        std::function<void(const QString&, const QString&)> notifyDesktop;
    };

    explicit CMainFrame(const Settings& settings, QWidget* parent = nullptr);
    CMainFrame(const Settings& settings, Hooks hooks, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Everything the window is made of, then (unless the hooks say otherwise) the connect
    // dialog, before the window is first shown. False when the window cannot be built.
    bool Create();

    // Runs a command as a menu, tool bar button or accelerator would; a command its rule
    // disables now does nothing. False when it was ignored.
    bool RunCommand(int id);
    bool RunCommand(CommandId id) { return RunCommand(static_cast<int>(id)); }
    bool IsCommandEnabled(int id) const;
    // The action of a command (every command has one, key-only commands included).
    QAction* Action(int id) const;
    QAction* Action(CommandId id) const { return Action(static_cast<int>(id)); }
    // The rules' inputs now.
    CommandState CurrentState() const;

    // Enable and check marks again from the current state; runs by itself whenever an input
    // of a rule changes.
    void UpdateCommandState();
    void UpdateTitle();

    Proportions CurrentProportions() const { return proportions_; }
    // The splitters laid out again from the proportions (after a resize).
    void ApplyProportions();

    // The log came back under a new name (handle or channel acknowledged).
    void RefreshAutoLog();

    CTesselDispView* DisplayView() const { return display_; }
    // Opens the display pane's find bar (Ctrl+F, a key no classic command uses).
    QAction* FindAction() const { return findAction_; }
    CTesselInputView* InputView() const { return input_; }
    CTesselUserView* UserView() const { return userList_; }
    CMemoView* MemoView() const { return memo_; }
    QSplitter* MainSplitter() const { return mainSplitter_; }
    QSplitter* LeftSplitter() const { return leftSplitter_; }
    QSplitter* RightSplitter() const { return rightSplitter_; }

    ClientCore& Core() { return *core_; }
    ConversationLog& Log() { return core_->Log(); }
    KeyMacros& Macros() { return core_->Macros(); }
    const PendingConnection& Pending() const { return core_->Pending(); }
    GuiFrontEnd& FrontEnd() { return frontEnd_; }
    QtSoundPlayer& Sound() { return sound_; }
    const Settings& AppSettings() const { return settings_; }
    bool InputFocusLost() const { return inputFocusLost_; }
    QString LastTarget() const { return lastTarget_; }
    int RollCount() const { return rollCount_; }
    int RollSides() const { return rollSides_; }
    // The handles of the user table, up to its first empty row, for destination lists.
    QStringList KnownHandles() const;

  signals:
    // Emitted after the title was set (tests wait for it).
    void titleUpdated(const QString& title);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend struct CommandRows;  // names the handlers below

    // Creation, in the window program's order.
    void PreCreateWindow();
    void OnCreate();
    void OnCreateClient();
    void BuildActions();
    void BuildMenus();
    void BuildToolBar();
    void BuildStatusBar();
    void ConnectCore();
    void BuildFindAction();
    void OnUserListChanged();
    void OnFileSendChanged(const FileSendProgress& progress);
    void SaveWindowPlacement();
    void OnSplitterMoved(QSplitter* splitter);
    int Dialog(QDialog& dialog);
    // Runs something modal (a dialog, a file picker) and gives the focus back afterwards.
    void Modal(const std::function<void()>& run);
    // The command an accelerator runs from these keys; 0 for none and for the edit commands,
    // which stay with the focused pane.
    int AcceleratorCommand(QKeyCombination keys) const;
    void Warn(const QString& text);
    void ShowStatus(const QString& text);
    void OnCalled(const DisplayItem& item);
    // A command text through the mailbox, as if typed. Empty when it fits, else the reason.
    void PostCommandText(std::string_view text);
    // A failed settings write, told once in the status bar.
    void OnSettingsWriteFailed();
    // Code page 932 bytes of what a dialog returned; nothing (and a message) when a character
    // cannot be sent.
    std::optional<std::string> DialogText(const QString& text);

    // Session (FrameSessionCommands.cpp).
    void OnConnect();
    void ConnectAsStored();
    void OnHandle();
    void OnJoin();
    void OnDisconnect();
    void OnPrivateMessage();
    void OnRoll();
    void OnMode();
    void OnUserList();
    void OnChannelList();
    void OnQuickRoll(int id);
    void OnMacro(int id);
    // Options (FrameOptionsCommands.cpp).
    void OnFileReceive();
    void OnFileSend();
    void OnSoundReceive();
    void OnSoundSend();
    void OnNotifySettings();
    // Customise and help (FrameCustomiseCommands.cpp).
    void OnFonts();
    void OnColours();
    void OnKeyConfig();
    void OnClientSettings();
    void OnFocusToggle();
    void OnHelp(bool keyword);
    void OnHelpContents() { OnHelp(false); }
    void OnHelpKeyword() { OnHelp(true); }
    void OnAbout();
    void OnEdit(const char* slot);
    void OnEditCopy() { OnEdit("copy"); }
    void OnEditCut() { OnEdit("cut"); }
    void OnEditPaste() { OnEdit("paste"); }
    void OnEditUndo() { OnEdit("undo"); }
    void OnExit();
    void OnViewToolBar();
    void OnViewStatusBar();
    // Logging (FrameLogCommands.cpp).
    void OnAutoLog();
    void OnStopLog();
    void OnStartLog();
    void OnAutoLogSettings();
    void OnHtmlLog();
    void OnSaveSessionHtml();
    // Memo (FrameMemoCommands.cpp).
    void OnMemoLoad();
    void OnMemoSave();

    Settings settings_;  // shares its memory with the core's and the application's
    Hooks hooks_;

    // What the core reaches the window through, then the core itself, which goes first.
    GuiFrontEnd frontEnd_;
    QtSoundPlayer sound_;
    std::unique_ptr<ClientCore> core_;

    // The last choices of the session dialogs, for this run only.
    QString lastTarget_ = QStringLiteral("*");
    int rollCount_ = 2;
    int rollSides_ = 6;

    Proportions proportions_;
    bool layoutReady_ = false;
    bool inputFocusLost_ = false;
    // isrecvfile and isrecvwave as last read or written; only the frame's commands change them.
    int recvFile_ = 0;
    int recvWave_ = 0;
    std::optional<CommandState> lastState_;

    std::map<int, QAction*> actions_;
    QPointer<QToolBar> toolBar_;
    QPointer<QLabel> idleLabel_;
    QSplitter* mainSplitter_ = nullptr;
    QSplitter* leftSplitter_ = nullptr;
    QSplitter* rightSplitter_ = nullptr;
    CTesselDispView* display_ = nullptr;
    CTesselInputView* input_ = nullptr;
    CInputPreview* inputPreview_ = nullptr;
    CTesselUserView* userList_ = nullptr;
    CMemoView* memo_ = nullptr;
    QAction* findAction_ = nullptr;  // owned by the frame
    QPointer<QWidget> help_;         // the help window, once opened
};

}  // namespace tessel::gui
