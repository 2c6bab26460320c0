#pragma once

#include <QString>

namespace quendrolix::app {

// Tool tips of the image-list bar: a title line, a carriage return, then the body
// (whose line feeds are kept).
inline constexpr const char* kTipMoveUp = "Move up\rMoves the selected\nimage up the list";
inline constexpr const char* kTipMoveDown = "Move down\rMoves the selected\nimage down the list";
inline constexpr const char* kTipMoveFirst =
    "Move first\rMoves the selected image\nto the top of the list";
inline constexpr const char* kTipMoveLast =
    "Move last\rMoves the selected image\nto the bottom of the list";
inline constexpr const char* kTipDelete = "Delete\rRemoves the selected\nimage from the list";
inline constexpr const char* kTipImageList =
    "Image/Frame List\rEach image can stay\non screen for more than one frame.\nClick to edit.";

// The tool tip as rich text: the title line in bold above the body.
QString TitledToolTip(const char* text);

}  // namespace quendrolix::app
