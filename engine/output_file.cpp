#include "engine/output_file.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace qln {

namespace {

namespace fs = std::filesystem;

// lstat: a symbolic link is never taken for the file it points to, so the
// clean-up cannot remove a link the user made.
bool is_regular_file(const std::string& path) {
  struct stat st{};
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void remove_recorded(const std::string& path, std::int32_t flag) {
  const std::string written = flag == kOutputPending ? temporary_name_of(path) : path;
  if (is_regular_file(written)) std::remove(written.c_str());
}

}  // namespace

std::string temporary_name_of(const std::string& path) {
  const std::size_t cut = path.find_last_of("/\\");
  const std::size_t base = cut == std::string::npos ? 0 : cut + 1;
  return path.substr(0, base) + "." + path.substr(base) + "." + std::to_string(::getpid()) + ".part";
}

bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec) && !ec) return true;
  if (fs::exists(a, ec) && fs::exists(b, ec)) return false;
  const fs::path ca = fs::weakly_canonical(a, ec);
  if (ec) return false;
  const fs::path cb = fs::weakly_canonical(b, ec);
  return !ec && ca == cb;
}

bool is_dump_volume(const ConvOptions& o, const std::string& path) {
  return std::any_of(o.exp_fname.begin(), o.exp_fname.end(),
                     [&](const std::string& v) { return same_file(v, path); });
}

std::FILE* open_output_file(ConvOptions& o, const std::string& path, bool binary) {
  const char* mode = binary ? "wb" : "w";
  std::string target = path;
  struct stat st{};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    // A link is kept: its file is the one replaced.
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return nullptr;
  // A device or pipe is written as it is, and never removed.
  if (exists && !S_ISREG(st.st_mode)) return std::fopen(path.c_str(), mode);
  if (std::FILE* f = std::fopen(temporary_name_of(target).c_str(), mode)) {
    if (exists) ::fchmod(::fileno(f), st.st_mode & 07777);
    for (std::size_t i = 0; i < o.out_fname.size(); ++i) {
      if (o.out_fname[i] == target) {
        o.out_fname_flags[i] = kOutputPending;
        return f;
      }
    }
    o.out_fname.push_back(target);
    o.out_fname_flags.push_back(kOutputPending);
    return f;
  }
  // A folder the run may not create files in: the file itself, when it can
  // be written, is written directly (and removed on failure only when the
  // run created it).
  std::FILE* f = std::fopen(path.c_str(), mode);
  if (f != nullptr && !exists) record_output_file(o, target);
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
    if (o.out_fname_flags[i] == kOutputPending &&
        std::rename(temporary_name_of(o.out_fname[i]).c_str(), o.out_fname[i].c_str()) != 0 &&
        failed.empty())
      failed = o.out_fname[i];
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
  for (std::size_t i = 0; i < o.out_fname.size(); ++i)
    remove_recorded(o.out_fname[i], i < o.out_fname_flags.size() ? o.out_fname_flags[i] : kOutputDirect);
  o.out_fname.clear();
  o.out_fname_flags.clear();
}

void remove_last_output_file(ConvOptions& o, const std::string& path) {
  if (o.out_fname.empty() || o.out_fname.back() != path) return;
  remove_recorded(path, o.out_fname_flags.back());
  o.out_fname.pop_back();
  o.out_fname_flags.pop_back();
}

}  // namespace qln
