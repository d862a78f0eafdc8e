// SPDX-License-Identifier: MIT

#pragma once

#include <QString>

namespace tessel::gui {

class CTesselInputView;

// The document: no data of its own. A new document clears the input pane; opening one puts
// its raw text into the input pane (nothing is sent). The modified flag is a plain value the
// display pane never needs to set, as nothing here is ever saved.
class CTesselDoc {
  public:
    explicit CTesselDoc(CTesselInputView& view) : view_(view) {}

    void OnNewDocument();
    // False, with the reason in `error`, when the file cannot be read.
    bool OnOpenDocument(const QString& path, QString* error = nullptr);

    bool IsModified() const { return modified_ != 0; }
    void SetModifiedFlag(bool modified) { modified_ = modified ? 1 : 0; }

  private:
    CTesselInputView& view_;
    int modified_ = 0;
};

}  // namespace tessel::gui
