// SPDX-License-Identifier: MIT

#include "gui/app/TesselDoc.h"

#include <QFile>

#include "gui/panes/TesselInputView.h"
#include "gui/platform/TextCodec.h"

namespace tessel::gui {

void CTesselDoc::OnNewDocument() {
    view_.clear();
    modified_ = 0;
}

bool CTesselDoc::OnOpenDocument(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    // Raw text in the program's code page; nothing is sent until the user presses Enter.
    const QByteArray bytes = file.readAll();
    view_.LoadRawText(FromShiftJis(std::string_view(bytes.constData(), bytes.size())));
    modified_ = 0;
    return true;
}

}  // namespace tessel::gui
