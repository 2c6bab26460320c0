#pragma once

// HEIC/HEIF stills, as phones write them, through libheif: the primary picture.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/dib.h"

namespace quendrolix {

// Decodes the primary picture of a HEIF file into a 24-bit block, or a 32-bit one (blue,
// green, red, alpha) when it has an alpha channel. The container's own rotation and mirror
// are applied; the EXIF orientation is applied only when the container has neither, as
// files made from a rotated JPEG carry it (phones put the rotation in the container and
// leave the EXIF tag saying the same, which must not turn the picture twice). Null on
// failure with the reason in `message`.
HDIB ReadHeif(const std::string& path, std::string& message);
HDIB ReadHeifMemory(const uint8_t* data, size_t size, std::string& message);

// True when the HEIF item properties hold a rotation ('irot') or mirror ('imir').
bool HeifHasTransformations(const uint8_t* data, size_t size);

// The canvas sizes that the file's tiled ('grid') and layered ('iovl') items give in their
// own data. The picture is made at that size whatever its 'ispe' property says.
struct HeifCanvas {
  uint32_t width = 0;
  uint32_t height = 0;
};
std::vector<HeifCanvas> HeifDerivedCanvases(const uint8_t* data, size_t size);
// The coded picture sizes that the HEVC sequence parameter sets of the file's 'hvcC'
// properties give: the decoder makes pictures that large whatever the 'ispe' says.
std::vector<HeifCanvas> HeifCodedSizes(const uint8_t* data, size_t size);

}  // namespace quendrolix
