// A stand-in for the MP3 encoder library that tests load in its place. It records every
// call, echoes the samples it is given as its "MP3" bytes (so a test sees exactly what the
// program fed it) and ends each stream with "END!". Built once complete and once without
// beDeinitStream.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/mp3lib/mp3_encoder_abi.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

using namespace quendrolix;

namespace {
std::string trace;
uint32_t samplesPerChunk = 0;  // 0: 1152 per channel
uint32_t failEncodeCall = 0;   // 1-based; 0: never
BeResult failEncodeCode = 0;
uint32_t encodeCalls = 0;
BeStreamHandle nextHandle = 100;

void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Trace(const char* format, ...) {
  char text[128];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (!trace.empty()) trace += ' ';
  trace += text;
}

uint32_t OutputBytes(uint32_t spc) {
  return spc * 2 + 16;
}
uint32_t current = 0;  // the chunk size of the stream in use
}  // namespace

// Test controls, reached through dlsym.
FAKE_EXPORT const char* fakeEncoderTrace() {
  return trace.c_str();
}
FAKE_EXPORT void fakeEncoderReset(uint32_t chunkSamples, uint32_t failAtEncode, uint32_t failCode) {
  trace.clear();
  samplesPerChunk = chunkSamples;
  failEncodeCall = failAtEncode;
  failEncodeCode = failCode;
  encodeCalls = 0;
}

FAKE_EXPORT void beVersion(BeVersionInfo* info) {
  std::memset(info, 0, sizeof *info);
}

FAKE_EXPORT BeResult beInitStream(const BeConfig* config, uint32_t* spc, uint32_t* outBytes,
                                  BeStreamHandle* stream) {
  BeConfig c;
  std::memcpy(&c, config, sizeof c);
  Trace("init(kind=%u,rate=%u,mode=%u,kbps=%u,flags=%u%u%u%u)", c.configKind, c.sampleRate, c.mode,
        c.bitRate, c.privateFlag, c.crcFlag, c.copyrightFlag, c.originalFlag);
  current = samplesPerChunk ? samplesPerChunk : (c.mode == kBeModeMono ? 1152 : 2304);
  *spc = current;
  *outBytes = OutputBytes(current);
  *stream = nextHandle++;
  return kBeOk;
}

FAKE_EXPORT BeResult beEncodeChunk(BeStreamHandle stream, uint32_t count, const int16_t* samples,
                                   uint8_t* output, uint32_t* produced) {
  Trace("encode(%u)", count);
  (void)stream;
  if (++encodeCalls == failEncodeCall) return failEncodeCode;
  if (count > current) return kBeErrInvalidParameters;
  std::memcpy(output, samples, count * 2u);
  *produced = count * 2u;
  return kBeOk;
}

#ifndef FAKE_OMIT_DEINIT
FAKE_EXPORT BeResult beDeinitStream(BeStreamHandle, uint8_t* output, uint32_t* produced) {
  Trace("deinit");
  std::memcpy(output, "END!", 4);
  *produced = 4;
  return kBeOk;
}
#endif

FAKE_EXPORT BeResult beCloseStream(BeStreamHandle) {
  Trace("close");
  return kBeOk;
}
