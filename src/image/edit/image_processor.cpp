#include "image/edit/image_processor.h"

#include <filesystem>
#include <set>

#include "image/cbmp.h"
#include "image/edit/edited_copy.h"

namespace quendrolix::edit {
namespace fs = std::filesystem;

std::vector<PlannedCopy> PlanCopies(const ProcessorRequest& request) {
  std::vector<PlannedCopy> plan;
  std::set<std::string> seen;
  for (const std::string& source : request.pictures) {
    if (!seen.insert(source).second) continue;
    fs::path name = fs::path(WritablePictureName(source)).filename();
    plan.push_back({source, (fs::path(request.folder) / name).string(), false});
  }
  // Only files that are not the pictures themselves would be replaced: an original takes
  // an edited name instead.
  for (PlannedCopy& copy : plan) {
    std::error_code ec;
    copy.exists = fs::exists(copy.target, ec);
    for (const PlannedCopy& other : plan)
      if (copy.exists && SameFile(other.source, copy.target)) copy.exists = false;
  }
  return plan;
}

std::vector<ProcessedPicture> ProcessPictures(const ProcessorRequest& request,
                                              const ProcessorProgress& progress) {
  std::vector<PlannedCopy> plan = PlanCopies(request);
  std::vector<ProcessedPicture> results;
  std::error_code ec;
  fs::create_directories(request.folder, ec);
  // Names written in this run, so that two pictures of one name never share a copy.
  std::set<std::string> written;
  for (size_t i = 0; i < plan.size(); ++i) {
    const PlannedCopy& planned = plan[i];
    if (progress) progress(i, plan.size(), planned.source);
    ProcessedPicture result{planned.source, {}, {}};
    CBmp picture;
    if (!picture.Load(planned.source) || !picture.bitmap()) {
      result.error = picture.loadFailure().empty() ? "it is not a picture this program reads"
                                                   : picture.loadFailure();
      results.push_back(std::move(result));
      continue;
    }
    HBITMAP changed = request.operation.Apply(*picture.bitmap());
    if (!changed) {
      result.error = request.operation.Describe() + " does not apply to this picture";
      results.push_back(std::move(result));
      continue;
    }
    std::string target = planned.target;
    bool isAnOriginal = false;
    for (const PlannedCopy& other : plan)
      if (SameFile(other.source, target)) isAnOriginal = true;
    if (isAnOriginal) {
      target = EditedCopyPath(target);
    } else if (written.count(target) || (!request.replaceExisting && fs::exists(target, ec))) {
      target = FreePathLike(target);
    }
    std::string error;
    if (SavePicture(changed, target, &error)) {
      written.insert(target);
      result.copy = target;
    } else {
      result.error = error;
    }
    results.push_back(std::move(result));
  }
  if (progress) progress(plan.size(), plan.size(), {});
  return results;
}

}  // namespace quendrolix::edit
