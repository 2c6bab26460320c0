#include "image/heif_glue.h"

#include <libheif/heif.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "image/image_io.h"
#include "image/orientation.h"
#include "image/picture_limits.h"
#include "platform/host/conversion_log.h"

namespace quendrolix {

namespace {

constexpr const char* kNotHeif = "not a HEIF picture that can be read";
// HEVC codes a skipped 64x64 block in a fraction of a bit; only the pixel budget really
// bounds it, this only refuses files with next to nothing in them.
constexpr uint64_t kHeifPixelsPerByte = 1 << 20;
constexpr size_t kMaxHeifBytes = size_t{1} << 32;

struct ContextDeleter {
  void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleDeleter {
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageDeleter {
  void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsDeleter {
  void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

// One box of ISO base media: where its contents lie.
struct Box {
  char type[4];
  size_t body;  // offset of the contents
  size_t end;   // offset after the box
};

// The boxes between `from` and `to`; false when one does not fit. With `cut`, a box that
// claims more than there is ends where the contents end (as lenient readers take it) and is
// the last one.
bool Boxes(const uint8_t* data, size_t from, size_t to, std::vector<Box>& out, bool cut = false) {
  out.clear();
  size_t at = from;
  while (at + 8 <= to) {
    uint64_t size = uint64_t{data[at]} << 24 | uint64_t{data[at + 1]} << 16 |
                    uint64_t{data[at + 2]} << 8 | data[at + 3];
    size_t header = 8;
    if (size == 1) {
      if (at + 16 > to) return false;
      size = 0;
      for (int i = 0; i < 8; ++i) size = size << 8 | data[at + 8 + i];
      header = 16;
    } else if (size == 0) {
      size = to - at;  // to the end of the enclosing box
    }
    if (size < header) return false;
    if (size > to - at) {
      if (!cut) return false;
      size = to - at;
    }
    Box box;
    std::memcpy(box.type, data + at + 4, 4);
    box.body = at + header;
    box.end = at + static_cast<size_t>(size);
    out.push_back(box);
    at = box.end;
  }
  return true;
}

const Box* Find(const std::vector<Box>& boxes, const char* type) {
  for (const Box& b : boxes)
    if (std::memcmp(b.type, type, 4) == 0) return &b;
  return nullptr;
}

// Big-endian fields of one box's contents; reading past its end yields zeros and clears ok.
class Fields {
 public:
  Fields(const uint8_t* data, size_t at, size_t end) : data_(data), at_(at), end_(end) {}
  uint64_t Take(unsigned bytes) {
    if (bytes > 8 || end_ - at_ < bytes) {
      ok_ = false;
      at_ = end_;
      return 0;
    }
    uint64_t value = 0;
    for (unsigned i = 0; i < bytes; ++i) value = value << 8 | data_[at_++];
    return value;
  }
  void Skip(size_t bytes) {
    if (end_ - at_ < bytes) {
      ok_ = false;
      at_ = end_;
    } else {
      at_ += bytes;
    }
  }
  bool ok() const { return ok_; }
  size_t at() const { return at_; }

 private:
  const uint8_t* data_;
  size_t at_;
  size_t end_;
  bool ok_ = true;
};

// Where the first extent of each item's data lies ('iloc'), as offsets into the file.
struct ItemData {
  uint32_t id;
  size_t begin;
  size_t end;
};

std::vector<ItemData> ItemLocations(const uint8_t* data, size_t size, const Box& iloc,
                                    const Box* idat) {
  std::vector<ItemData> items;
  Fields f(data, iloc.body, iloc.end);
  const unsigned version = unsigned(f.Take(1));
  f.Take(3);
  const unsigned sizes = unsigned(f.Take(1));
  const unsigned indexed = unsigned(f.Take(1));
  const unsigned offsetSize = sizes >> 4, lengthSize = sizes & 15, baseSize = indexed >> 4;
  const unsigned indexSize = (version == 1 || version == 2) ? (indexed & 15) : 0;
  const uint64_t count = f.Take(version < 2 ? 2 : 4);
  for (uint64_t i = 0; i < count && f.ok(); ++i) {
    const uint32_t id = uint32_t(f.Take(version < 2 ? 2 : 4));
    const unsigned method = (version == 1 || version == 2) ? unsigned(f.Take(2) & 15) : 0;
    f.Take(2);  // data reference
    const uint64_t base = f.Take(baseSize);
    const uint64_t extents = f.Take(2);
    uint64_t first = 0, length = 0;
    for (uint64_t e = 0; e < extents && f.ok(); ++e) {
      f.Take(indexSize);
      const uint64_t offset = f.Take(offsetSize);
      const uint64_t bytes = f.Take(lengthSize);
      if (e == 0) first = base + offset, length = bytes;
    }
    if (!f.ok() || extents == 0) break;
    // Construction method 0 points into the file, 1 into the 'idat' box.
    size_t from = 0, to = size;
    if (method == 1) {
      if (!idat) continue;
      from = idat->body, to = idat->end;
    } else if (method != 0) {
      continue;
    }
    if (first > to - from) continue;
    const size_t begin = from + size_t(first);
    const size_t end = (length == 0 || length > to - begin) ? to : begin + size_t(length);
    items.push_back({id, begin, end});
  }
  return items;
}

// Exp-Golomb and fixed-width fields of an HEVC parameter set, emulation prevention removed.
class HevcBits {
 public:
  HevcBits(const uint8_t* nal, size_t size) {
    int zeros = 0;
    for (size_t i = 0; i < size; ++i) {
      if (zeros >= 2 && nal[i] == 3) {
        zeros = 0;
        continue;
      }
      zeros = nal[i] == 0 ? zeros + 1 : 0;
      bytes_.push_back(nal[i]);
    }
  }
  uint32_t Bits(int n) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) {
      if (at_ >= 8 * bytes_.size()) {
        ok_ = false;
        return 0;
      }
      value = value << 1 | ((bytes_[at_ / 8] >> (7 - at_ % 8)) & 1);
      ++at_;
    }
    return value;
  }
  uint32_t Golomb() {
    int zeros = 0;
    while (ok_ && Bits(1) == 0)
      if (++zeros > 31) ok_ = false;
    if (!ok_) return 0;
    return (uint32_t{1} << zeros) - 1 + Bits(zeros);
  }
  void Skip(size_t n) {
    at_ += n;
    if (at_ > 8 * bytes_.size()) ok_ = false;
  }
  bool ok() const { return ok_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t at_ = 0;
  bool ok_ = true;
};

// The coded picture size a sequence parameter set gives; false when it cannot be read.
bool SequenceSize(const uint8_t* nal, size_t size, HeifCanvas& coded) {
  HevcBits bits(nal, size);
  bits.Skip(16);  // the NAL unit header
  bits.Skip(4);   // video parameter set
  const int subLayers = static_cast<int>(bits.Bits(3));
  bits.Skip(1);
  // Profile, tier and level of the whole stream, then of each sub-layer.
  bits.Skip(96);
  bool profile[8] = {}, level[8] = {};
  for (int i = 0; i < subLayers; ++i) {
    profile[i] = bits.Bits(1) != 0;
    level[i] = bits.Bits(1) != 0;
  }
  if (subLayers > 0) bits.Skip(2 * (8 - subLayers));
  for (int i = 0; i < subLayers; ++i) bits.Skip((profile[i] ? 88 : 0) + (level[i] ? 8 : 0));
  bits.Golomb();                         // its own id
  if (bits.Golomb() == 3) bits.Skip(1);  // 4:4:4 with separate planes
  coded.width = bits.Golomb();
  coded.height = bits.Golomb();
  return bits.ok();
}

int OrientationOf(heif_image_handle* handle) {
  const int count = heif_image_handle_get_number_of_metadata_blocks(handle, "Exif");
  if (count <= 0) return 0;
  heif_item_id id = 0;
  if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) != 1) return 0;
  const size_t size = heif_image_handle_get_metadata_size(handle, id);
  if (size < 4 || size > (64u << 20)) return 0;
  std::vector<uint8_t> exif(size);
  if (heif_image_handle_get_metadata(handle, id, exif.data()).code != heif_error_Ok) return 0;
  // The item starts with the offset of the TIFF header from the end of that field.
  const uint32_t skip =
      uint32_t{exif[0]} << 24 | uint32_t{exif[1]} << 16 | uint32_t{exif[2]} << 8 | exif[3];
  if (skip > size - 4) return 0;
  return ExifOrientation(exif.data() + 4 + skip, size - 4 - skip);
}

}  // namespace

bool HeifHasTransformations(const uint8_t* data, size_t size) {
  std::vector<Box> top, inMeta, inProperties, properties;
  if (!data || !Boxes(data, 0, size, top)) return false;
  const Box* meta = Find(top, "meta");
  // 'meta' is a full box: four bytes of version and flags before its children.
  if (!meta || meta->end - meta->body < 4 || !Boxes(data, meta->body + 4, meta->end, inMeta))
    return false;
  const Box* iprp = Find(inMeta, "iprp");
  if (!iprp || !Boxes(data, iprp->body, iprp->end, inProperties)) return false;
  const Box* ipco = Find(inProperties, "ipco");
  if (!ipco || !Boxes(data, ipco->body, ipco->end, properties)) return false;
  return Find(properties, "irot") || Find(properties, "imir");
}

namespace {

// The boxes in 'meta'. The walk takes all it can: a box that runs past the end must not
// hide a picture that the library would still make.
std::vector<Box> MetaBoxes(const uint8_t* data, size_t size) {
  std::vector<Box> top, inMeta;
  if (!data) return inMeta;
  Boxes(data, 0, size, top, true);
  const Box* meta = Find(top, "meta");
  if (meta && meta->end - meta->body >= 4) Boxes(data, meta->body + 4, meta->end, inMeta, true);
  return inMeta;
}

}  // namespace

std::vector<HeifCanvas> HeifDerivedCanvases(const uint8_t* data, size_t size) {
  std::vector<HeifCanvas> canvases;
  std::vector<Box> entries;
  const std::vector<Box> inMeta = MetaBoxes(data, size);
  const Box* iinf = Find(inMeta, "iinf");
  const Box* iloc = Find(inMeta, "iloc");
  if (!iinf || !iloc) return canvases;
  Fields list(data, iinf->body, iinf->end);
  const unsigned listVersion = unsigned(list.Take(1));
  list.Take(3);
  list.Take(listVersion == 0 ? 2 : 4);
  if (!list.ok()) return canvases;
  Boxes(data, list.at(), iinf->end, entries, true);
  const std::vector<ItemData> located = ItemLocations(data, size, *iloc, Find(inMeta, "idat"));
  for (const Box& entry : entries) {
    if (std::memcmp(entry.type, "infe", 4) != 0) continue;
    Fields e(data, entry.body, entry.end);
    const unsigned version = unsigned(e.Take(1));
    e.Take(3);
    if (version < 2) continue;
    const uint32_t id = uint32_t(e.Take(version == 2 ? 2 : 4));
    e.Take(2);  // protection
    const uint64_t type = e.Take(4);
    const bool grid = type == 0x67726964;     // 'grid'
    const bool overlay = type == 0x696f766c;  // 'iovl'
    if (!e.ok() || (!grid && !overlay)) continue;
    for (const ItemData& item : located) {
      if (item.id != id) continue;
      Fields d(data, item.begin, item.end);
      d.Take(1);  // version
      const unsigned wide = unsigned(d.Take(1)) & 1;
      d.Take(grid ? 2 : 8);  // rows and columns, or the overlay's fill colour
      HeifCanvas canvas;
      canvas.width = d.Take(wide ? 4 : 2);
      canvas.height = d.Take(wide ? 4 : 2);
      if (d.ok()) canvases.push_back(canvas);
    }
  }
  return canvases;
}

std::vector<HeifCanvas> HeifCodedSizes(const uint8_t* data, size_t size) {
  std::vector<HeifCanvas> sizes;
  std::vector<Box> inProperties, properties;
  const std::vector<Box> inMeta = MetaBoxes(data, size);
  const Box* iprp = Find(inMeta, "iprp");
  if (!iprp) return sizes;
  Boxes(data, iprp->body, iprp->end, inProperties, true);
  const Box* ipco = Find(inProperties, "ipco");
  if (!ipco) return sizes;
  Boxes(data, ipco->body, ipco->end, properties, true);
  for (const Box& box : properties) {
    if (std::memcmp(box.type, "hvcC", 4) != 0) continue;
    // 22 bytes of configuration, then arrays of parameter sets by NAL unit type.
    Fields f(data, box.body + 22, box.end);
    const unsigned arrays = unsigned(f.Take(1));
    for (unsigned a = 0; a < arrays && f.ok(); ++a) {
      const unsigned type = unsigned(f.Take(1)) & 0x3F;
      const unsigned units = unsigned(f.Take(2));
      for (unsigned u = 0; u < units && f.ok(); ++u) {
        const size_t length = size_t(f.Take(2));
        const size_t at = f.at();
        if (!f.ok() || length > box.end - at) break;
        HeifCanvas coded;
        if (type == 33 && SequenceSize(data + at, length, coded)) sizes.push_back(coded);
        f.Skip(length);
      }
    }
  }
  return sizes;
}

namespace {

// The size in a message of the library's such as "Image size 15104x18944 exceeds the
// maximum image size 256x256": the first one named.
bool SizeInMessage(const char* text, int64_t& width, int64_t& height) {
  const char* at = text ? std::strstr(text, "size ") : nullptr;
  if (!at) return false;
  char* end = nullptr;
  width = std::strtoll(at + 5, &end, 10);
  if (end == at + 5 || *end != 'x') return false;
  const char* second = end + 1;
  height = std::strtoll(second, &end, 10);
  return end != second && width > 0 && height > 0;
}

std::string TooLarge(int64_t width, int64_t height) {
  return StringPrintf("The picture (%lldx%lld) is larger than the %d megapixels allowed",
                      static_cast<long long>(width), static_cast<long long>(height),
                      PictureMegapixels());
}

// One decoding with the library's own limit on the sides of every picture it makes. A
// picture it refuses for that leaves its size in `refusedWidth` x `refusedHeight`.
HDIB DecodeWithin(const uint8_t* data, size_t size, int side, std::string& message,
                  int64_t& refusedWidth, int64_t& refusedHeight) {
  refusedWidth = refusedHeight = 0;
  message = kNotHeif;
  auto refused = [&](const heif_error& error) {
    if (error.subcode == heif_suberror_Security_limit_exceeded &&
        !SizeInMessage(error.message, refusedWidth, refusedHeight))
      refusedWidth = refusedHeight = int64_t{kMaxImageDimension} + 1;
  };
  std::unique_ptr<heif_context, ContextDeleter> context(heif_context_alloc());
  if (!context) return nullptr;
  heif_context_set_maximum_image_size_limit(context.get(), side);
  const heif_error read =
      heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr);
  if (read.code != heif_error_Ok) {
    refused(read);
    return nullptr;
  }
  heif_image_handle* rawHandle = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok)
    return nullptr;
  std::unique_ptr<heif_image_handle, HandleDeleter> handle(rawHandle);
  // Both the coded size and the size after rotation must be within the budget.
  const int width = heif_image_handle_get_width(handle.get());
  const int height = heif_image_handle_get_height(handle.get());
  const int codedWidth = heif_image_handle_get_ispe_width(handle.get());
  const int codedHeight = heif_image_handle_get_ispe_height(handle.get());
  // A tiled or layered picture is made on a canvas of the size its own data gives, which
  // need not be the size the properties say.
  int64_t canvasWidth = width, canvasHeight = height;
  bool withinBudget = PictureWithinBudget(width, height) &&
                      (codedWidth <= 0 || PictureWithinBudget(codedWidth, codedHeight));
  // So is each picture the decoder makes, at the size its parameter sets give.
  std::vector<HeifCanvas> made = HeifDerivedCanvases(data, size);
  for (const HeifCanvas& coded : HeifCodedSizes(data, size)) made.push_back(coded);
  for (const HeifCanvas& canvas : made) {
    if (withinBudget && !PictureWithinBudget(canvas.width, canvas.height)) {
      withinBudget = false;
      canvasWidth = canvas.width;
      canvasHeight = canvas.height;
    }
  }
  if (!withinBudget) {
    message = TooLarge(canvasWidth, canvasHeight);
    return nullptr;
  }
  if (!CodedBytesCanHold(size, uint64_t(width) * height, kHeifPixelsPerByte)) {
    message = StringPrintf("The file is too short for a %dx%d picture", width, height);
    return nullptr;
  }
  const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
  std::unique_ptr<heif_decoding_options, OptionsDeleter> options(heif_decoding_options_alloc());
  if (!options) return nullptr;
  options->ignore_transformations = 0;
  heif_image* rawImage = nullptr;
  const heif_error decoded = heif_decode_image(
      handle.get(), &rawImage, heif_colorspace_RGB,
      alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
  std::unique_ptr<heif_image, ImageDeleter> image(rawImage);
  if (decoded.code != heif_error_Ok || !image) {
    refused(decoded);
    message = StringPrintf("The HEIF file is damaged (%s)",
                           decoded.message ? decoded.message : "cannot be decoded");
    return nullptr;
  }
  const int outWidth = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int outHeight = heif_image_get_height(image.get(), heif_channel_interleaved);
  int planeStride = 0;
  const uint8_t* plane =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &planeStride);
  const int bytes = alpha ? 4 : 3;
  if (!plane || !PictureWithinBudget(outWidth, outHeight) || planeStride < outWidth * bytes) {
    message = "The HEIF file is damaged";
    return nullptr;
  }
  HDIB dib = NewDib(outWidth, outHeight, alpha ? 32 : 24, 0);
  if (!dib) {
    message = "out of memory";
    return nullptr;
  }
  const size_t stride = DibRowStride(outWidth, alpha ? 32 : 24);
  for (int y = 0; y < outHeight; ++y) {
    const uint8_t* src = plane + static_cast<size_t>(y) * planeStride;
    uint8_t* dst = DibPixels(*dib) + static_cast<size_t>(outHeight - 1 - y) * stride;
    for (int x = 0; x < outWidth; ++x, src += bytes, dst += bytes) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
      if (alpha) dst[3] = src[3];
    }
  }
  if (!HeifHasTransformations(data, size)) {
    const int orientation = OrientationOf(handle.get());
    if (orientation > 1) {
      dib = OrientDib(std::move(dib), orientation);
      if (!dib) message = "out of memory";
    }
  }
  return dib;
}

}  // namespace

HDIB ReadHeifMemory(const uint8_t* data, size_t size, std::string& message) {
  message = kNotHeif;
  if (!data || size < 12 ||
      heif_check_filetype(data, static_cast<int>(std::min<size_t>(size, 64))) == heif_filetype_no)
    return nullptr;
  // The library limits the sides of what it makes, the budget the area. The first try
  // allows a square of the budget; a picture refused for a longer side is allowed when its
  // area is within the budget, by trying again with that side: nothing is ever made larger.
  int side = static_cast<int>(std::sqrt(static_cast<double>(PicturePixelBudget())));
  for (int attempt = 0; attempt < 4; ++attempt) {
    int64_t width = 0, height = 0;
    HDIB dib = DecodeWithin(data, size, side, message, width, height);
    if (dib || width == 0) return dib;
    if (!PictureWithinBudget(width, height) || std::max(width, height) <= side) {
      message = TooLarge(width, height);
      return nullptr;
    }
    side = static_cast<int>(std::max(width, height));
  }
  return nullptr;
}

HDIB ReadHeif(const std::string& path, std::string& message) {
  FileHandle f = OpenFile(path, "rb");
  if (!f) {
    message = "the file cannot be opened";
    return nullptr;
  }
  std::vector<uint8_t> bytes;
  if (!ReadRest(f.get(), bytes, kMaxHeifBytes)) {
    message = "the file cannot be read";
    return nullptr;
  }
  return ReadHeifMemory(bytes.data(), bytes.size(), message);
}

}  // namespace quendrolix
