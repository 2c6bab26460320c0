#pragma once

// The on-disk records of RIFF AVI files (AVI 1.0 and the OpenDML extension), laid out as
// stored. Shared by the reader, the writer and the tests that check byte layouts.

#include <bit>
#include <cstdint>

#include "platform/vfw/mmreg.h"

namespace quendrolix {

static_assert(std::endian::native == std::endian::little,
              "the AVI records are read and written as little-endian memory images");

constexpr FOURCC kFccRiff = MakeFourCC('R', 'I', 'F', 'F');
constexpr FOURCC kFccList = MakeFourCC('L', 'I', 'S', 'T');
constexpr FOURCC kFccAvi = MakeFourCC('A', 'V', 'I', ' ');
constexpr FOURCC kFccAvix = MakeFourCC('A', 'V', 'I', 'X');
constexpr FOURCC kFccWave = MakeFourCC('W', 'A', 'V', 'E');
constexpr FOURCC kFccHdrl = MakeFourCC('h', 'd', 'r', 'l');
constexpr FOURCC kFccAvih = MakeFourCC('a', 'v', 'i', 'h');
constexpr FOURCC kFccStrl = MakeFourCC('s', 't', 'r', 'l');
constexpr FOURCC kFccStrh = MakeFourCC('s', 't', 'r', 'h');
constexpr FOURCC kFccStrf = MakeFourCC('s', 't', 'r', 'f');
constexpr FOURCC kFccStrn = MakeFourCC('s', 't', 'r', 'n');
constexpr FOURCC kFccIndx = MakeFourCC('i', 'n', 'd', 'x');
constexpr FOURCC kFccOdml = MakeFourCC('o', 'd', 'm', 'l');
constexpr FOURCC kFccDmlh = MakeFourCC('d', 'm', 'l', 'h');
constexpr FOURCC kFccMovi = MakeFourCC('m', 'o', 'v', 'i');
constexpr FOURCC kFccRec = MakeFourCC('r', 'e', 'c', ' ');
constexpr FOURCC kFccIdx1 = MakeFourCC('i', 'd', 'x', '1');
constexpr FOURCC kFccJunk = MakeFourCC('J', 'U', 'N', 'K');

// Main header flags.
constexpr uint32_t AVIF_HASINDEX = 0x00000010;
constexpr uint32_t AVIF_MUSTUSEINDEX = 0x00000020;
constexpr uint32_t AVIF_ISINTERLEAVED = 0x00000100;
constexpr uint32_t AVIF_TRUSTCKTYPE = 0x00000800;

// OpenDML index types.
constexpr uint8_t AVI_INDEX_OF_INDEXES = 0x00;
constexpr uint8_t AVI_INDEX_OF_CHUNKS = 0x01;
constexpr uint8_t AVI_INDEX_2FIELD = 0x01;  // sub-type of a field index

#pragma pack(push, 1)
struct MainAVIHeader {  // 'avih'
  uint32_t dwMicroSecPerFrame;
  uint32_t dwMaxBytesPerSec;
  uint32_t dwPaddingGranularity;
  uint32_t dwFlags;
  uint32_t dwTotalFrames;  // frames of the first RIFF only, in OpenDML files
  uint32_t dwInitialFrames;
  uint32_t dwStreams;
  uint32_t dwSuggestedBufferSize;
  uint32_t dwWidth;
  uint32_t dwHeight;
  uint32_t dwReserved[4];
};

struct AVIStreamHeader {  // 'strh'
  FOURCC fccType;
  FOURCC fccHandler;
  uint32_t dwFlags;
  uint16_t wPriority;
  uint16_t wLanguage;
  uint32_t dwInitialFrames;
  uint32_t dwScale;
  uint32_t dwRate;
  uint32_t dwStart;
  uint32_t dwLength;
  uint32_t dwSuggestedBufferSize;
  uint32_t dwQuality;
  uint32_t dwSampleSize;
  struct {
    int16_t left, top, right, bottom;
  } rcFrame;
};

struct AVIINDEXENTRY {  // one entry of 'idx1'
  FOURCC ckid;
  uint32_t dwFlags;
  uint32_t dwChunkOffset;  // of the chunk header, from the 'movi' four-character code
  uint32_t dwChunkLength;  // of the chunk data
};

struct AVISUPERINDEXHEADER {  // 'indx' in a stream list, index of indexes
  uint16_t wLongsPerEntry;    // 4
  uint8_t bIndexSubType;
  uint8_t bIndexType;  // AVI_INDEX_OF_INDEXES
  uint32_t nEntriesInUse;
  FOURCC dwChunkId;
  uint32_t dwReserved[3];
};

struct AVISUPERINDEXENTRY {
  uint64_t qwOffset;    // of the 'ix##' chunk header
  uint32_t dwSize;      // of that chunk, header included
  uint32_t dwDuration;  // samples it covers
};

struct AVISTDINDEXHEADER {  // 'ix##' chunk: index of the chunks of one RIFF
  uint16_t wLongsPerEntry;  // 2 (3 for a field index)
  uint8_t bIndexSubType;
  uint8_t bIndexType;  // AVI_INDEX_OF_CHUNKS
  uint32_t nEntriesInUse;
  FOURCC dwChunkId;
  uint64_t qwBaseOffset;
  uint32_t dwReserved3;
};

struct AVISTDINDEXENTRY {
  uint32_t dwOffset;  // of the chunk data, from qwBaseOffset
  uint32_t dwSize;    // bit 31 set: not a key frame
};
#pragma pack(pop)
static_assert(sizeof(MainAVIHeader) == 56);
static_assert(sizeof(AVIStreamHeader) == 56);
static_assert(sizeof(AVIINDEXENTRY) == 16);
static_assert(sizeof(AVISUPERINDEXHEADER) == 24);
static_assert(sizeof(AVISUPERINDEXENTRY) == 16);
static_assert(sizeof(AVISTDINDEXHEADER) == 24);
static_assert(sizeof(AVISTDINDEXENTRY) == 8);

// '00dc', '01wb', 'ix00': stream number as two decimal digits and a two-letter kind.
constexpr FOURCC StreamChunkId(int stream, char a, char b) {
  return MakeFourCC(static_cast<char>('0' + stream / 10 % 10), static_cast<char>('0' + stream % 10),
                    a, b);
}
constexpr FOURCC StreamIndexId(int stream) {
  return MakeFourCC('i', 'x', static_cast<char>('0' + stream / 10 % 10),
                    static_cast<char>('0' + stream % 10));
}
// The stream number of a '##xx' chunk id, or -1.
inline int StreamOfChunkId(FOURCC id) {
  const int a = static_cast<int>(id & 0xFF) - '0';
  const int b = static_cast<int>((id >> 8) & 0xFF) - '0';
  if (a < 0 || a > 9 || b < 0 || b > 9) return -1;
  return a * 10 + b;
}
// The two-letter kind of a '##xx' chunk id ("dc", "wb", "pc", ...) as a 16-bit value.
constexpr uint16_t ChunkKind(FOURCC id) {
  return static_cast<uint16_t>(id >> 16);
}
constexpr uint16_t ChunkKindOf(char a, char b) {
  return static_cast<uint16_t>(static_cast<uint8_t>(a) | static_cast<uint8_t>(b) << 8);
}

}  // namespace quendrolix
