#include "avi/avi_error_text.h"

#include "platform/host/conversion_log.h"
#include "platform/vfw/vfw.h"

namespace quendrolix {
namespace {

struct CodeToString {
  int32_t code;
  int stringId;
};

constexpr CodeToString kCodes[] = {
    {1, 61206},
    {2, 61207},
    {REGDB_E_CLASSNOTREG, 61212},
    {AVIERR_UNSUPPORTED, 61213},
    {AVIERR_BADFORMAT, 61208},
    {AVIERR_MEMORY, 61209},
    {AVIERR_INTERNAL, 61214},
    {AVIERR_BADFLAGS, 61215},
    {AVIERR_BADPARAM, 61216},
    {AVIERR_BADSIZE, 61217},
    {AVIERR_BADHANDLE, 61218},
    {AVIERR_FILEREAD, 61210},
    {AVIERR_FILEWRITE, 61219},
    {AVIERR_FILEOPEN, 61211},
    {AVIERR_COMPRESSOR, 61220},
    {AVIERR_NOCOMPRESSOR, 61221},
    {AVIERR_READONLY, 61222},
    {AVIERR_NODATA, 61223},
    {AVIERR_BUFFERTOOSMALL, 61224},
    {AVIERR_CANTCOMPRESS, 61225},
    {AVIERR_USERABORT, 61226},
};

struct StringEntry {
  int id;
  const char* text;
};

constexpr StringEntry kStrings[] = {
    {61206, "No bitmaps specified"},
    {61207, "Old Video for Windows version: you must install version 1.1 or better"},
    {61208, "The file couldn't be read, indicating a corrupt file or an unrecognized format"},
    {61209, "The file could not be opened because of insufficient memory"},
    {61210, "A disk error occurred while reading the file"},
    {61211, "A disk error occurred while opening the file"},
    {61212,
     "According to the registry, the type of file specified in AVIFileOpen does not have a "
     "handler to process it"},
    {61213, "Unsupported command"},
    {61214, "Internal AVI error"},
    {61215, "Bad flags passed"},
    {61216, "Bad parameter passed"},
    {61217, "Bad AVI size reported"},
    {61218, "Bad AVI handle"},
    {61219, "A disk error occured while writing the file"},
    {61220, "AVI compressor is corrupted"},
    {61221, "AVI compressor not found"},
    {61222, "AVI file is read-only"},
    {61223, "Data expected, but not received"},
    {61224, "AVI buffer is too small"},
    {61225, "Failed to compress the data"},
    {61226, "User abort"},
    {61227, "Generic AVI error"},
};

}  // namespace

int AviErrorText(int32_t code) {
  for (const auto& entry : kCodes)
    if (entry.code == code) return entry.stringId;
  return 61227;
}

std::string AviErrorString(int stringId) {
  for (const auto& entry : kStrings)
    if (entry.id == stringId) return entry.text;
  return {};
}

std::string CodecErrorMessage(int32_t code) {
  return StringPrintf("Codec error (%d): %s", code, AviErrorString(AviErrorText(code)).c_str());
}

}  // namespace quendrolix
