#include "support/gif_fixtures.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "support/test_support.h"

namespace quendrolix::testing {

std::vector<uint8_t> DecodeGifLzw(int minCodeSize, const std::vector<uint8_t>& codes,
                                  size_t expectedCount) {
  if (minCodeSize < 2 || minCodeSize > 8) throw std::runtime_error("bad minimum code size");
  const int clear = 1 << minCodeSize, end = clear + 1;
  // The table as (prefix, last byte, length) with strings rebuilt on output.
  std::vector<int> prefix(4096, -1);
  std::vector<uint8_t> suffix(4096), first(4096);
  for (int i = 0; i < clear; ++i) suffix[i] = first[i] = static_cast<uint8_t>(i);
  int width = minCodeSize + 1, available = clear + 2, previous = -1;
  size_t bitPos = 0;
  std::vector<uint8_t> out;
  auto read = [&]() {
    if (bitPos + static_cast<size_t>(width) > codes.size() * 8)
      throw std::runtime_error("code stream ends without an end code");
    int code = 0;
    for (int i = 0; i < width; ++i, ++bitPos)
      code |= ((codes[bitPos / 8] >> (bitPos % 8)) & 1) << i;
    return code;
  };
  auto emit = [&](int code) {
    std::vector<uint8_t> text;
    for (int c = code; c >= 0; c = prefix[c]) text.push_back(suffix[c]);
    out.insert(out.end(), text.rbegin(), text.rend());
  };
  for (;;) {
    int code = read();
    if (code == clear) {
      width = minCodeSize + 1;
      available = clear + 2;
      previous = -1;
      continue;
    }
    if (code == end) break;
    if (previous < 0) {
      if (code >= clear) throw std::runtime_error("first code after a clear is not a colour");
      emit(code);
      previous = code;
      continue;
    }
    if (code > available || (code == available && available >= 4096))
      throw std::runtime_error("code not yet defined");
    if (available < 4096) {
      // The new entry: the previous string and the first byte of this one (of the
      // previous string itself when the code is the one being defined).
      prefix[available] = previous;
      first[available] = first[previous];
      suffix[available] = code == available ? first[previous] : first[code];
      ++available;
      if (available == (1 << width) && width < 12) ++width;
    }
    emit(code);
    previous = code;
  }
  // Only the padding of the last byte may follow the end code.
  if ((bitPos + 7) / 8 != codes.size()) throw std::runtime_error("bytes after the end code");
  if (out.size() != expectedCount)
    throw std::runtime_error("decoded " + std::to_string(out.size()) + " indices, expected " +
                             std::to_string(expectedCount));
  return out;
}

namespace {

struct Cursor {
  const std::vector<uint8_t>& bytes;
  size_t at = 0;
  uint8_t Byte() {
    if (at >= bytes.size()) throw std::runtime_error("file ends early");
    return bytes[at++];
  }
  int Word() {
    int lo = Byte();
    return lo | Byte() << 8;
  }
  std::vector<uint8_t> Take(size_t n) {
    if (bytes.size() - at < n) throw std::runtime_error("file ends early");
    std::vector<uint8_t> out(bytes.begin() + static_cast<long>(at),
                             bytes.begin() + static_cast<long>(at + n));
    at += n;
    return out;
  }
  std::vector<uint8_t> SubBlocks() {
    std::vector<uint8_t> out;
    for (uint8_t n; (n = Byte()) != 0;) {
      auto block = Take(n);
      out.insert(out.end(), block.begin(), block.end());
    }
    return out;
  }
};

}  // namespace

void ParsedGif::Colour(const ParsedGifImage& image, size_t pixel, uint8_t rgb[3]) const {
  const std::vector<uint8_t>& table = image.localTable.empty() ? globalTable : image.localTable;
  size_t index = image.indices.at(pixel);
  if (3 * index + 2 >= table.size()) throw std::runtime_error("index outside the colour table");
  std::memcpy(rgb, &table[3 * index], 3);
}

ParsedGif ParseGif(const std::vector<uint8_t>& bytes) {
  ParsedGif gif;
  Cursor in{bytes};
  auto signature = in.Take(6);
  gif.signature.assign(signature.begin(), signature.end());
  gif.width = in.Word();
  gif.height = in.Word();
  uint8_t packed = in.Byte();
  gif.hasGlobalTable = packed & 0x80;
  gif.colourResolution = ((packed >> 4) & 7) + 1;
  gif.backgroundIndex = in.Byte();
  in.Byte();  // aspect
  if (gif.hasGlobalTable) gif.globalTable = in.Take(3u << ((packed & 7) + 1));

  ParsedGifImage next;
  for (;;) {
    uint8_t introducer = in.Byte();
    if (introducer == 0x3B) {
      gif.trailer = true;
      gif.blockOrder.push_back("trailer");
      break;
    }
    if (introducer == 0x21) {
      uint8_t label = in.Byte();
      char name[8];
      std::snprintf(name, sizeof name, "ext:%02X", label);
      gif.blockOrder.push_back(name);
      auto body = in.SubBlocks();
      if (label == 0xF9) {
        if (body.size() != 4) throw std::runtime_error("graphic control extension of wrong size");
        next.hasControl = true;
        next.disposal = (body[0] >> 2) & 7;
        next.transparentFlag = body[0] & 1;
        next.delay = body[1] | body[2] << 8;
        next.transparentIndex = body[3];
      } else if (label == 0xFF) {
        if (body.size() == 11 + 3 && std::memcmp(body.data(), "NETSCAPE2.0", 11) == 0 &&
            body[11] == 1) {
          gif.loopCount = body[12] | body[13] << 8;
          gif.loopExtensionPosition = gif.blockOrder.size() - 1;
        }
      }
      continue;
    }
    if (introducer != 0x2C) throw std::runtime_error("unknown block");
    gif.blockOrder.push_back("image");
    ParsedGifImage& image = next;
    image.left = in.Word();
    image.top = in.Word();
    image.width = in.Word();
    image.height = in.Word();
    uint8_t flags = in.Byte();
    image.interlaced = flags & 0x40;
    if (flags & 0x80) image.localTable = in.Take(3u << ((flags & 7) + 1));
    image.minCodeSize = in.Byte();
    auto codes = in.SubBlocks();
    auto stored =
        DecodeGifLzw(image.minCodeSize, codes, static_cast<size_t>(image.width) * image.height);
    if (image.interlaced) {
      image.indices.resize(stored.size());
      static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
      size_t row = 0;
      for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < image.height; y += kStep[pass], ++row)
          std::memcpy(&image.indices[static_cast<size_t>(y) * image.width],
                      &stored[row * image.width], static_cast<size_t>(image.width));
    } else {
      image.indices = std::move(stored);
    }
    gif.images.push_back(std::move(image));
    next = ParsedGifImage{};
  }
  if (in.at != bytes.size()) throw std::runtime_error("bytes after the trailer");
  return gif;
}

HDIB MakeDib24(int width, int height, const std::vector<uint8_t>& rgb) {
  HDIB dib = NewDib(width, height, 24, 0);
  size_t stride = DibRowStride(width, 24);
  uint8_t* pixels = DibPixels(*dib);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint8_t* s = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      uint8_t* d = pixels + static_cast<size_t>(height - 1 - y) * stride + 3 * x;
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
    }
  return dib;
}

void WriteBmp24(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
  HDIB dib = MakeDib24(width, height, rgb);
  std::vector<uint8_t> file = {'B', 'M'};
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  put32(static_cast<uint32_t>(14 + dib->size()));
  put32(0);
  put32(14 + 40);
  file.insert(file.end(), dib->data(), dib->data() + dib->size());
  WriteBytes(path, file);
}

std::vector<uint8_t> Solid(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = r;
    rgb[i + 1] = g;
    rgb[i + 2] = b;
  }
  return rgb;
}

}  // namespace quendrolix::testing
