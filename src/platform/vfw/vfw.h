#pragma once

// AVI file services: reading and writing RIFF AVI files (and WAV files, which open as a
// file with one audio stream), stream information and formats, sample reading and
// writing, compressed streams, a frame getter that delivers any video frame as a packed
// DIB, and saving several streams of other files into one file.
//
// Shape of the API. Files, streams and frame getters are reference-counted C++ objects
// behind plain handles (PAVIFILE, PAVISTREAM, PGETFRAME); the AVIFile* / AVIStream*
// functions below are the entry points, so that the engines read as the program has
// always read. Every Open / Get / Create / Make returns a handle holding one reference;
// the caller gives it back with the matching Release. A stream keeps its file alive, a
// compressed stream keeps its source, a frame getter keeps its stream, so the order of
// the releases does not matter. For new code ScopedAviFile / ScopedAviStream (at the end
// of this header) release on scope exit.
//
// Results are HRESULT values: AVIERR_OK (0) or one of the AVIERR_* codes.
//
// Writing. AVIFileOpen with OF_WRITE | OF_CREATE starts a new file; the streams are
// created and given their formats first, then samples are written in the order they
// should be stored (the order of AVIStreamWrite calls is the interleaving). The file
// is written under the name "<path>.part" and renamed onto `path` when its last
// reference is released; when anything failed on the way (a format refused, a write or
// compression error, a compressed stream that could not be made, a stream left without
// a format) or no stream was ever created, the temporary file is removed and
// whatever was at `path` stays untouched. Files that grow past 1 GiB continue as
// OpenDML files (further 'AVIX' RIFFs with 'indx'/'ix##' indexes, the first RIFF keeping
// a legacy 'idx1'), so they play to the end. A path ending in ".wav" (any case) writes a
// WAV file holding one audio stream.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/dib.h"
#include "platform/vfw/mmreg.h"

namespace quendrolix {

using DWORD = uint32_t;
using WORD = uint16_t;
using LONG = int32_t;
using ULONG = uint32_t;
using UINT = uint32_t;
using HRESULT = int32_t;

// ---- Results -------------------------------------------------------------------------
constexpr HRESULT AVIERR_OK = 0;
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT AVIERR_UNSUPPORTED = static_cast<HRESULT>(0x80044065);
constexpr HRESULT AVIERR_BADFORMAT = static_cast<HRESULT>(0x80044066);
constexpr HRESULT AVIERR_MEMORY = static_cast<HRESULT>(0x80044067);
constexpr HRESULT AVIERR_INTERNAL = static_cast<HRESULT>(0x80044068);
constexpr HRESULT AVIERR_BADFLAGS = static_cast<HRESULT>(0x80044069);
constexpr HRESULT AVIERR_BADPARAM = static_cast<HRESULT>(0x8004406A);
constexpr HRESULT AVIERR_BADSIZE = static_cast<HRESULT>(0x8004406B);
constexpr HRESULT AVIERR_BADHANDLE = static_cast<HRESULT>(0x8004406C);
constexpr HRESULT AVIERR_FILEREAD = static_cast<HRESULT>(0x8004406D);
constexpr HRESULT AVIERR_FILEWRITE = static_cast<HRESULT>(0x8004406E);
constexpr HRESULT AVIERR_FILEOPEN = static_cast<HRESULT>(0x8004406F);
constexpr HRESULT AVIERR_COMPRESSOR = static_cast<HRESULT>(0x80044070);
constexpr HRESULT AVIERR_NOCOMPRESSOR = static_cast<HRESULT>(0x80044071);
constexpr HRESULT AVIERR_READONLY = static_cast<HRESULT>(0x80044072);
constexpr HRESULT AVIERR_NODATA = static_cast<HRESULT>(0x80044073);
constexpr HRESULT AVIERR_BUFFERTOOSMALL = static_cast<HRESULT>(0x80044074);
constexpr HRESULT AVIERR_CANTCOMPRESS = static_cast<HRESULT>(0x80044075);
constexpr HRESULT AVIERR_USERABORT = static_cast<HRESULT>(0x800440C6);
constexpr HRESULT AVIERR_ERROR = static_cast<HRESULT>(0x800440C7);

// ---- Constants -----------------------------------------------------------------------
constexpr FOURCC streamtypeVIDEO = MakeFourCC('v', 'i', 'd', 's');
constexpr FOURCC streamtypeAUDIO = MakeFourCC('a', 'u', 'd', 's');
constexpr FOURCC streamtypeMIDI = MakeFourCC('m', 'i', 'd', 's');
constexpr FOURCC streamtypeTEXT = MakeFourCC('t', 'x', 't', 's');

// Open modes (combine a mode with OF_CREATE; the share bits are accepted and ignored).
constexpr UINT OF_READ = 0x0000;
constexpr UINT OF_WRITE = 0x0001;
constexpr UINT OF_READWRITE = 0x0002;
constexpr UINT OF_SHARE_EXCLUSIVE = 0x0010;
constexpr UINT OF_SHARE_DENY_WRITE = 0x0020;
constexpr UINT OF_SHARE_DENY_NONE = 0x0040;
constexpr UINT OF_CREATE = 0x1000;

// Sample flags of AVIStreamWrite and of the index.
constexpr DWORD AVIIF_LIST = 0x00000001;
constexpr DWORD AVIIF_KEYFRAME = 0x00000010;
constexpr DWORD AVIIF_NO_TIME = 0x00000100;

// AVICOMPRESSOPTIONS::dwFlags.
constexpr DWORD AVICOMPRESSF_INTERLEAVE = 0x00000001;
constexpr DWORD AVICOMPRESSF_DATARATE = 0x00000002;
constexpr DWORD AVICOMPRESSF_KEYFRAMES = 0x00000004;
constexpr DWORD AVICOMPRESSF_VALID = 0x00000008;

// AVIStreamRead: as many samples as is convenient (what fits, or the rest of a chunk).
constexpr LONG AVISTREAMREAD_CONVENIENT = -1;

// AVIFILEINFO::dwCaps.
constexpr DWORD AVIFILECAPS_CANREAD = 0x0001;
constexpr DWORD AVIFILECAPS_CANWRITE = 0x0002;
constexpr DWORD AVIFILECAPS_ALLKEYFRAMES = 0x0010;
constexpr DWORD AVIFILECAPS_NOCOMPRESSION = 0x0020;

// ---- Records -------------------------------------------------------------------------
#pragma pack(push, 1)
// The stream information record (140 bytes, laid out as the program has always read it).
struct AVISTREAMINFO {
  FOURCC fccType;
  FOURCC fccHandler;
  DWORD dwFlags;
  DWORD dwCaps;
  WORD wPriority;
  WORD wLanguage;
  DWORD dwScale;  // one sample lasts dwScale / dwRate seconds
  DWORD dwRate;
  DWORD dwStart;   // first sample number
  DWORD dwLength;  // samples: frames for video, blocks (sample frames) for PCM audio
  DWORD dwInitialFrames;
  DWORD dwSuggestedBufferSize;
  DWORD dwQuality;
  DWORD dwSampleSize;  // bytes of one sample, 0 when samples vary in size
  struct {
    LONG left, top, right, bottom;
  } rcFrame;
  DWORD dwEditCount;
  DWORD dwFormatChangeCount;
  char szName[64];
};

struct AVIFILEINFO {
  DWORD dwMaxBytesPerSec;
  DWORD dwFlags;
  DWORD dwCaps;
  DWORD dwStreams;
  DWORD dwSuggestedBufferSize;
  DWORD dwWidth;  // of the first video stream
  DWORD dwHeight;
  DWORD dwScale;  // frame duration = dwScale / dwRate seconds (the first video stream's)
  DWORD dwRate;
  DWORD dwLength;  // frames of the first video stream (all RIFFs of an OpenDML file)
  DWORD dwEditCount;
  char szFileType[64];
};
#pragma pack(pop)
static_assert(sizeof(AVISTREAMINFO) == 140);
static_assert(sizeof(AVIFILEINFO) == 108);

// The compression-options record, fields in their traditional order. The format and the
// compressor state are owned byte blocks here instead of pointer + size pairs (empty =
// none).
struct AVICOMPRESSOPTIONS {
  FOURCC fccType = 0;
  FOURCC fccHandler = 0;  // 0 or 'DIB ' = no compression
  DWORD dwKeyFrameEvery = 0;
  DWORD dwQuality = 0;  // 0..10000; (DWORD)-1 = the compressor's default
  DWORD dwBytesPerSecond = 0;
  DWORD dwFlags = 0;
  std::vector<uint8_t> format;  // audio: the format to write (must equal the source's)
  std::vector<uint8_t> parms;   // the compressor's state block, opaque
  DWORD dwInterleaveEvery = 0;
};

// ---- Handles -------------------------------------------------------------------------
class AviFile;
class AviStream;
class AviGetFrame;
using PAVIFILE = AviFile*;
using PAVISTREAM = AviStream*;
using PGETFRAME = AviGetFrame*;

// Kept for the start and end of the program; there is nothing to set up.
void AVIFileInit();
void AVIFileExit();

// Version of these services, 0xMMmm0000 (major, minor). Ours is above 1.10, the least
// the AVI builder accepts.
DWORD VideoForWindowsVersion();
constexpr DWORD kVideoForWindowsVersion = 0x010B0000;  // 1.11

// ---- Files ---------------------------------------------------------------------------
// Opens `path`. Reading (OF_READ): RIFF AVI files (AVI 1.0 and OpenDML) and RIFF WAVE
// files, told apart by their content. Writing needs OF_CREATE (OF_WRITE | OF_CREATE);
// see the top of this header. `handler` is accepted for the traditional signature and
// must be null. Errors: AVIERR_FILEOPEN (cannot open or create), AVIERR_BADFORMAT (not
// a RIFF AVI/WAVE file or damaged beyond use), AVIERR_UNSUPPORTED (writing without
// OF_CREATE), AVIERR_MEMORY.
HRESULT AVIFileOpen(PAVIFILE* ppfile, const std::string& path, UINT mode,
                    const void* handler = nullptr);
ULONG AVIFileAddRef(PAVIFILE pfile);
ULONG AVIFileRelease(PAVIFILE pfile);  // returns the references left
// Fills `size` bytes of the record (up to sizeof(AVIFILEINFO)).
HRESULT AVIFileInfo(PAVIFILE pfile, AVIFILEINFO* info, LONG size);
// The `index`-th stream of type `fccType` (0 = of any type). AVIERR_NODATA when there
// is no such stream.
HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM* ppavi, FOURCC fccType, LONG index);
// A new stream of a file opened for writing, described by fccType, fccHandler,
// dwScale, dwRate, dwStart, dwSuggestedBufferSize, dwQuality, dwSampleSize, rcFrame,
// wPriority, wLanguage, dwFlags and szName of `info`. Streams must be created before
// the first sample is written (AVIERR_UNSUPPORTED afterwards); at most 100.
HRESULT AVIFileCreateStream(PAVIFILE pfile, PAVISTREAM* ppavi, const AVISTREAMINFO* info);

// ---- Streams -------------------------------------------------------------------------
ULONG AVIStreamAddRef(PAVISTREAM pavi);
ULONG AVIStreamRelease(PAVISTREAM pavi);
HRESULT AVIStreamInfo(PAVISTREAM pavi, AVISTREAMINFO* info, LONG size);
LONG AVIStreamStart(PAVISTREAM pavi);   // first sample, -1 for a bad handle
LONG AVIStreamLength(PAVISTREAM pavi);  // samples, -1 for a bad handle
// The length the stream's header claims: for sound cut short, more than AVIStreamLength;
// reads past what the file holds deliver nothing.
LONG AVIStreamDeclaredLength(PAVISTREAM pavi);
// The stream format: BITMAPINFOHEADER plus colour table (or bit masks) for video,
// WAVEFORMATEX and its extra bytes for audio. With `format` null, *size receives the
// size. Otherwise up to *size bytes are copied and *size receives the format's size;
// AVIERR_BUFFERTOOSMALL when the buffer was shorter than the format.
HRESULT AVIStreamReadFormat(PAVISTREAM pavi, LONG pos, void* format, LONG* size);
// Reads `samples` samples from sample `start` (AVISTREAMREAD_CONVENIENT: as many as is
// convenient). Whole samples only: as many as fit in `bufferBytes`; AVIERR_BUFFERTOOSMALL
// when not even one fits. With `buffer` null nothing is read and *bytes receives the size
// the request needs. Past the end of the stream fewer samples (or none) come back, with
// AVIERR_OK. Video samples are the stored (compressed) frames, one per sample.
HRESULT AVIStreamRead(PAVISTREAM pavi, LONG start, LONG samples, void* buffer, LONG bufferBytes,
                      LONG* bytes, LONG* samplesRead);
// True when `pos` is a key frame (always for audio).
bool AVIStreamIsKeyFrame(PAVISTREAM pavi, LONG pos);

// Writing streams. SetFormat is allowed before the first write (later only with a
// format of the same size). Write stores `samples` samples given as `bytes` bytes at
// sample `start`: the next sample of the stream, or, for video, a later one (the frames
// in between are stored empty and play as the frame before). Video and other streams
// of varying sample size take one sample per call; fixed-size streams (audio) take a
// whole number of samples. `flags`: AVIIF_KEYFRAME.
HRESULT AVIStreamSetFormat(PAVISTREAM pavi, LONG pos, const void* format, LONG size);
HRESULT AVIStreamWrite(PAVISTREAM pavi, LONG start, LONG samples, const void* buffer, LONG bytes,
                       DWORD flags, LONG* samplesWritten, LONG* bytesWritten);

// A stream that compresses what is written to it into the writable video stream
// `source` with the compressor and options of `options` (fccHandler, dwQuality,
// dwKeyFrameEvery with AVICOMPRESSF_KEYFRAMES, dwBytesPerSecond with
// AVICOMPRESSF_DATARATE). Its SetFormat takes the uncompressed frame format (a packed
// BITMAPINFOHEADER with its colour table) and gives `source` the compressed format; its
// Write takes uncompressed frames. The compressor decides which frames are key frames
// (every dwKeyFrameEvery-th, or only the first when the flag is off); the caller's
// AVIIF_KEYFRAME is not needed. Handler 0 or 'DIB ' stores full frames. Errors:
// AVIERR_NOCOMPRESSOR (unknown handler), AVIERR_UNSUPPORTED (a source that is not a
// writable video stream); SetFormat gives AVIERR_BADFORMAT for a depth the compressor
// does not take; Write gives AVIERR_CANTCOMPRESS.
HRESULT AVIMakeCompressedStream(PAVISTREAM* ppsCompressed, PAVISTREAM source,
                                const AVICOMPRESSOPTIONS* options, const void* clsid = nullptr);

// ---- Frame getter --------------------------------------------------------------------
// Opens a getter for a readable video stream. `wanted` null (or biBitCount 0) delivers
// the stream's natural uncompressed form: 1/4/8-bit frames with their colour table,
// 16-bit as 5-5-5, 24 and 32 as they are, compressed streams as their codec decodes
// (MS Video 1: 8 or 16, RLE: 8 or 4, Motion JPEG: 24, bit fields: 16 5-5-5, 24 or 32).
// `wanted` with biBitCount 24 or 32 converts every frame to that depth. Null when the
// stream is not video, its format is not understood or `wanted` asks for anything else.
PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM pavi, const BITMAPINFOHEADER* wanted);
// Frame `pos` as a packed bottom-up BI_RGB DIB (header, colour table, rows padded to 4
// bytes). The getter owns the block; it stays valid until the next call on the getter
// or its close. Delta frames are decoded from the key frame before them (sequential
// fetches decode one frame each). Null when `pos` is outside the stream or the frame
// cannot be decoded.
const DibBlock* AVIStreamGetFrame(PGETFRAME pgf, LONG pos);
HRESULT AVIStreamGetFrameClose(PGETFRAME pgf);

// ---- Saving streams into one file ---------------------------------------------------
// Progress 0..100; returning true aborts the save with AVIERR_USERABORT.
using AVISAVECALLBACK = std::function<bool(int percent)>;

// Saves `streams` (from any open files) into the file `path` with one options record
// per stream (null = copy as it is). Video: fccHandler 0 (or the stream's own
// compressor) copies the stored frames; another handler decodes every frame and
// compresses it anew with the record's quality, key-frame and data-rate settings. Audio
// is copied; a record's format, when given, must equal the stream's format
// (AVIERR_UNSUPPORTED otherwise: there is no sound conversion). Samples are interleaved
// in time, one chunk of each stream per frame period of the first video stream. A path
// ending in ".wav" writes the first audio stream as a WAV file. The target is written
// under a temporary name and renamed into place only on success.
HRESULT AVISaveV(const std::string& path, const void* handler, const AVISAVECALLBACK& callback,
                 int count, const PAVISTREAM* streams, const AVICOMPRESSOPTIONS* const* options);

// ---- Scoped handles for new code ------------------------------------------------------
class ScopedAviFile {
 public:
  ScopedAviFile() = default;
  explicit ScopedAviFile(PAVIFILE file) : file_(file) {}
  ~ScopedAviFile() { reset(); }
  ScopedAviFile(const ScopedAviFile&) = delete;
  ScopedAviFile& operator=(const ScopedAviFile&) = delete;
  PAVIFILE get() const { return file_; }
  PAVIFILE* out() {
    reset();
    return &file_;
  }
  void reset() {
    if (file_) AVIFileRelease(file_);
    file_ = nullptr;
  }
  explicit operator bool() const { return file_ != nullptr; }

 private:
  PAVIFILE file_ = nullptr;
};

class ScopedAviStream {
 public:
  ScopedAviStream() = default;
  explicit ScopedAviStream(PAVISTREAM stream) : stream_(stream) {}
  ~ScopedAviStream() { reset(); }
  ScopedAviStream(const ScopedAviStream&) = delete;
  ScopedAviStream& operator=(const ScopedAviStream&) = delete;
  PAVISTREAM get() const { return stream_; }
  PAVISTREAM* out() {
    reset();
    return &stream_;
  }
  void reset() {
    if (stream_) AVIStreamRelease(stream_);
    stream_ = nullptr;
  }
  explicit operator bool() const { return stream_ != nullptr; }

 private:
  PAVISTREAM stream_ = nullptr;
};

}  // namespace quendrolix
