#pragma once

#include <string>

#include "platform/gdi/dib.h"

namespace quendrolix {

// Where the video encoder gets its pictures: source frame index -> packed DIB block. The
// AVI input hands out what its frame getter returns; the image-list source loads image
// files. The encoder maps display frame numbers to source indices (replication).
class MpegFrameSource {
 public:
  virtual ~MpegFrameSource() = default;
  // The frame as a packed DIB block, or null when it cannot be had. The block belongs to
  // the source and stays valid until the next FetchFrame or ReleaseFrame.
  virtual const DibBlock* FetchFrame(int index) = 0;
  // Called once the picture made from the last fetched block has been coded.
  virtual void ReleaseFrame() {}
  // Which picture frame `index` is: frames with the same number show the same picture.
  // Sources that cannot tell give every frame its own.
  virtual int PictureIdentity(int index) const { return index; }
  // The name of frame `index` for messages ("Error: loading of %s failed").
  virtual std::string FrameName(int index) const { return std::to_string(index); }
};

}  // namespace quendrolix
