#pragma once

// The image processor: one editing operation applied to many pictures in one go, each
// result written as a copy into a chosen folder. The originals are never changed.

#include <functional>
#include <string>
#include <vector>

#include "image/edit/edit_operation.h"

namespace quendrolix::edit {

struct ProcessorRequest {
  std::vector<std::string> pictures;  // full paths, in list order; repeats are done once
  EditOperation operation;
  std::string folder;  // where the copies go
  // An existing file of a copy's name is replaced (true) or the copy takes a free name
  // beside it (false). An original is never replaced either way.
  bool replaceExisting = false;
};

struct ProcessedPicture {
  std::string source;
  std::string copy;   // the file written; empty when it failed
  std::string error;  // why it failed, worded for a message
};

// The copy each picture would get: the picture's file name (".png" for a format the
// image layer cannot write) in the folder. Pairs come in request order, repeats dropped.
// `exists` tells whether a file of that name, other than one of the pictures, is there.
struct PlannedCopy {
  std::string source;
  std::string target;
  bool exists = false;
};
std::vector<PlannedCopy> PlanCopies(const ProcessorRequest& request);

// Called before each picture (index from 0) and once at the end with index == total.
using ProcessorProgress =
    std::function<void(size_t index, size_t total, const std::string& picture)>;

// Runs the request. A picture that cannot be read, changed or written is reported in its
// entry and the others go on. The folder is created when it does not exist.
std::vector<ProcessedPicture> ProcessPictures(const ProcessorRequest& request,
                                              const ProcessorProgress& progress = {});

}  // namespace quendrolix::edit
