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
  // A file that is still open cannot be removed on Windows: it stays listed
  // for the clean-up after it is closed.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < o.out_fname.size(); ++i) {
    const std::string& path = o.out_fname[i];
    if (is_regular_file(path) && remove_file(path) != 0) {
      o.out_fname[kept] = path;
      if (i < o.out_fname_flags.size() && kept < o.out_fname_flags.size())
        o.out_fname_flags[kept] = o.out_fname_flags[i];
      ++kept;
    }
  }
  o.out_fname.resize(kept);
  o.out_fname_flags.resize(std::min(kept, o.out_fname_flags.size()));
}

}  // namespace qln
