#include "image/heif_glue.h"

#include <libheif/heif.h>

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

// The boxes between `from` and `to`; false when one does not fit.
bool Boxes(const uint8_t* data, size_t from, size_t to, std::vector<Box>& out) {
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
    if (size < header || size > to - at) return false;
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

HDIB ReadHeifMemory(const uint8_t* data, size_t size, std::string& message) {
  message = kNotHeif;
  if (!data || size < 12 ||
      heif_check_filetype(data, static_cast<int>(std::min<size_t>(size, 64))) == heif_filetype_no)
    return nullptr;
  std::unique_ptr<heif_context, ContextDeleter> context(heif_context_alloc());
  if (!context) return nullptr;
  heif_context_set_maximum_image_size_limit(context.get(), static_cast<int>(kMaxImageDimension));
  if (heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr).code !=
      heif_error_Ok)
    return nullptr;
  heif_image_handle* rawHandle = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok)
    return nullptr;
  std::unique_ptr<heif_image_handle, HandleDeleter> handle(rawHandle);
  // Both the coded size and the size after rotation must be within the budget.
  const int width = heif_image_handle_get_width(handle.get());
  const int height = heif_image_handle_get_height(handle.get());
  const int codedWidth = heif_image_handle_get_ispe_width(handle.get());
  const int codedHeight = heif_image_handle_get_ispe_height(handle.get());
  if (!PictureWithinBudget(width, height) ||
      (codedWidth > 0 && !PictureWithinBudget(codedWidth, codedHeight))) {
    message = StringPrintf("The picture (%dx%d) is larger than the %d megapixels allowed", width,
                           height, PictureMegapixels());
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
