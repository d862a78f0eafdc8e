// SPDX-License-Identifier: MIT

#include "gui/frame/SplitterLayout.h"

#include <algorithm>

namespace tessel::gui {

PaneSizes LayoutFromProportions(const Proportions& p, int width, int height, int bar) {
    const int rightWidth = std::max(kPaneFloor, p.x * width / kProportionScale);
    const int inputHeight = std::max(kPaneFloor, p.y * height / kProportionScale);
    const int memoHeight = std::max(0, p.memo * height / kProportionScale);
    PaneSizes sizes{};
    // The bar belongs to the second pane of each pair, so a pane that was measured comes back
    // at the same size, and a memo pane of zero height stays closed.
    sizes.columns = {std::max(0, width - rightWidth), std::max(0, rightWidth - bar)};
    sizes.left = {inputHeight, std::max(0, height - inputHeight - bar)};
    sizes.right = {std::max(0, height - memoHeight - bar), memoHeight};
    return sizes;
}

int MeasureColumnProportion(int leftColumnWidth, int width) {
    return width > 0 ? (width - leftColumnWidth) * kProportionScale / width : 0;
}

int MeasureInputProportion(int inputHeight, int height) {
    return height > 0 ? inputHeight * kProportionScale / height : 0;
}

int MeasureMemoProportion(int memoHeight, int height) {
    return height > 0 ? memoHeight * kProportionScale / height : 0;
}

}  // namespace tessel::gui
