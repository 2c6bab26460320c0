// quendrolix-cli convert IN OUT: reads a picture and writes it in the format of OUT's
// extension, through the same loader and writer the program uses.
#include <cstdio>

#include "cli_command.h"
#include "image/cbmp.h"
#include "image/image_io.h"
#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"

namespace quendrolix::cli {
namespace {

int RunConvert(const std::vector<std::string>& args) {
  if (args.size() != 2) return UsageError("convert", "needs an input and an output file");
  const std::string& in = args[0];
  const std::string& out = args[1];
  CBmp picture;
  if (!picture.Load(in)) {
    Prompts().ShowMessage(StringPrintf("Could not load the picture %s: %s", in.c_str(),
                                       picture.loadFailure().c_str()));
    return kExitFailure;
  }
  if (!picture.Save(out)) {
    Prompts().ShowMessage(StringPrintf("Could not save the picture %s", out.c_str()));
    return kExitFailure;
  }
  return kExitOk;
}

const CliRegistration kConvert({
    "convert",
    "convert a picture to another format (by the output's extension)",
    "Usage: quendrolix-cli convert IN OUT\n"
    "\n"
    "Loads IN (bmp, dib, gif, jpg, jpeg, pcx, png, tga, tif, tiff, cri) and saves it as OUT,\n"
    "in the format its extension names (bmp, jpg, jpeg, pcx, png, tif, tiff).\n"
    "A multi-page TIFF shows its second page, as in the program.",
    RunConvert,
});

}  // namespace
}  // namespace quendrolix::cli
