#pragma once

// Morphing: one picture turned into another as a per-byte cross-dissolve, written as
// numbered 24-bit bitmaps (the source, N in-between pictures, the target).

#include <string>
#include <vector>

#include "avi/frame_composition.h"
#include "image/cbmp.h"
#include "platform/gdi/gdi.h"
#include "project/output_format.h"

namespace quendrolix {

// "Img%04d.bmp" in `folder`.
std::string MorphFileName(const std::string& folder, int number);

// Writes the source as number `start`, the target as start + steps + 1 and the steps in
// between, each stamped with the logo by `composer`. `names` receives the written files in
// the order source, in-between by rising number, target. A screen of fewer than 24 bits
// per pixel, a picture that cannot be loaded or made, or a save that fails is shown as a
// message and gives false; files already written stay. A target of another size than the
// source is fitted into the source's size by `fit` (with "none" it is laid on the source's
// size at the top-left corner, unscaled).
bool MorphImages(std::vector<std::string>& names, const std::string& sourcePath,
                 const std::string& targetPath, const std::string& folder, int steps, int start,
                 const FrameComposer& composer = {}, int screenBitsPerPixel = kScreenBitsPerPixel,
                 PictureFit fit = PictureFit::kLetterbox);

// The in-between pictures: `first` is moved byte by byte toward `target` (24-bit rows,
// padding included), closing 1/k of the remaining distance at the step with k steps to go,
// and saved as firstNumber, firstNumber + 1, ... The last equals the target. `first` holds
// the last picture afterwards. A save that fails is shown ("Error: could not save the
// bitmap (file: NAME, error: N)") and ends the run with false.
bool CrossDissolveSteps(std::vector<std::string>& names, CBmp& first, const CBmp& target,
                        const std::string& folder, int steps, int firstNumber);

}  // namespace quendrolix
