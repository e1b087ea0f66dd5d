#pragma once

#include <QRect>

// The window's layout is drawn up with the origin at the lower-left corner of each parent and y
// growing upwards. This turns such a frame into Qt's geometry, whose origin is the top-left
// corner: qtY = parentHeight - y - height.
inline QRect FrameInParent(int parentHeight, int x, int y, int width, int height) {
  return {x, parentHeight - y - height, width, height};
}
