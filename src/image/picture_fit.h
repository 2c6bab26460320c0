#pragma once

// Placing a picture into an output frame of another size: the one piece of fitting code
// behind every road that makes a movie and behind the image processor's "fit to the
// project's output size". Scaling goes through the av layer's Lanczos filter (three lobes,
// widened by the reduction factor), so a photograph reduced five times over keeps its
// detail without aliasing.

#include "platform/gdi/gdi.h"
#include "project/output_format.h"

namespace quendrolix {

// Where a picture of pictureWidth x pictureHeight lands in a frame of frameWidth x
// frameHeight: scaled to width x height with its top-left corner at (x, y) of the frame
// (negative where the crop or an unscaled picture is cut).
struct FitPlacement {
  int width = 0;
  int height = 0;
  int x = 0;
  int y = 0;
  bool operator==(const FitPlacement&) const = default;
};
FitPlacement PlaceForFit(int pictureWidth, int pictureHeight, int frameWidth, int frameHeight,
                         PictureFit fit);

// The picture fitted into a black frameWidth x frameHeight frame (kNone: centred as it is,
// cut where it is larger). Null for an empty source, a frame side outside
// 1..16384, or no memory.
HBITMAP FitPicture(const Bitmap& picture, int frameWidth, int frameHeight, PictureFit fit);

}  // namespace quendrolix
