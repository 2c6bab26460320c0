#include "tools/extract_frames.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "image/cbmp.h"
#include "image/dib_functions.h"
#include "image/image_io.h"
#include "image/tiff_glue.h"
#include "platform/host/atomic_file.h"
#include "platform/host/conversion_log.h"
#include "platform/host/program_folder.h"
#include "platform/host/user_prompts.h"
#include "platform/vfw/vfw.h"

namespace quendrolix {
namespace {

// More directories than this are not looked for in a TIFF.

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  return AtomicFile::WriteWhole(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string NumberedImage(const char* prefix, int digits, int number) {
  return StringPrintf("%s%0*d.bmp", prefix, std::max(digits, 4), number);
}

}  // namespace

std::string WithTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

void PutImagesIntoProject(CFramewrightDoc& doc, MainFrameState& frame,
                          const std::vector<std::string>& names, ImageDisposition disposition) {
  if (disposition == ImageDisposition::kJustWrite) return;
  if (disposition == ImageDisposition::kNewProject) doc.NewProject(frame);
  doc.ImportImages(names);
  doc.Refresh();
}

std::vector<uint8_t> AviFrameBitmapFile(const DibBlock& frame) {
  if (frame.size() < sizeof(BITMAPINFOHEADER)) return {};
  BITMAPINFOHEADER header = frame.header();
  if (header.biSize != sizeof(BITMAPINFOHEADER)) return {};
  const uint64_t colours = header.biClrUsed != 0    ? header.biClrUsed
                           : header.biBitCount <= 8 ? uint64_t{1} << header.biBitCount
                                                    : 0;
  const uint64_t tableBytes = colours * 4;
  uint64_t imageBytes;
  if (header.biCompression == BI_RLE8 || header.biCompression == BI_RLE4) {
    imageBytes = header.biSizeImage;
  } else {
    const int64_t height = header.biHeight < 0 ? -int64_t{header.biHeight} : header.biHeight;
    imageBytes = uint64_t{DibRowStride(header.biWidth, header.biBitCount)} * height;
    header.biSizeImage = static_cast<uint32_t>(imageBytes);
  }
  const uint64_t fileBytes = 14 + 40 + tableBytes + imageBytes;
  if (40 + tableBytes + imageBytes > frame.size() || fileBytes > UINT32_MAX) return {};

  std::vector<uint8_t> file(static_cast<size_t>(fileBytes));
  file[0] = 'B';
  file[1] = 'M';
  PutLe32(&file[2], static_cast<uint32_t>(fileBytes));
  PutLe32(&file[10], static_cast<uint32_t>(14 + 40 + tableBytes));
  std::memcpy(&file[14], &header, sizeof header);
  std::memcpy(&file[54], frame.data() + 40, static_cast<size_t>(tableBytes + imageBytes));
  return file;
}

std::string AviFrameName(bool oneStreamInAll, int videoStreamIndex, int number,
                         const AviFrameNaming& naming) {
  if (oneStreamInAll || naming.alwaysPlain) return NumberedImage("Img", naming.digits, number);
  return NumberedImage(StringPrintf("Img%02d_", videoStreamIndex + 2).c_str(), naming.digits,
                       number);
}

int ExtractAviFrames(const std::string& aviPath, const std::optional<std::string>& folder,
                     int start, std::vector<std::string>* names, const AviFrameNaming& naming,
                     const FrameProgress& progress) {
  ScopedAviFile file;
  if (AVIFileOpen(file.out(), aviPath, OF_READ) != AVIERR_OK) return 0;
  AVIFILEINFO info{};
  AVIFileInfo(file.get(), &info, sizeof info);
  const bool oneStream = info.dwStreams == 1;
  const std::string dir = WithTrailingSlash(folder ? *folder : ProgramFolder::Join("Samples"));

  int number = start;
  for (LONG index = 0;; ++index) {
    ScopedAviStream stream;
    if (AVIFileGetStream(file.get(), stream.out(), streamtypeVIDEO, index) != AVIERR_OK) break;
    const LONG first = AVIStreamStart(stream.get());
    const LONG length = AVIStreamLength(stream.get());
    PGETFRAME getter = AVIStreamGetFrameOpen(stream.get(), nullptr);
    if (!getter) continue;
    for (LONG pos = first; length > 0 && pos < first + length; ++pos) {
      const std::string name = dir + AviFrameName(oneStream, index, number, naming);
      const DibBlock* dib = AVIStreamGetFrame(getter, pos);
      // A frame that cannot be had or written leaves a gap in the files, not in the
      // numbering; only files that exist are named to the caller.
      if (dib) {
        std::vector<uint8_t> bytes = AviFrameBitmapFile(*dib);
        if (!bytes.empty() && WriteWholeFile(name, bytes) && names) names->push_back(name);
      }
      if (progress) progress(number, name);
      ++number;
    }
    AVIStreamGetFrameClose(getter);
    if (static_cast<DWORD>(index + 1) >= info.dwStreams) break;
  }
  return number - start;
}

int64_t CountAviFrames(const std::string& aviPath) {
  ScopedAviFile file;
  if (AVIFileOpen(file.out(), aviPath, OF_READ) != AVIERR_OK) return 0;
  int64_t total = 0;
  for (LONG index = 0;; ++index) {
    ScopedAviStream stream;
    if (AVIFileGetStream(file.get(), stream.out(), streamtypeVIDEO, index) != AVIERR_OK) break;
    total += std::max<LONG>(AVIStreamLength(stream.get()), 0);
  }
  return total;
}

int ExtractTiffPages(const std::string& tiffPath, const std::string& folder, int start,
                     std::vector<std::string>* names, const FrameComposer& composer, int digits,
                     const FrameProgress& progress) {
  // Every page the file has, up to a page budget that is said when reached.
  const TiffPageList list = ListTiffPages(tiffPath);
  const std::vector<uint32_t>& offsets = list.offsets;
  const int pages = static_cast<int>(offsets.size());
  if (pages < 1) return 0;
  if (list.budgetReached)
    ReportLine("Warning: %s has more than %lld pages; only the first %lld are taken",
               tiffPath.c_str(), static_cast<long long>(kTiffPageBudget),
               static_cast<long long>(kTiffPageBudget));
  const std::string dir = WithTrailingSlash(folder);
  for (int i = 0; i < pages && i < static_cast<int>(offsets.size()); ++i) {
    const std::string name = dir + NumberedImage("Img", digits, start + i);
    int status = 0;
    HDIB dib = ReadTiff(tiffPath, offsets[i], &status);
    CBmp picture;
    bool saved = false;
    if (dib) {
      if (HBITMAP bitmap = BitmapFromDib(*dib, nullptr)) {
        picture.Attach(bitmap);
        composer.Stamp(picture);
        saved = picture.Save(name);
      }
    }
    if (!saved) {
      Prompts().ShowMessage("Could not save " + name);
      return 0;
    }
    if (names) names->push_back(name);
    if (progress) progress(start + i, name);
  }
  return pages;
}

int ExtractImages(const std::string& sourcePath, const std::string& folder, int start,
                  ImageDisposition disposition, CFramewrightDoc& doc, MainFrameState& frame,
                  const FrameComposer& composer, const FrameProgress& progress) {
  const std::string ext = UpperExtension(sourcePath);
  std::vector<std::string> names;
  int count;
  if (ext == "AVI") {
    count = ExtractAviFrames(sourcePath, folder, start, &names, {}, progress);
  } else if (ext == "TIF" || ext == "TIFF" || ext == "CRI") {
    count = ExtractTiffPages(sourcePath, folder, start, &names, composer, 4, progress);
  } else {
    Prompts().ShowMessage("Unsupported format");
    return 0;
  }
  // A run that wrote nothing must not throw the user's project away.
  if (!names.empty()) PutImagesIntoProject(doc, frame, names, disposition);
  return count;
}

}  // namespace quendrolix
