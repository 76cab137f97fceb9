#include "cli/progress.hpp"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define QLN_ISATTY _isatty
#define QLN_FILENO _fileno
#else
#include <unistd.h>
#define QLN_ISATTY isatty
#define QLN_FILENO fileno
#endif

#include "core/messages.hpp"

namespace qln {

namespace {

constexpr double kRedrawSeconds = 0.25;
constexpr std::size_t kNameWidth = 30;

std::string padded(std::string_view s, std::size_t width) {
  std::string out(s);
  if (out.size() < width) out.append(width - out.size(), ' ');
  return out;
}

}  // namespace

std::string progress_text(const GlobalParams& g, const RunProgress& p, double seconds) {
  const int percent = p.total_bytes > 0 ? static_cast<int>(p.bytes_read * 100 / p.total_bytes) : 0;
  const double mb_per_s = seconds > 0 ? static_cast<double>(p.bytes_read) / 1e6 / seconds : 0.0;
  char head[64];
  std::snprintf(head, sizeof head, "%3d%%  %7.1f MB/s  ", percent > 100 ? 100 : percent, mb_per_s);
  std::string text = head;
  text += p.table;
  text += "  ";
  text += std::to_string(p.rows);
  text += user_text(g, {"行", " rows"});
  return text;
}

std::string summary_text(const GlobalParams& g, const std::vector<WrittenTable>& tables) {
  std::string text;
  for (const WrittenTable& t : tables) {
    text += padded(t.name, kNameWidth);
    text += ' ';
    char rows[32];
    std::snprintf(rows, sizeof rows, "%10lld", static_cast<long long>(t.rows));
    text += rows;
    text += user_text(g, {"行  ", " rows  "});
    text += t.file.empty() ? user_text(g, {"(標準出力)", "(standard output)"}) : t.file;
    text += '\n';
  }
  return text;
}

ProgressLine::ProgressLine(const GlobalParams& g, std::FILE* out) : g_(g), out_(out) {}

void ProgressLine::update(const RunProgress& p) {
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
  update_at(p, elapsed.count());
}

void ProgressLine::update_at(const RunProgress& p, double seconds) {
  if (seconds - drawn_at_ < kRedrawSeconds) return;
  drawn_at_ = seconds;
  const std::string text = progress_text(g_, p, seconds);
  // Blanks over what is left of a longer earlier line.
  std::string line = "\r" + padded(text, width_);
  width_ = text.size();
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

void ProgressLine::clear() {
  if (width_ == 0) return;
  const std::string blank = "\r" + std::string(width_, ' ') + "\r";
  std::fwrite(blank.data(), 1, blank.size(), out_);
  std::fflush(out_);
  width_ = 0;
}

bool progress_wanted(Switch progress_option) {
  if (progress_option == kYes) return true;
  if (progress_option == kNo) return false;
  return QLN_ISATTY(QLN_FILENO(stderr)) != 0;
}

}  // namespace qln
