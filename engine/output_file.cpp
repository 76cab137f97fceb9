#include "engine/output_file.hpp"

#include <algorithm>

#include "core/platform.hpp"

namespace qln {

namespace {

// A symbolic link is never taken for the file it points to, so the clean-up
// cannot remove a link the user made.
bool is_regular_file(const std::string& path) { return path_kind(path) == PathKind::kRegular; }

bool exists(const std::string& path) { return path_kind(path) != PathKind::kNone; }

}  // namespace

std::FILE* open_output_file(ConvOptions& o, const std::string& path) {
  // Only what was a regular file or nothing at all before the open counts as
  // written by this run: a device or pipe must survive a failed run.
  bool existed = exists(path);
  bool was_regular = existed && is_regular_file(path);
  std::FILE* f = open_named_file(path, "w");
  if (f == nullptr) return nullptr;
  if ((!existed || was_regular) && is_regular_file(path)) record_output_file(o, path);
  return f;
}

std::FILE* open_column_file(const std::string& path) { return open_named_file(path, "wb"); }

void record_output_file(ConvOptions& o, const std::string& path) {
  if (std::find(o.out_fname.begin(), o.out_fname.end(), path) != o.out_fname.end()) return;
  o.out_fname.push_back(path);
  o.out_fname_flags.push_back(0);
}

void remove_output_files(ConvOptions& o) {
  for (const std::string& path : o.out_fname) {
    if (is_regular_file(path)) remove_file(path);
  }
  o.out_fname.clear();
  o.out_fname_flags.clear();
}

}  // namespace qln
