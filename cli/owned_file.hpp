#pragma once
#include <cstdio>
#include <memory>
#include <string>

#include "core/platform.hpp"

namespace qln {

struct FileCloser {
  void operator()(std::FILE* f) const noexcept {
    if (f != nullptr) std::fclose(f);
  }
};

// A stream this program opened and must close.
using OwnedFile = std::unique_ptr<std::FILE, FileCloser>;

inline OwnedFile open_file(const std::string& path, const char* mode) {
  return OwnedFile(open_named_file(path, mode));
}

}  // namespace qln
