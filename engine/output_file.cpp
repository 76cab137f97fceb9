#include "engine/output_file.hpp"

#include <algorithm>
#include <filesystem>
#include <random>

#include "core/platform.hpp"

namespace qln {

namespace {

namespace fs = std::filesystem;

// A symbolic link is never taken for the file it points to, so the clean-up
// cannot remove a link the user made.
bool is_regular_file(const std::string& path) { return path_kind(path) == PathKind::kRegular; }

// What this run wrote of a recorded file: 0 when it is gone (or was never
// there), -1 while it cannot be removed (still open on Windows).
int remove_recorded(const std::string& path, std::int32_t flag) {
  const std::string written = flag == kOutputPending ? temporary_name_of(path) : path;
  if (!is_regular_file(written)) return 0;
  return remove_file(written);
}

// Tells this process's temporary files from another's writing the same
// target at the same time.
const std::string& process_tag() {
  static const std::string tag = std::to_string(std::random_device{}() % 1000000000u);
  return tag;
}

}  // namespace

std::string temporary_name_of(const std::string& path) {
  const std::size_t cut = path.find_last_of("/\\");
  const std::size_t base = cut == std::string::npos ? 0 : cut + 1;
  return path.substr(0, base) + "." + path.substr(base) + "." + process_tag() + ".part";
}

bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  const fs::path pa = native_path(a), pb = native_path(b);
  if (fs::equivalent(pa, pb, ec) && !ec) return true;
  if (fs::exists(pa, ec) && fs::exists(pb, ec)) return false;
  const fs::path ca = fs::weakly_canonical(pa, ec);
  if (ec) return false;
  const fs::path cb = fs::weakly_canonical(pb, ec);
  return !ec && ca == cb;
}

bool is_dump_volume(const ConvOptions& o, const std::string& path) {
  return std::any_of(o.exp_fname.begin(), o.exp_fname.end(),
                     [&](const std::string& v) { return same_file(v, path); });
}

std::FILE* open_output_file(ConvOptions& o, const std::string& path, bool binary) {
  const char* mode = binary ? "wb" : "w";
  std::error_code ec;
  std::string target = path;
  if (fs::is_symlink(native_path(path), ec)) {
    // A link is kept: its file is the one replaced.
    const fs::path real = fs::canonical(native_path(path), ec);
    if (!ec) target = real.string();
  }
  const PathKind kind = path_kind(target);
  if (kind == PathKind::kDirectory) return nullptr;
  // A device or pipe is written as it is, and never removed.
  if (kind == PathKind::kOther) return open_named_file(path, mode);
  const std::string temp = temporary_name_of(target);
  if (std::FILE* f = open_named_file(temp, mode)) {
    if (kind == PathKind::kRegular) {
      const fs::file_status st = fs::status(native_path(target), ec);
      if (!ec) fs::permissions(native_path(temp), st.permissions(), ec);
    }
    const auto at = std::find(o.out_fname.begin(), o.out_fname.end(), target);
    if (at != o.out_fname.end()) {
      o.out_fname_flags[static_cast<std::size_t>(at - o.out_fname.begin())] = kOutputPending;
    } else {
      o.out_fname.push_back(target);
      o.out_fname_flags.push_back(kOutputPending);
    }
    return f;
  }
  // A folder the run may not create files in: the file itself, when it can
  // be written, is written directly (and removed on failure only when the
  // run created it).
  std::FILE* f = open_named_file(path, mode);
  if (f != nullptr && kind == PathKind::kNone) record_output_file(o, target);
  return f;
}

void record_output_file(ConvOptions& o, const std::string& path) {
  if (std::find(o.out_fname.begin(), o.out_fname.end(), path) != o.out_fname.end()) return;
  o.out_fname.push_back(path);
  o.out_fname_flags.push_back(kOutputDirect);
}

int commit_output_files(ConvOptions& o, std::string& failed, std::size_t from) {
  // Renamed ones are forgotten; a file that cannot be renamed stays recorded
  // with those after it, for the clean-up.
  std::size_t keep = from;
  for (std::size_t i = from; i < o.out_fname.size(); ++i) {
    if (failed.empty() && o.out_fname_flags[i] == kOutputPending) {
      std::error_code ec;
      fs::rename(native_path(temporary_name_of(o.out_fname[i])), native_path(o.out_fname[i]), ec);
      if (ec) failed = o.out_fname[i];
    }
    if (!failed.empty()) {
      o.out_fname[keep] = o.out_fname[i];
      o.out_fname_flags[keep] = o.out_fname_flags[i];
      ++keep;
    }
  }
  o.out_fname.resize(keep);
  o.out_fname_flags.resize(keep);
  return failed.empty() ? 0 : -1;
}

void remove_output_files(ConvOptions& o) {
  // A file that is still open cannot be removed on Windows: it stays listed
  // for the clean-up after it is closed.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < o.out_fname.size(); ++i) {
    const std::int32_t flag = i < o.out_fname_flags.size() ? o.out_fname_flags[i] : kOutputDirect;
    if (remove_recorded(o.out_fname[i], flag) != 0) {
      o.out_fname[kept] = o.out_fname[i];
      if (kept < o.out_fname_flags.size()) o.out_fname_flags[kept] = flag;
      ++kept;
    }
  }
  o.out_fname.resize(kept);
  o.out_fname_flags.resize(std::min(kept, o.out_fname_flags.size()));
}

void remove_last_output_file(ConvOptions& o, const std::string& path) {
  if (o.out_fname.empty() || o.out_fname.back() != path) return;
  remove_recorded(path, o.out_fname_flags.back());
  o.out_fname.pop_back();
  o.out_fname_flags.pop_back();
}

}  // namespace qln
