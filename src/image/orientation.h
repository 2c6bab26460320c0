#pragma once

// Pictures are shown the right way up: photographs carry the camera's orientation as the
// EXIF (or TIFF) Orientation tag, 1 to 8, and the readers turn the pixels to match.

#include <cstddef>
#include <cstdint>

#include "platform/gdi/dib.h"

namespace quendrolix {

// The Orientation tag (1 to 8) of an EXIF block: TIFF-structured data, with or without the
// "Exif\0\0" prefix of a JPEG APP1 segment. 0 when there is none or it is damaged. We read
// the one tag ourselves: it is a few bounds-checked lines, and nothing else of EXIF is used.
int ExifOrientation(const uint8_t* data, size_t size);

// The picture turned as the orientation says (2 mirror, 3 half turn, 4 flip, 5 transpose,
// 6 quarter turn clockwise, 7 transverse, 8 quarter turn anticlockwise); 1, 0 and unknown
// values leave it as it is. 1- and 4-bit pictures come back as 8 bits with the same
// colours. Null only when memory for the turned picture cannot be had.
HDIB OrientDib(HDIB dib, int orientation);

}  // namespace quendrolix
