// Saving streams of other files into one new file, interleaved in time.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>

#include "platform/vfw/avi_objects.h"
#include "platform/vfw/codec.h"

namespace quendrolix {
namespace {

// One source stream on its way into the target.
struct Lane {
  PAVISTREAM source = nullptr;
  AVISTREAMINFO info{};
  std::vector<uint8_t> format;
  ScopedAviStream target;      // the stream of the new file
  ScopedAviStream compressed;  // set when video is compressed anew
  PGETFRAME getter = nullptr;  // decodes the source for compression
  int64_t next = 0;            // next sample, counted from the stream's start
  int64_t length = 0;
  bool fixed = false;  // samples of one size (sound): written several to a chunk

  ~Lane() {
    if (getter) AVIStreamGetFrameClose(getter);
  }
  double SecondsAt(int64_t sample) const {
    if (info.dwRate == 0) return 0;
    return (double(info.dwStart) + double(sample)) * info.dwScale / info.dwRate;
  }
  bool done() const { return next >= length; }
};

HRESULT CopySamples(Lane& lane, int64_t until, std::vector<uint8_t>& buffer) {
  while (lane.next < until) {
    const LONG pos = static_cast<LONG>(lane.info.dwStart + lane.next);
    if (lane.getter) {
      const DibBlock* frame = AVIStreamGetFrame(lane.getter, pos);
      if (!frame) return AVIERR_FILEREAD;
      const HRESULT hr = AVIStreamWrite(lane.compressed.get(), pos, 1, DibPixels(*frame),
                                        static_cast<LONG>(frame->size() - DibPixelOffset(*frame)),
                                        0, nullptr, nullptr);
      if (hr != AVIERR_OK) return hr;
      ++lane.next;
      continue;
    }
    LONG bytes = 0, samples = 0;
    if (lane.fixed) {
      const LONG want = static_cast<LONG>(std::min<int64_t>(until - lane.next, 1 << 20));
      HRESULT hr = AVIStreamRead(lane.source, pos, want, nullptr, 0, &bytes, &samples);
      if (hr != AVIERR_OK) return hr;
      buffer.resize(static_cast<size_t>(bytes));
      hr = AVIStreamRead(lane.source, pos, want, buffer.data(), bytes, &bytes, &samples);
      if (hr != AVIERR_OK) return hr;
      if (samples <= 0) return AVIERR_FILEREAD;
      hr = AVIStreamWrite(lane.target.get(), pos, samples, buffer.data(), bytes, AVIIF_KEYFRAME,
                          nullptr, nullptr);
      if (hr != AVIERR_OK) return hr;
      lane.next += samples;
      continue;
    }
    HRESULT hr = lane.source->ReadSample(pos, buffer);
    if (hr != AVIERR_OK) return hr;
    const DWORD flags = AVIStreamIsKeyFrame(lane.source, pos) ? AVIIF_KEYFRAME : 0;
    hr = AVIStreamWrite(lane.target.get(), pos, 1, buffer.data(), static_cast<LONG>(buffer.size()),
                        flags, nullptr, nullptr);
    if (hr != AVIERR_OK) return hr;
    ++lane.next;
  }
  return AVIERR_OK;
}

HRESULT SaveWav(const std::string& path, const AVISAVECALLBACK& callback, int count,
                const PAVISTREAM* streams, const AVICOMPRESSOPTIONS* const* options) {
  for (int i = 0; i < count; ++i) {
    AVISTREAMINFO info{};
    if (!streams[i] || streams[i]->Info(info) != AVIERR_OK || info.fccType != streamtypeAUDIO)
      continue;
    std::vector<uint8_t> format;
    HRESULT hr = streams[i]->ReadFormat(format);
    if (hr != AVIERR_OK) return hr;
    if (options && options[i] && !options[i]->format.empty() && options[i]->format != format)
      return AVIERR_UNSUPPORTED;
    ScopedAviFile file;
    hr = AVIFileOpen(file.out(), path, OF_WRITE | OF_CREATE);
    if (hr != AVIERR_OK) return hr;
    ScopedAviStream out;
    hr = AVIFileCreateStream(file.get(), out.out(), &info);
    if (hr == AVIERR_OK)
      hr = AVIStreamSetFormat(out.get(), 0, format.data(), static_cast<LONG>(format.size()));
    const int64_t length = AVIStreamLength(streams[i]);
    const LONG start = AVIStreamStart(streams[i]);
    std::vector<uint8_t> buffer;
    for (int64_t done = 0; hr == AVIERR_OK && done < length;) {
      LONG bytes = 0, samples = 0;
      const LONG want = static_cast<LONG>(std::min<int64_t>(length - done, 65536));
      const LONG pos = static_cast<LONG>(start + done);
      hr = AVIStreamRead(streams[i], pos, want, nullptr, 0, &bytes, &samples);
      if (hr != AVIERR_OK) break;
      buffer.resize(static_cast<size_t>(bytes));
      hr = AVIStreamRead(streams[i], pos, want, buffer.data(), bytes, &bytes, &samples);
      if (hr == AVIERR_OK && samples <= 0) hr = AVIERR_FILEREAD;
      if (hr == AVIERR_OK)
        hr = AVIStreamWrite(out.get(), pos, samples, buffer.data(), bytes, 0, nullptr, nullptr);
      done += samples;
      if (hr == AVIERR_OK && callback && callback(static_cast<int>(100 * done / length)))
        hr = AVIERR_USERABORT;
    }
    if (hr != AVIERR_OK) file.get()->MarkFailed();
    return hr;
  }
  return AVIERR_NODATA;
}

}  // namespace

HRESULT AVISaveV(const std::string& path, const void* handler, const AVISAVECALLBACK& callback,
                 int count, const PAVISTREAM* streams, const AVICOMPRESSOPTIONS* const* options) {
  if (handler || count <= 0 || !streams) return AVIERR_BADPARAM;
  for (int i = 0; i < count; ++i)
    if (!streams[i]) return AVIERR_BADHANDLE;
  if (EndsWithWav(path)) return SaveWav(path, callback, count, streams, options);

  ScopedAviFile file;
  HRESULT hr = AVIFileOpen(file.out(), path, OF_WRITE | OF_CREATE);
  if (hr != AVIERR_OK) return hr;
  auto fail = [&](HRESULT code) {
    file.get()->MarkFailed();
    return code;
  };

  std::vector<std::unique_ptr<Lane>> lanes;
  for (int i = 0; i < count; ++i) {
    auto lane = std::make_unique<Lane>();
    lane->source = streams[i];
    hr = streams[i]->Info(lane->info);
    if (hr == AVIERR_OK) hr = streams[i]->ReadFormat(lane->format);
    if (hr != AVIERR_OK) return fail(hr);
    lane->length = AVIStreamLength(streams[i]);
    lane->fixed = lane->info.dwSampleSize > 0;
    const AVICOMPRESSOPTIONS* opt = options ? options[i] : nullptr;
    AVISTREAMINFO outInfo = lane->info;
    outInfo.dwLength = 0;
    const bool video = lane->info.fccType == streamtypeVIDEO;
    const bool recompress = video && opt && opt->fccHandler != 0 &&
                            FindCodec(opt->fccHandler) != FindCodec(lane->info.fccHandler);
    if (!video && opt && !opt->format.empty() && opt->format != lane->format)
      return fail(AVIERR_UNSUPPORTED);  // no sound conversion
    if (recompress) {
      if (!FindCodec(opt->fccHandler)) return fail(AVIERR_NOCOMPRESSOR);
      outInfo.fccHandler = FindCodec(opt->fccHandler)->handler;
    }
    hr = AVIFileCreateStream(file.get(), lane->target.out(), &outInfo);
    if (hr != AVIERR_OK) return fail(hr);
    if (recompress) {
      lane->getter = AVIStreamGetFrameOpen(streams[i], nullptr);
      if (!lane->getter) return fail(AVIERR_BADFORMAT);
      hr = AVIMakeCompressedStream(lane->compressed.out(), lane->target.get(), opt);
      if (hr != AVIERR_OK) return fail(hr);
      // The decoded frame's format is what the compressor receives.
      const DibBlock* first =
          lane->length > 0 ? AVIStreamGetFrame(lane->getter, AVIStreamStart(streams[i])) : nullptr;
      std::vector<uint8_t> input;
      if (first) {
        input.assign(first->data(), first->data() + DibPixelOffset(*first));
      } else {
        return fail(AVIERR_BADFORMAT);
      }
      hr = AVIStreamSetFormat(lane->compressed.get(), 0, input.data(),
                              static_cast<LONG>(input.size()));
    } else {
      hr = AVIStreamSetFormat(lane->target.get(), 0, lane->format.data(),
                              static_cast<LONG>(lane->format.size()));
    }
    if (hr != AVIERR_OK) return fail(hr);
    lanes.push_back(std::move(lane));
  }

  // One chunk of each stream per frame period of the first video stream (a second when
  // there is no video), streams in the order given.
  double period = 1.0;
  for (const auto& lane : lanes)
    if (lane->info.fccType == streamtypeVIDEO && lane->info.dwRate) {
      period = double(lane->info.dwScale) / lane->info.dwRate;
      break;
    }
  double end = 0;
  for (const auto& lane : lanes) end = std::max(end, lane->SecondsAt(lane->length));
  std::vector<uint8_t> buffer;
  int lastPercent = -1;
  for (int64_t step = 0;; ++step) {
    const double until = (double(step) + 1) * period;
    bool allDone = true;
    for (auto& lane : lanes) {
      if (lane->done()) continue;
      int64_t last = lane->length;
      if (lane->info.dwRate && lane->info.dwScale) {
        // Samples that start before `until`.
        const double s = std::ceil(until * lane->info.dwRate / lane->info.dwScale - 1e-9) -
                         double(lane->info.dwStart);
        last = std::clamp<int64_t>(static_cast<int64_t>(std::max(s, 0.0)), 0, lane->length);
      }
      hr = CopySamples(*lane, last, buffer);
      if (hr != AVIERR_OK) return fail(hr);
      allDone = allDone && lane->done();
    }
    if (allDone) {
      if (callback && lastPercent != 100 && callback(100)) return fail(AVIERR_USERABORT);
      break;
    }
    if (callback && end > 0) {
      const int percent = static_cast<int>(std::min(100.0, 100.0 * until / end));
      if (percent != lastPercent) {
        lastPercent = percent;
        if (callback(percent)) return fail(AVIERR_USERABORT);
      }
    }
  }
  return AVIERR_OK;
}

}  // namespace quendrolix
