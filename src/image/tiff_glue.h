#pragma once

// TIFF stills and pages through libtiff.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/gdi/dib.h"

namespace quendrolix {

// ReadTiff statuses (TiffReadStatus): 100 on entry.
constexpr int kTiffStatusStart = 100;
constexpr int kTiffStatusNoBits = 101;    // bits per sample 0
constexpr int kTiffStatusDeflate = 102;   // compression 32946
constexpr int kTiffStatusOldJpeg = 103;   // compression 6
constexpr int kTiffStatusNoMemory = 104;  // also pictures beyond the size limits
constexpr int kTiffStatusReadFailed = 105;
constexpr int kTiffStatusCmykDepth = 106;  // CMYK below 8 bits per sample
// WriteTiff statuses: 99 on entry.
constexpr int kTiffWriteStatusStart = 99;
constexpr int kTiffWriteStatusNotBilevel = 107;  // CCITT compression of a picture above 1 bit

// Reads the directory at the file offset given (the first one for 0) into a block of 1, 4
// or 8 bits with a colour table, or of 24 or 32 bits. Null on failure, with `status`
// saying why where a code exists (100 stays when the file is not a TIFF we can open).
HDIB ReadTiff(const std::string& path, uint32_t directoryOffset, int* status);
HDIB ReadTiffStream(std::FILE* file, uint32_t directoryOffset, int* status);

// Compression selectors of WriteTiff.
enum TiffCompressionSelector {
  kTiffNone = 0,
  kTiffLzw = 1,
  kTiffPackBits = 2,
  kTiffCcittGroup3 = 3,
  kTiffCcittGroup4 = 4,
  kTiffCcittHuffman = 5,
};
// Writes a block as a single-page TIFF. The file is replaced only when every row was
// written.
bool WriteTiff(const std::string& path, const DibBlock& dib, int compression, int* status);

// Walks the directory chain: offsets[0] is the first directory, offsets[k] the one after
// directory k - 1. Returns the number of directories, 0 when the first offset is 0, and 1
// when the walk reached `maximum` directories. At most `maximum` offsets are stored; a
// chain that comes back to a directory already seen ends there.
int CountTiffPages(const std::string& path, std::vector<uint32_t>& offsets, int maximum);
int CountTiffPagesStream(std::FILE* file, std::vector<uint32_t>& offsets, int maximum);

// Every page of a multi-page file, for the tools that take all of them: no fixed limit, but
// a budget of pages (the chain of a damaged file can be long); when the file has more,
// `budgetReached` says so and the first `budget` pages are listed.
constexpr int64_t kTiffPageBudget = 100000;
struct TiffPageList {
  std::vector<uint32_t> offsets;  // one per page; offsets[0] is the first directory
  bool budgetReached = false;
};
TiffPageList ListTiffPages(const std::string& path, int64_t budget = kTiffPageBudget);

}  // namespace quendrolix
