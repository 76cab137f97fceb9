#pragma once
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/global_params.hpp"
#include "dump/format_reader.hpp"
#include "engine/record_run.hpp"

namespace qln {

// "42%  118.3 MB/s  EMP  12345 rows": how far the read is over the bytes of
// all volumes, how fast, and where.
std::string progress_text(const GlobalParams& g, const RunProgress& p, double seconds);

// One line per table written: its name, rows and output file.
std::string summary_text(const GlobalParams& g, const std::vector<WrittenTable>& tables);

// The one refreshed progress line on a terminal: redrawn at most a few times
// a second, cleared when the read ends.
class ProgressLine {
 public:
  ProgressLine(const GlobalParams& g, std::FILE* out);
  ~ProgressLine() { clear(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void update(const RunProgress& p);
  // The same at `seconds` after the start (tests give the time).
  void update_at(const RunProgress& p, double seconds);
  void clear();

 private:
  const GlobalParams& g_;
  std::FILE* out_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  double drawn_at_ = 0;  // a short read shows no line at all
  std::size_t width_ = 0;  // of the line on screen
};

// Whether this run shows progress: PROGRESS=Y|N, else when standard error is
// a terminal.
bool progress_wanted(Switch progress_option);

}  // namespace qln
