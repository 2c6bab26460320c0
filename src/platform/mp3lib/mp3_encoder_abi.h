#pragma once

// The binary interface between the program and the MP3 encoder library
// ("Dll/libbladeenc.so"). Both sides include this file; the library is loaded at run time
// and its five entry points are looked up by name, so everything here is plain C layout.

#include <cstddef>
#include <cstdint>

namespace quendrolix {

// Result of every entry point: 0 for success, otherwise the library's own code.
using BeResult = uint32_t;
// An open encoding stream, as handed out by beInitStream.
using BeStreamHandle = uint64_t;

constexpr BeResult kBeOk = 0;
// The library's own codes. They start above the job's result codes (1 to 4) and the
// usual error numbers so that "Conversion stopped (%d)" tells them apart.
constexpr BeResult kBeErrInvalidFormat = 0x101;      // configuration kind is not MP3
constexpr BeResult kBeErrInvalidParameters = 0x102;  // rate, mode or bit rate refused
constexpr BeResult kBeErrNoMoreHandles = 0x103;      // the encoder could not be set up
constexpr BeResult kBeErrInvalidHandle = 0x104;      // not a stream of this library
constexpr BeResult kBeErrBufferTooSmall = 0x105;     // output did not fit the announced size
constexpr BeResult kBeErrEncodingFailed = 0x106;     // the encoder itself failed

// Configuration kinds.
constexpr uint32_t kBeConfigMp3 = 0;

// Channel modes of the configuration record (as in the MPEG audio frame header).
constexpr uint8_t kBeModeStereo = 0;
constexpr uint8_t kBeModeJointStereo = 1;
constexpr uint8_t kBeModeDualChannel = 2;
constexpr uint8_t kBeModeMono = 3;

// The configuration record of beInitStream: byte-packed, little-endian, 27 bytes.
#pragma pack(push, 1)
struct BeConfig {
  uint32_t configKind;   // kBeConfigMp3
  uint32_t sampleRate;   // Hz
  uint8_t mode;          // kBeMode*
  uint16_t bitRate;      // kbit/s
  uint32_t privateFlag;  // the frame header's private bit
  uint32_t crcFlag;      // protect frames with a CRC
  uint32_t copyrightFlag;
  uint32_t originalFlag;
};
#pragma pack(pop)
static_assert(sizeof(BeConfig) == 27);
static_assert(offsetof(BeConfig, sampleRate) == 4);
static_assert(offsetof(BeConfig, mode) == 8);
static_assert(offsetof(BeConfig, bitRate) == 9);
static_assert(offsetof(BeConfig, privateFlag) == 11);
static_assert(offsetof(BeConfig, crcFlag) == 15);
static_assert(offsetof(BeConfig, copyrightFlag) == 19);
static_assert(offsetof(BeConfig, originalFlag) == 23);

// What beVersion reports.
struct BeVersionInfo {
  uint8_t libraryMajor;
  uint8_t libraryMinor;
  uint8_t engineMajor;
  uint8_t engineMinor;
  char engineName[60];  // NUL-terminated
};

extern "C" {
using BeVersionFn = void (*)(BeVersionInfo* info);
// Opens a stream. `samplesPerChunk`: the number of 16-bit samples (all channels counted)
// the caller hands over per beEncodeChunk; `outputBufferBytes`: the output buffer size
// each of beEncodeChunk and beDeinitStream needs.
using BeInitStreamFn = BeResult (*)(const BeConfig* config, uint32_t* samplesPerChunk,
                                    uint32_t* outputBufferBytes, BeStreamHandle* stream);
// Encodes `sampleCount` 16-bit samples (interleaved left, right in stereo; at most
// samplesPerChunk) and puts the bytes made into `output`.
using BeEncodeChunkFn = BeResult (*)(BeStreamHandle stream, uint32_t sampleCount,
                                     const int16_t* samples, uint8_t* output,
                                     uint32_t* bytesProduced);
// Flushes what the encoder still holds into `output`.
using BeDeinitStreamFn = BeResult (*)(BeStreamHandle stream, uint8_t* output,
                                      uint32_t* bytesProduced);
// Releases the stream; a handle the library does not know is ignored.
using BeCloseStreamFn = BeResult (*)(BeStreamHandle stream);
}

}  // namespace quendrolix
