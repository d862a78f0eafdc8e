// SPDX-License-Identifier: MIT

#pragma once

#include <array>

namespace tessel::gui {

// The three pane proportions, each in 1/640 of the frame's client area.
struct Proportions {
    int x = 128;   // width of the right column
    int y = 128;   // height of the input pane
    int memo = 0;  // height of the memo pane

    friend bool operator==(const Proportions&, const Proportions&) = default;
};

// Pixel sizes for the three splitters of a client area `width` by `height`, whose bars are
// `bar` pixels thick. The right column and the input pane never start below 100 pixels; the
// memo pane has no floor. Divisions truncate toward zero.
struct PaneSizes {
    std::array<int, 2> columns;  // left column, right column
    std::array<int, 2> left;     // input pane, display pane
    std::array<int, 2> right;    // user list, memo pane
};

inline constexpr int kPaneFloor = 100;
inline constexpr int kProportionScale = 640;

PaneSizes LayoutFromProportions(const Proportions& p, int width, int height, int bar);

// The proportions a dragged bar leaves: the right column is what the left column does not
// take, the input pane its own height, the memo pane its own height.
int MeasureColumnProportion(int leftColumnWidth, int width);
int MeasureInputProportion(int inputHeight, int height);
int MeasureMemoProportion(int memoHeight, int height);

}  // namespace tessel::gui
