#include "avi/merge_streams.h"

#include <vector>

#include "platform/host/user_prompts.h"
#include "platform/vfw/vfw.h"

namespace quendrolix {

bool MergeStreams(const std::string& videoPath, const std::string& soundPath,
                  const std::string& outputPath) {
  return MergeStreamsOutcome(videoPath, soundPath, outputPath) == MergeOutcome::kMerged;
}

MergeOutcome MergeStreamsOutcome(const std::string& videoPath, const std::string& soundPath,
                                 const std::string& outputPath) {
  // The stream table; every stream is released on the way out.
  struct StreamTable {
    std::vector<PAVISTREAM> handles;
    ~StreamTable() {
      for (PAVISTREAM s : handles) AVIStreamRelease(s);
    }
  } table;
  std::vector<PAVISTREAM>& streams = table.handles;
  auto takeStreams = [&streams](const std::string& path) {
    ScopedAviFile file;
    if (AVIFileOpen(file.out(), path, OF_READ) != AVIERR_OK) return false;
    for (LONG i = 0; static_cast<int>(streams.size()) < kMaxMergeStreams; ++i) {
      PAVISTREAM stream = nullptr;
      if (AVIFileGetStream(file.get(), &stream, 0, i) != AVIERR_OK) break;
      streams.push_back(stream);
    }
    return true;  // the streams keep the file open
  };
  if (!takeStreams(videoPath) || !takeStreams(soundPath)) return MergeOutcome::kInputNotOpened;

  std::vector<AVICOMPRESSOPTIONS> options(streams.size());
  for (size_t i = 0; i < streams.size(); ++i) {
    AVISTREAMINFO info{};
    AVIStreamInfo(streams[i], &info, sizeof(info));
    AVICOMPRESSOPTIONS& o = options[i];
    o.fccType = info.fccType;
    if (info.fccType == streamtypeVIDEO) {
      o.fccHandler = 0;  // copied as stored, never recompressed
      o.dwKeyFrameEvery = static_cast<DWORD>(-1);
      o.dwQuality = static_cast<DWORD>(-1);
      o.dwBytesPerSecond = 0;
      o.dwFlags = AVICOMPRESSF_VALID | AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_DATARATE;
      o.dwInterleaveEvery = 1;
    } else if (info.fccType == streamtypeAUDIO) {
      o.dwFlags = AVICOMPRESSF_VALID;
      o.dwInterleaveEvery = 1;
      LONG size = 0;
      const LONG start = AVIStreamStart(streams[i]);
      if (AVIStreamReadFormat(streams[i], start, nullptr, &size) == AVIERR_OK && size > 0) {
        o.format.resize(static_cast<size_t>(size));
        if (AVIStreamReadFormat(streams[i], start, o.format.data(), &size) != AVIERR_OK)
          o.format.clear();
      }
    }
  }

  std::vector<const AVICOMPRESSOPTIONS*> records;
  for (const AVICOMPRESSOPTIONS& o : options) records.push_back(&o);
  HRESULT result = AVISaveV(outputPath, nullptr, AVISAVECALLBACK(),
                            static_cast<int>(streams.size()), streams.data(), records.data());
  if (result != AVIERR_OK) {
    Prompts().ShowMessage("File open error: merging streams failed");
    return MergeOutcome::kSaveFailed;
  }
  return MergeOutcome::kMerged;
}

}  // namespace quendrolix
