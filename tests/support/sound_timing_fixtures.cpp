#include "support/sound_timing_fixtures.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/test_support.h"

namespace quendrolix::testing {
namespace fs = std::filesystem;

namespace {

double FieldAfter(const std::string& line, const std::string& key, bool& found) {
  const size_t at = line.find(key);
  found = at != std::string::npos;
  return found ? std::atof(line.c_str() + at + key.size()) : 0;
}

std::string Probe(const std::string& path, const std::string& stream, const std::string& entry) {
  CommandResult r =
      RunCommand("ffprobe -v error -select_streams " + stream + " -show_entries stream=" + entry +
                 " -of csv=p=0 " + ShellQuote(path));
  std::string text = r.output;
  while (!text.empty() && (text.back() == '\n' || text.back() == ',')) text.pop_back();
  return text;
}

double Fraction(const std::string& text) {
  const size_t slash = text.find('/');
  if (slash == std::string::npos) return std::atof(text.c_str());
  const double den = std::atof(text.c_str() + slash + 1);
  return den > 0 ? std::atof(text.c_str()) / den : 0;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// JUNK chunks inside the 'movi' list: what grows with the movie. The header's fixed
// reservations (room for larger stream headers, alignment) are not padding over time.
void CountJunk(const std::vector<uint8_t>& b, size_t from, size_t to, bool inMovie, int64_t& junk) {
  size_t at = from;
  while (at + 8 <= to) {
    const std::string id(reinterpret_cast<const char*>(&b[at]), 4);
    const size_t size = Le32(b, at + 4);
    if (id == "JUNK" && inMovie) junk += static_cast<int64_t>(size) + 8;
    if ((id == "LIST" || id == "RIFF") && at + 12 <= to) {
      const std::string form(reinterpret_cast<const char*>(&b[at + 8]), 4);
      CountJunk(b, at + 12, std::min(to, at + 8 + size), inMovie || form == "movi", junk);
    }
    at += 8 + size + (size & 1);
  }
}

}  // namespace

double DecodedSoundSeconds(const std::string& path) {
  const CommandResult r = RunCommand("ffmpeg -v error -i " + ShellQuote(path) +
                                     " -map 0:a:0 -ac 1 -ar 48000 -f s16le - | wc -c");
  return r.status == 0 ? std::atof(r.output.c_str()) / 2 / 48000 : 0;
}

DecodedMovie DecodeMovie(const std::string& path, int pcmRate, bool keepPcm) {
  DecodedMovie m;
  const std::string q = ShellQuote(path);
  // Pictures: their stored times and brightness.
  CommandResult v = RunCommand("ffmpeg -hide_banner -nostats -copyts -i " + q +
                               " -map 0:v:0 -vf scale=8:8,format=gray,showinfo"
                               " -fps_mode passthrough -f null - 2>&1");
  std::istringstream lines(v.output);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("Parsed_showinfo") == std::string::npos) continue;
    bool hasTime = false, hasMean = false;
    const double t = FieldAfter(line, "pts_time:", hasTime);
    const double mean = FieldAfter(line, "mean:[", hasMean);
    if (!hasTime || !hasMean) continue;
    m.frameTimes.push_back(t);
    m.frameLuma.push_back(mean);
  }
  if (m.frameTimes.empty()) {
    m.why = "no pictures decoded";
    return m;
  }
  // The last picture's end: an MP4 stores its duration; the others show each frame for
  // one frame of the stream's rate.
  const std::string duration = Probe(path, "v:0", "duration");
  const double start = std::atof(Probe(path, "v:0", "start_time").c_str());
  if (fs::path(path).extension() == ".mp4" && std::atof(duration.c_str()) > 0) {
    m.videoEnd = start + std::atof(duration.c_str());
  } else {
    const double rate = Fraction(Probe(path, "v:0", "r_frame_rate"));
    m.videoEnd = m.frameTimes.back() + (rate > 0 ? 1 / rate : 0);
  }
  // Sound.
  if (!Probe(path, "a:0", "codec_type").empty()) {
    m.hasAudio = true;
    m.audioStart = std::atof(Probe(path, "a:0", "start_time").c_str());
    const fs::path raw =
        fs::temp_directory_path() / ("qsync-" + std::to_string(::getpid()) + "-" +
                                     std::to_string(reinterpret_cast<uintptr_t>(&m)) + ".raw");
    CommandResult a = RunCommand("ffmpeg -v error -y -i " + q + " -map 0:a:0 -ac 1 -ar " +
                                 std::to_string(pcmRate) + " -f s16le " + ShellQuote(raw.string()));
    std::error_code ec;
    const uintmax_t bytes = fs::file_size(raw, ec);
    if (a.status != 0 || ec) {
      m.why = "the sound did not decode: " + a.errors;
      fs::remove(raw, ec);
      return m;
    }
    m.audioSeconds = static_cast<double>(bytes / 2) / pcmRate;
    m.pcmRate = pcmRate;
    if (keepPcm) {
      std::ifstream in(raw, std::ios::binary);
      m.pcm.resize(bytes / 2);
      in.read(reinterpret_cast<char*>(m.pcm.data()), static_cast<std::streamsize>(bytes & ~1u));
    }
    fs::remove(raw, ec);
  }
  m.ok = true;
  return m;
}

PaddingCount MpgPadding(const std::string& path) {
  const std::vector<uint8_t> b = ReadBytes(path);
  PaddingCount count;
  count.total = static_cast<int64_t>(b.size());
  int64_t padding = 0;
  size_t at = 0;
  while (at + 4 <= b.size()) {
    if (b[at] != 0 || b[at + 1] != 0 || b[at + 2] != 1) return count;
    const uint8_t id = b[at + 3];
    if (id == 0xB9) break;  // end code
    if (id == 0xBA) {       // MPEG-1 pack header: 12 bytes
      at += 12;
      continue;
    }
    if (id < 0xBB || at + 6 > b.size()) return count;
    const size_t length = static_cast<size_t>(b[at + 4]) << 8 | b[at + 5];
    if (id == 0xBE) padding += static_cast<int64_t>(length) + 6;
    at += 6 + length;
  }
  count.padding = padding;
  return count;
}

PaddingCount AviPadding(const std::string& path) {
  const std::vector<uint8_t> b = ReadBytes(path);
  PaddingCount count;
  count.total = static_cast<int64_t>(b.size());
  if (b.size() < 12) return count;
  int64_t junk = 0;
  CountJunk(b, 0, b.size(), false, junk);
  count.padding = junk;
  return count;
}

}  // namespace quendrolix::testing
