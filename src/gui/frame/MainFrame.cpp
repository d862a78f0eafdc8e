#include "gui/frame/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <filesystem>

#include "connection/ConnectionState.h"
#include "gui/frame/FrameTitle.h"
#include "gui/panes/MemoView.h"
#include "gui/panes/TesselDispView.h"
#include "gui/panes/TesselInputView.h"
#include "gui/panes/TesselUserView.h"
#include "gui/platform/DesktopNotifier.h"
#include "gui/platform/FontSubstitution.h"
#include "gui/platform/TextCodec.h"
#include "views/Notification.h"

// The tool bar's images live in this library; a static library has to ask for them.
static void InitToolBarResources() {
    Q_INIT_RESOURCE(toolbar);
}

namespace tessel::gui {

namespace {

// How often the connection flags are looked at: the connection thread changes them without
// telling the window, and the commands must follow within a blink.
constexpr int kStatePollMs = 50;

CMainFrame::Hooks WithDefaults(CMainFrame::Hooks hooks, QWidget* owner) {
    if (!hooks.runDialog) {
        hooks.runDialog = [](QDialog& dialog) { return dialog.exec(); };
    }
    if (!hooks.chooseLogFile) {
        hooks.chooseLogFile = [owner](const QString& proposed) {
            // An existing log is continued, never replaced, so there is nothing to confirm.
            return QFileDialog::getSaveFileName(owner, QString(), proposed,
                                                QStringLiteral("Log File (*.log);;All Files (*)"),
                                                nullptr, QFileDialog::DontConfirmOverwrite);
        };
    }
    if (!hooks.warn) {
        hooks.warn = [owner](const QString& text) {
            QMessageBox::warning(owner, QStringLiteral("tessel"), text);
        };
    }
    if (!hooks.notifyDesktop) {
        hooks.notifyDesktop = ShowDesktopNotification;
    }
    return hooks;
}

}  // namespace

CMainFrame::CMainFrame(const Settings& settings, QWidget* parent)
    : CMainFrame(settings, Hooks{}, parent) {}

CMainFrame::CMainFrame(const Settings& settings, Hooks hooks, QWidget* parent)
    : QMainWindow(parent),
      settings_(settings),
      hooks_(WithDefaults(std::move(hooks), this)),
      queue_(frontEnd_) {
    InitToolBarResources();
    setWindowTitle(FrameTitle(false, {}, {}));
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
    if (fileSender_.joinable()) {
        fileSender_.request_stop();
        fileSender_.join();
    }
    // The connection thread goes first (its socket says CLOSE on the way out); the panes,
    // which hold references to the core, go before the core does.
    session_.reset();
    delete takeCentralWidget();
}

bool CMainFrame::Create() {
    PreCreateWindow();
    OnCreate();
    OnCreateClient();
    return display_ && input_ && userList_ && memo_;
}

void CMainFrame::PreCreateWindow() {
    // Geometry, then the proportions; the panes read their own colours and fonts as they are
    // built. A key missing from the file leaves the window system's choice.
    const std::int32_t x = settings_.GetInt(SettingKey::x);
    const std::int32_t y = settings_.GetInt(SettingKey::y);
    const std::int32_t cx = settings_.GetInt(SettingKey::cx);
    const std::int32_t cy = settings_.GetInt(SettingKey::cy);
    if (cx != kDefaultGeometry && cy != kDefaultGeometry && cx > 0 && cy > 0) {
        resize(cx, cy);
    } else {
        resize(800, 600);
    }
    if (x != kDefaultGeometry && y != kDefaultGeometry) {
        move(x, y);
    }
    proportions_.x = settings_.GetInt(SettingKey::propotion_x);
    proportions_.y = settings_.GetInt(SettingKey::propotion_y);
    proportions_.memo = settings_.GetInt(SettingKey::propotion_memo);
    // Faces stored on another system may be missing here: each gets an installed Japanese
    // face as its substitute before any pane asks for it; the settings keep the stored name.
    for (const SettingKey face :
         {SettingKey::fontname, SettingKey::inputfontname, SettingKey::memofontname}) {
        EnsureFamilyUsable(FromShiftJis(settings_.GetString(face)));
    }
    recvFile_ = settings_.GetInt(SettingKey::isrecvfile);
    recvWave_ = settings_.GetInt(SettingKey::isrecvwave);

    ConversationLog::Hooks logHooks;
    logHooks.currentNames = [] { return LogNames{CurrentChannel(), CurrentHandle()}; };
    logHooks.titleChanged = [this] {
        QMetaObject::invokeMethod(this, &CMainFrame::UpdateTitle, Qt::QueuedConnection);
    };
    log_ = std::make_unique<ConversationLog>(settings_, std::move(logHooks));

    ClientSession::Options options;
    options.settings = &settings_;
    options.sound = &sound_;
    options.refreshAutoLog = [this] { log_->RefreshAutoLog(); };
    options.silence = hooks_.silence;
    session_ = std::make_unique<ClientSession>(queue_, frontEnd_, std::move(options));

    CConnectOnThread& connection = session_->connection();
    macros_ = std::make_unique<KeyMacros>(settings_.StartupDirectory(),
                                          KeyMacros::Hooks{[] { return IsConnected() == 1; },
                                                           [&connection](std::string_view text) {
                                                               connection.PostText(
                                                                   ThreadMessage::Command, text);
                                                           }});
    macros_->LoadDefaultKeyFile();

    drain_ = std::make_unique<DisplayDrain>(DisplayDrain::Services{
        queue_, log_.get(), &sound_, [this] { return ReadNotifySettings(settings_); },
        [] { return CurrentHandle(); }, [this](const DisplayItem& item) { OnCalled(item); }});
}

void CMainFrame::OnCreate() {
    BuildActions();
    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
    qApp->installEventFilter(this);
}

void CMainFrame::OnCreateClient() {
    mainSplitter_ = new QSplitter(Qt::Horizontal);
    leftSplitter_ = new QSplitter(Qt::Vertical, mainSplitter_);
    rightSplitter_ = new QSplitter(Qt::Vertical, mainSplitter_);
    for (QSplitter* splitter : {mainSplitter_, leftSplitter_, rightSplitter_}) {
        splitter->setChildrenCollapsible(true);
        splitter->setOpaqueResize(true);
    }
    input_ = new CTesselInputView(settings_, session_->connection(), leftSplitter_);
    display_ = new CTesselDispView(settings_, *drain_, leftSplitter_);
    userList_ = new CTesselUserView(settings_, session_->users(), rightSplitter_);
    memo_ = new CMemoView(settings_, rightSplitter_);
    // Only the bars decide the proportions: the panes grow and shrink with the window.
    for (QSplitter* splitter : {mainSplitter_, leftSplitter_, rightSplitter_}) {
        for (int i = 0; i < splitter->count(); ++i) {
            splitter->setStretchFactor(i, 1);
        }
    }
    setCentralWidget(mainSplitter_);
    mainSplitter_->installEventFilter(this);

    display_->SetKeyTarget(input_);
    connect(input_, &CTesselInputView::statusMessage, this, &CMainFrame::ShowStatus);
    connect(input_, &CTesselInputView::inputFocusChanged, this,
            [this](bool hasFocus) { inputFocusLost_ = !hasFocus; });
    for (QSplitter* splitter : {mainSplitter_, leftSplitter_, rightSplitter_}) {
        connect(splitter, &QSplitter::splitterMoved, this,
                [this, splitter] { OnSplitterMoved(splitter); });
    }
    ConnectCore();

    layoutReady_ = true;
    ApplyProportions();
    UpdateCommandState();
    UpdateTitle();

    if (hooks_.connectAtStart) {
        OnConnect();
    }
}

void CMainFrame::ConnectCore() {
    connect(&frontEnd_, &GuiFrontEnd::displayTextPosted, display_,
            &CTesselDispView::DrainDisplayQueue);
    connect(&frontEnd_, &GuiFrontEnd::hostConnected, this, &CMainFrame::OnHostConnected);
    connect(&frontEnd_, &GuiFrontEnd::userListRefresh, userList_, &CTesselUserView::Refresh);
    connect(&frontEnd_, &GuiFrontEnd::userListClear, userList_, &CTesselUserView::Clear);
    connect(&frontEnd_, &GuiFrontEnd::titleRefresh, this, [this] {
        UpdateTitle();
        UpdateCommandState();
    });
    connect(&frontEnd_, &GuiFrontEnd::quitRequested, this, &QWidget::close);

    stateTimer_ = new QTimer(this);
    connect(stateTimer_, &QTimer::timeout, this, &CMainFrame::UpdateCommandState);
    stateTimer_->start(kStatePollMs);
}

void CMainFrame::ApplyProportions() {
    if (!layoutReady_ || isMinimized()) {
        return;
    }
    const QSize client = mainSplitter_->size();
    const PaneSizes sizes = LayoutFromProportions(proportions_, client.width(), client.height(),
                                                  mainSplitter_->handleWidth());
    mainSplitter_->setSizes({sizes.columns[0], sizes.columns[1]});
    leftSplitter_->setSizes({sizes.left[0], sizes.left[1]});
    rightSplitter_->setSizes({sizes.right[0], sizes.right[1]});
}

void CMainFrame::OnSplitterMoved(QSplitter* splitter) {
    if (!layoutReady_ || isMinimized()) {
        return;
    }
    // Only the dragged bar is measured: measuring the others again would let truncation
    // creep into proportions the user never touched.
    const QSize client = mainSplitter_->size();
    if (splitter == mainSplitter_) {
        proportions_.x = MeasureColumnProportion(splitter->sizes().value(0), client.width());
    } else if (splitter == leftSplitter_) {
        proportions_.y = MeasureInputProportion(splitter->sizes().value(0), client.height());
    } else {
        proportions_.memo = MeasureMemoProportion(splitter->sizes().value(1), client.height());
    }
}

void CMainFrame::SaveWindowPlacement() const {
    const QRect frame = frameGeometry();
    settings_.SetInt(SettingKey::x, frame.x());
    settings_.SetInt(SettingKey::y, frame.y());
    // The size is the window's own, without the decorations, which is what resize() takes
    // back at the next start.
    settings_.SetInt(SettingKey::cx, width());
    settings_.SetInt(SettingKey::cy, height());
    settings_.SetInt(SettingKey::propotion_x, proportions_.x);
    settings_.SetInt(SettingKey::propotion_y, proportions_.y);
    settings_.SetInt(SettingKey::propotion_memo, proportions_.memo);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (memo_ && !memo_->MaybeSave()) {
        event->ignore();  // the user keeps the program running
        return;
    }
    if (layoutReady_) {
        SaveWindowPlacement();
    }
    if (help_) {
        help_->close();  // QWidget::close through the QPointer
    }
    event->accept();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mainSplitter_ && event->type() == QEvent::Resize) {
        // The frame's client area changed size: lay the panes out again from the proportions
        // (a minimised window keeps its layout).
        QTimer::singleShot(0, this, &CMainFrame::ApplyProportions);
        ApplyProportions();
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        // The text panes claim keys such as Ctrl+A (select all) and Ctrl+Shift+Z (redo) for
        // themselves; the frame's accelerators come first, as they did in the window program.
        // Copy, cut, paste and undo stay with the focused pane.
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeyCombination combination = key->keyCombination();
        for (const Accelerator& accelerator : kAccelerators) {
            if (accelerator.keys == combination) {
                const auto id = static_cast<CommandId>(accelerator.command);
                if (id == CommandId::EditCopy || id == CommandId::EditCut ||
                    id == CommandId::EditPaste || id == CommandId::EditUndo) {
                    break;
                }
                event->ignore();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

int CMainFrame::Dialog(QDialog& dialog) {
    // Typing goes on where it was once the dialog is gone, even where no window manager hands
    // the activation back.
    QPointer<QWidget> focus = QApplication::focusWidget();
    const int result = hooks_.runDialog(dialog);
    if (isVisible()) {
        activateWindow();
        if (focus) {
            focus->setFocus(Qt::OtherFocusReason);
        }
    }
    return result;
}

void CMainFrame::Warn(const QString& text) {
    hooks_.warn(text);
}

// A call also reaches the desktop when the user asked for it and is looking elsewhere: the
// sound alone is easy to miss with the window buried.
void CMainFrame::OnCalled(const DisplayItem& item) {
    if (settings_.GetInt(SettingKey::desktopnotify) == 0 || isActiveWindow()) {
        return;
    }
    hooks_.notifyDesktop(FromShiftJis(item.name), FromShiftJis(item.text).trimmed());
}

void CMainFrame::ShowStatus(const QString& text) {
    statusBar()->showMessage(text, 8000);
}

// ---- commands --------------------------------------------------------------------------

CommandState CMainFrame::CurrentState() const {
    CommandState state;
    state.isConnecting = IsConnecting();
    state.connectPending = ConnectPending();
    state.isConnected = IsConnected();
    state.logging = log_ && log_->IsLogging();
    state.autoLog = log_ && log_->AutoLog();
    state.isRecvFile = recvFile_;
    state.isRecvWave = recvWave_;
    state.toolBarVisible = toolBar_ && !toolBar_->isHidden();
    state.statusBarVisible = !statusBar()->isHidden();
    return state;
}

bool CMainFrame::IsCommandEnabled(int id) const {
    return IsEnabled(EnableRuleOf(id), CurrentState());
}

QAction* CMainFrame::Action(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::UpdateCommandState() {
    const CommandState state = CurrentState();
    if (lastState_ && *lastState_ == state) {
        return;
    }
    const bool loggingChanged = !lastState_ || lastState_->logging != state.logging;
    lastState_ = state;
    for (const auto& [id, action] : actions_) {
        action->setEnabled(IsEnabled(EnableRuleOf(id), state));
        if (const CommandRow* row = FindCommand(id)) {
            if (const std::optional<bool> checked = IsChecked(row->check, state)) {
                action->setChecked(*checked);
            }
        }
    }
    if (loggingChanged) {
        UpdateTitle();
    }
}

void CMainFrame::UpdateTitle() {
    const QString title = FrameTitle(log_ && log_->IsLogging(), CurrentHandle(), CurrentChannel());
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
    emit titleUpdated(title);
}

bool CMainFrame::RunCommand(int id) {
    // The state is read now, not from the last poll: a command the connection thread has
    // just disabled must not run from its key.
    if (!IsCommandEnabled(id)) {
        UpdateCommandState();
        return false;
    }
    if (IsQuickRoll(id)) {
        OnQuickRoll(id);
    } else if (IsMacroCommand(id)) {
        OnMacro(id);
    } else {
        switch (static_cast<CommandId>(id)) {
            case CommandId::Connect:
                OnConnect();
                break;
            case CommandId::Handle:
                OnHandle();
                break;
            case CommandId::Join:
                OnJoin();
                break;
            case CommandId::Disconnect:
                OnDisconnect();
                break;
            case CommandId::AutoLog:
                OnAutoLog();
                break;
            case CommandId::StopLog:
                OnStopLog();
                break;
            case CommandId::StartLog:
                OnStartLog();
                break;
            case CommandId::Roll:
                OnRoll();
                break;
            case CommandId::Mode:
                OnMode();
                break;
            case CommandId::PrivateMessage:
                OnPrivateMessage();
                break;
            case CommandId::UserList:
                OnUserList();
                break;
            case CommandId::ChannelList:
                OnChannelList();
                break;
            case CommandId::FileReceive:
                OnFileReceive();
                break;
            case CommandId::FileSend:
                OnFileSend();
                break;
            case CommandId::Fonts:
                OnFonts();
                break;
            case CommandId::SoundReceive:
                OnSoundReceive();
                break;
            case CommandId::SoundSend:
                OnSoundSend();
                break;
            case CommandId::Colours:
                OnColours();
                break;
            case CommandId::FocusToggle:
                OnFocusToggle();
                break;
            case CommandId::MemoLoad:
                OnMemoLoad();
                break;
            case CommandId::MemoSave:
                OnMemoSave();
                break;
            case CommandId::KeyConfig:
                OnKeyConfig();
                break;
            case CommandId::ClientSettings:
                OnClientSettings();
                break;
            case CommandId::HelpContents:
                OnHelp(false);
                break;
            case CommandId::HelpKeyword:
                OnHelp(true);
                break;
            case CommandId::NotifySettings:
                OnNotifySettings();
                break;
            case CommandId::AutoLogSettings:
                OnAutoLogSettings();
                break;
            case CommandId::EditCopy:
            case CommandId::EditCut:
            case CommandId::EditPaste:
            case CommandId::EditUndo:
                OnEdit(static_cast<CommandId>(id));
                break;
            case CommandId::AppAbout:
                OnAbout();
                break;
            case CommandId::AppExit:
                close();
                break;
            case CommandId::ViewToolBar:
                if (toolBar_) {
                    toolBar_->setVisible(toolBar_->isHidden());
                }
                break;
            case CommandId::ViewStatusBar:
                statusBar()->setVisible(statusBar()->isHidden());
                break;
            default:
                return false;
        }
    }
    UpdateCommandState();
    return true;
}

void CMainFrame::PostCommandText(std::string_view text) {
    if (text.size() > RequestMailbox::kMaxText) {
        ShowStatus(QString::fromUtf8("コマンドが長すぎるため送信しません"));
        return;
    }
    Connection().PostText(ThreadMessage::Command, text);
}

}  // namespace tessel::gui
