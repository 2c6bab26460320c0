#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image/gif/gif_output_settings.h"
#include "platform/gdi/dib.h"

namespace quendrolix {

// One picture of an animation as the caller hands it to the GIF writer.
struct GifSourceFrame {
  HDIB dib;                 // uncompressed 24-bit (or 32-bit) DIB; every picture one size
  unsigned frameCount = 1;  // project frames it stays on screen; 0 counts as 1
  // How long it stays, in hundredths of a second; 0: frameCount times the global delay.
  uint32_t centiseconds = 0;
  std::string name;  // for status texts and messages (the image's path)
};

enum class GifFrameStatus {
  kFrame,   // `frame` holds the next picture
  kEnd,     // no more pictures: the animation ends here (a message may say why)
  kFailed,  // the picture could not be had: nothing is written (the message says why)
};

// Hands over picture `index` (0, 1, ... in order, each asked for once). Pictures are
// pulled one at a time so a long animation never needs all of them in memory.
using GifFrameProvider =
    std::function<GifFrameStatus(size_t index, GifSourceFrame& frame, std::string& message)>;

// Fills `rgb` with colours sampled from every picture of the animation (red, green, blue
// triples); false when it could not. The global colour map is built from them.
using GifColourSampler = std::function<bool(std::vector<uint8_t>& rgb)>;

// Adds about `samples` colours of the picture (an uncompressed 24- or 32-bit block; other
// blocks add nothing), taken evenly over it, to `rgb`: what a sampler gathers per picture.
void SampleGifColours(const DibBlock& dib, size_t samples, std::vector<uint8_t>& rgb);

struct GifWriteResult {
  bool ok = false;           // the file was written
  std::string message;       // why not; or, with ok, why the animation ended early
  size_t picturesRead = 0;   // pictures taken from the provider into the animation
  size_t imagesWritten = 0;  // images in the file (identical neighbours are merged)
  uint64_t bytes = 0;        // size of the file written
};

// Writes an animated GIF of up to `pictureCount` pictures to `path`.
//
// Settings used: one colour map for every image (global colour map: built from the
// `sampler`'s colours of all pictures, or from the first picture when there is no sampler
// or it fails) or a colour map of its own for each image; interlacing; the transparent
// palette entry; the play count; and each image's delay: its own `centiseconds` when
// given, else its frame count times the global delay in hundredths of a second.
// Consecutive identical pictures become one image with their delays summed.
//
// With a transparent entry T, the colour covering most of the first picture becomes entry
// T of every colour map, and exactly that colour is transparent in every image (each
// image is then cleared to the background before the next one is drawn, so the page
// shows through, not the previous picture).
//
// A picture whose size differs from the first ends the animation there, as a provider's
// kEnd does: the shorter file is written and the message says why. A provider's kFailed,
// an unusable picture or a failed write leaves no file behind and any existing `path`
// untouched: the file is written under a temporary name beside it and renamed into place.
//
// Progress: "%d of %d: %s" in the status bar and a percentage per picture.
GifWriteResult WriteAnimatedGif(const std::string& path, size_t pictureCount,
                                const GifFrameProvider& provider, const GifOutputSettings& settings,
                                const GifColourSampler& sampler = {});

// The loop count written in the looping extension for a play value, or -1 when no
// extension is written (see the definition for why).
int GifLoopCount(uint8_t play);

}  // namespace quendrolix
