// SPDX-License-Identifier: MIT

// The memo commands: the memo pane does the work, with its own file dialogs.
#include "gui/frame/MainFrame.h"
#include "gui/panes/MemoView.h"

namespace tessel::gui {

void CMainFrame::OnMemoLoad() {
    Modal([this] { memo_->Load(); });
}

void CMainFrame::OnMemoSave() {
    Modal([this] { memo_->Save(); });
}

}  // namespace tessel::gui
