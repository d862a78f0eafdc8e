// SPDX-License-Identifier: MIT

#include "gui/frame/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "gui/frame/CommandRows.h"
#include "gui/frame/FrameTitle.h"
#include "gui/frame/InputPreview.h"
#include "gui/panes/FindBar.h"
#include "gui/panes/MemoView.h"
#include "gui/panes/TesselDispView.h"
#include "gui/panes/TesselInputView.h"
#include "gui/panes/TesselUserView.h"
#include "gui/platform/DesktopNotifier.h"
#include "gui/platform/FontSubstitution.h"
#include "gui/platform/TextCodec.h"

// The tool bar's images live in this library; a static library has to ask for them.
static void InitToolBarResources() {
    Q_INIT_RESOURCE(toolbar);
}

namespace tessel::gui {

namespace {

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
    if (!hooks.chooseHtmlFile) {
        hooks.chooseHtmlFile = [owner](const QString& proposed) {
            return QFileDialog::getSaveFileName(
                owner, QString(), proposed, QStringLiteral("HTML (*.html *.htm);;All Files (*)"));
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
    : QMainWindow(parent), settings_(settings), hooks_(WithDefaults(std::move(hooks), this)) {
    InitToolBarResources();
    setWindowTitle(FrameTitle(false, {}, {}));
}

CMainFrame::~CMainFrame() {
    settings_.OnFirstWriteFailure({});
    // The connection thread goes first (its socket says CLOSE on the way out); the panes,
    // which hold references to the core, go before the rest of it does.
    if (core_) {
        core_->Shutdown();
    }
    delete takeCentralWidget();
    core_.reset();
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
    recvFile_ = settings_.GetInt(SettingKey::isrecvfile);
    recvWave_ = settings_.GetInt(SettingKey::isrecvwave);

    ClientCore::Options options;
    options.sound = &sound_;
    options.silence = hooks_.silence;
    options.piecePause = hooks_.piecePause;
    options.called = [this](const DisplayItem& item) { OnCalled(item); };
    core_ = std::make_unique<ClientCore>(settings_, frontEnd_, std::move(options));
    settings_.OnFirstWriteFailure([this] {
        QMetaObject::invokeMethod(this, &CMainFrame::OnSettingsWriteFailed, Qt::QueuedConnection);
    });
}

void CMainFrame::OnCreate() {
    BuildActions();
    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
}

void CMainFrame::OnCreateClient() {
    mainSplitter_ = new QSplitter(Qt::Horizontal);
    leftSplitter_ = new QSplitter(Qt::Vertical, mainSplitter_);
    rightSplitter_ = new QSplitter(Qt::Vertical, mainSplitter_);
    for (QSplitter* splitter : {mainSplitter_, leftSplitter_, rightSplitter_}) {
        splitter->setChildrenCollapsible(true);
        splitter->setOpaqueResize(true);
    }
    ClientCore& core = *core_;
    input_ = new CTesselInputView(
        settings_,
        [&core](std::string_view line, std::chrono::milliseconds wait) {
            return core.SendTypedLine(line, wait);
        },
        leftSplitter_);
    display_ = new CTesselDispView(
        settings_, [&core](DisplaySink& sink, int limit) { return core.Drain(sink, limit); },
        leftSplitter_);
    userList_ = new CTesselUserView(settings_, rightSplitter_);
    memo_ = new CMemoView(settings_, rightSplitter_);
    // Only the bars decide the proportions: the panes grow and shrink with the window.
    for (QSplitter* splitter : {mainSplitter_, leftSplitter_, rightSplitter_}) {
        for (int i = 0; i < splitter->count(); ++i) {
            splitter->setStretchFactor(i, 1);
        }
    }
    setCentralWidget(mainSplitter_);
    mainSplitter_->installEventFilter(this);
    // The panes that take keys: the frame's accelerators are looked at before they are.
    for (QWidget* pane : std::initializer_list<QWidget*>{input_, display_, userList_, memo_}) {
        pane->installEventFilter(this);
    }

    display_->SetKeyTarget(input_);
    BuildFindAction();
    connect(input_, &CTesselInputView::statusMessage, this, &CMainFrame::ShowStatus);
    inputPreview_ = new CInputPreview(input_, statusBar(), this);
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
        if (hooks_.connectWithoutAsking) {
            ConnectAsStored();
        } else {
            OnConnect();
        }
    }
}

void CMainFrame::BuildFindAction() {
    // Not one of the classic commands: it has no number, no tool bar button and no rule, and
    // sits at the end of the edit menu.
    findAction_ = new QAction(tr("検索(&F)..."), this);
    findAction_->setShortcut(QKeySequence(Qt::ControlModifier | Qt::Key_F));
    findAction_->setShortcutContext(Qt::WindowShortcut);
    findAction_->setStatusTip(tr("表示ペインの行を検索します"));
    connect(findAction_, &QAction::triggered, display_, &CTesselDispView::OpenFindBar);
    addAction(findAction_);
    const QList<QAction*> menus = menuBar()->actions();
    if (menus.size() > 1 && menus[1]->menu() != nullptr) {
        menus[1]->menu()->addSeparator();
        menus[1]->menu()->addAction(findAction_);
    }
    // The accelerators come first in the find field too, as in every pane.
    display_->FindBar()->Field()->installEventFilter(this);
}

void CMainFrame::ConnectCore() {
    connect(&frontEnd_, &GuiFrontEnd::displayTextPosted, display_,
            &CTesselDispView::DrainDisplayQueue);
    connect(&frontEnd_, &GuiFrontEnd::hostConnected, this, [this] {
        core_->HostConnected();
        UpdateCommandState();
    });
    connect(&frontEnd_, &GuiFrontEnd::userListRefresh, this, &CMainFrame::OnUserListChanged);
    connect(&frontEnd_, &GuiFrontEnd::userListClear, userList_, &CTesselUserView::Clear);
    connect(&frontEnd_, &GuiFrontEnd::titleRefresh, this, [this] {
        UpdateTitle();
        UpdateCommandState();
    });
    connect(&frontEnd_, &GuiFrontEnd::connectionPhaseChanged, this, [this] {
        UpdateCommandState();
        inputPreview_->Refresh();  // whether the line would reach the server
    });
    connect(&frontEnd_, &GuiFrontEnd::fileSendChanged, this, &CMainFrame::OnFileSendChanged);
    connect(&frontEnd_, &GuiFrontEnd::quitRequested, this, &QWidget::close);
}

void CMainFrame::OnUserListChanged() {
    // Changes merged while this one waited are all in the table taken now.
    if (std::optional<UserTable::Rows> rows = core_->TakeUserList()) {
        userList_->ShowTable(std::move(*rows), ClientCore::Channel());
    }
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

void CMainFrame::SaveWindowPlacement() {
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
        // (a minimised window keeps its layout). The splitter hands out its new size only
        // after this event, so the layout waits for it.
        QTimer::singleShot(0, this, &CMainFrame::ApplyProportions);
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        // The text panes claim keys such as Ctrl+A (select all) and Ctrl+Shift+Z (redo) for
        // themselves; the frame's accelerators come first, as they did in the window program,
        // and a disabled one swallows its key instead of handing it to the pane. Copy, cut,
        // paste and undo stay with the focused pane.
        const int command = AcceleratorCommand(static_cast<QKeyEvent*>(event)->keyCombination());
        if (command != 0) {
            if (event->type() == QEvent::ShortcutOverride) {
                event->ignore();
                return true;
            }
            return true;  // only a disabled command's key gets this far
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

int CMainFrame::AcceleratorCommand(QKeyCombination keys) const {
    for (const Accelerator& accelerator : kAccelerators) {
        if (accelerator.keys == keys) {
            const auto id = static_cast<CommandId>(accelerator.command);
            if (id == CommandId::EditCopy || id == CommandId::EditCut ||
                id == CommandId::EditPaste || id == CommandId::EditUndo) {
                return 0;
            }
            return accelerator.command;
        }
    }
    return 0;
}

int CMainFrame::Dialog(QDialog& dialog) {
    int result = QDialog::Rejected;
    Modal([&] { result = hooks_.runDialog(dialog); });
    return result;
}

void CMainFrame::Modal(const std::function<void()>& run) {
    // Typing goes on where it was once the dialog is gone, even where no window manager hands
    // the activation back.
    QPointer<QWidget> focus = QApplication::focusWidget();
    run();
    if (isVisible()) {
        activateWindow();
        if (focus) {
            focus->setFocus(Qt::OtherFocusReason);
        }
    }
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
    const ConnectionPhase phase = ClientCore::Phase();
    state.isConnecting = phase == ConnectionPhase::Connecting;
    state.connectPending =
        phase == ConnectionPhase::Connecting || phase == ConnectionPhase::Pending;
    state.isConnected = phase == ConnectionPhase::Connected;
    state.logging = core_ && core_->Log().IsLogging();
    state.autoLog = core_ && core_->Log().AutoLog();
    state.htmlLog = core_ && core_->Log().HtmlLog();
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
    const QString title =
        FrameTitle(core_ && core_->Log().IsLogging(), ClientCore::Handle(), ClientCore::Channel());
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
    } else if (const CommandRow* row = FindCommand(id); row && row->handler) {
        (this->*row->handler)();
    } else {
        return false;
    }
    UpdateCommandState();
    return true;
}

void CMainFrame::OnExit() {
    close();
}

void CMainFrame::OnViewToolBar() {
    if (toolBar_) {
        toolBar_->setVisible(toolBar_->isHidden());
    }
}

void CMainFrame::OnViewStatusBar() {
    statusBar()->setVisible(statusBar()->isHidden());
}

void CMainFrame::OnSettingsWriteFailed() {
    ShowStatus(tr("設定を %1 に保存できません。変更はこの実行の間だけ有効です")
                   .arg(FromCorePath(settings_.ProfilePath())));
}

void CMainFrame::PostCommandText(std::string_view text) {
    if (!core_->PostCommand(text)) {
        ShowStatus(tr("コマンドが長すぎるため送信しません"));
    }
}

}  // namespace tessel::gui
