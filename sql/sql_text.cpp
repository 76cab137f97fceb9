#include "sql/sql_text.hpp"

#include <new>

#include "core/messages.hpp"
#include "core/multibyte.hpp"
#include "sql/sql_analysis.hpp"
#include "sql/tef_config.hpp"

namespace qln {
namespace {

inline unsigned char byte_at(std::string_view text, std::size_t i) noexcept {
  return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
}

// Bytes of the character starting at `i`, never past the end of the text.
inline std::size_t char_len(int charset, std::string_view text, std::size_t i) noexcept {
  const std::size_t len = 1 + static_cast<std::size_t>(mb_char_length(charset, byte_at(text, i)));
  return len < text.size() - i ? len : text.size() - i;
}

inline bool is_white(unsigned char c) noexcept { return c == ' ' || c == '\t' || c == '\n'; }

inline unsigned char upper(unsigned char c) noexcept {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// Moves `pos` past the part closed by `quote`; -1 (pos unchanged) if unclosed.
int skip_quoted(int charset, std::string_view text, std::size_t& pos, char quote,
                bool doubled) noexcept {
  if (pos >= text.size() || text[pos] != quote) return 0;
  std::size_t i = pos + 1;
  while (i < text.size()) {
    if (text[i] == quote) {
      if (doubled && i + 1 < text.size() && text[i + 1] == quote) {
        i += 2;
        continue;
      }
      pos = i + 1;
      return 0;
    }
    i += char_len(charset, text, i);
  }
  return -1;
}

// Length of a full-width blank of the user's character set at `i`, 0 if none.
std::size_t full_width_blank(int charset, std::string_view text, std::size_t i) noexcept {
  const unsigned char c = byte_at(text, i);
  const unsigned char d = byte_at(text, i + 1);
  switch (charset) {
    case kCharsetSjis:
      return (c == 0x81 && d == 0x40) ? 2 : 0;
    case kCharsetEucJp:
      return (c == 0xA1 && d == 0xA1) ? 2 : 0;
    case kCharsetUtf8:
      return (c == 0xE3 && d == 0x80 && byte_at(text, i + 2) == 0x80) ? 3 : 0;
    default:
      return 0;
  }
}

// One pass of the normalisation rules into `buf`; 0, or -1 after reporting.
int reform_pass(GlobalParams& g, std::string_view in, std::string& buf) {
  const int cs = g.os_charset;
  std::size_t i = 0;
  const std::size_t n = in.size();
  while (i < n) {
    const unsigned char c = byte_at(in, i);
    const unsigned char next = byte_at(in, i + 1);
    if (c == '\'' || c == '"') {
      std::size_t end = i;
      const int rc = c == '\'' ? skip_literal(g, in, end) : skip_quoted_name(g, in, end);
      if (rc != 0) {
        return fail(g, MessageCode::kInternal, c == '\'' ? "reform_sql_text() unmatch '"
                                       : "reform_sql_text() unmatch \"");
      }
      buf.append(in.substr(i, end - i));
      i = end;
    } else if ((c == ' ' || c == '\t') && (next == ' ' || next == '\t')) {
      while (i < n && is_white(byte_at(in, i))) ++i;
      buf.push_back(' ');
    } else if (c == '\r' && next == ' ') {
      buf.push_back(' ');
      i += 2;
    } else if (c == '\r' && next == '\n') {
      ++i;  // a CR LF line end counts as its LF
    } else if (c == '\n' || c == '\t') {
      buf.push_back(' ');
      ++i;
    } else if (c == '-' && next == '-') {
      const std::size_t lf = in.find('\n', i + 2);
      i = lf == std::string_view::npos ? n : lf + 1;
    } else if (c == '/' && next == '*' && byte_at(in, i + 2) != '+') {
      const std::size_t close = in.find("*/", i + 2);
      if (close == std::string_view::npos) return fail(g, MessageCode::kInternal, "trim_comment() unmatch comment");
      i = close + 2;
    } else if (const std::size_t fw = full_width_blank(cs, in, i); fw != 0) {
      buf.append("  ");
      i += fw;
    } else {
      const std::size_t len = char_len(cs, in, i);
      buf.append(in.substr(i, len));
      i += len;
    }
  }
  return 0;
}

}  // namespace

int reform_sql_text(GlobalParams& g, const TefConfig& /*config*/, SqlAnalysis& analysis,
                    std::string_view in, std::string& out, std::string& comments) {
  comments.clear();
  analysis.comment_count = 0;
  const std::size_t nul = in.find('\0');
  if (nul != std::string_view::npos) in = in.substr(0, nul);
  const std::size_t limit =
      g.maxp.buffer_long_len > 0 ? static_cast<std::size_t>(g.maxp.buffer_long_len) : 0;
  try {
    std::string buf;
    buf.reserve(in.size() < limit ? in.size() : limit);
    if (reform_pass(g, in, buf) != 0) return -1;
    // An over-long text is cut, not refused, and never inside a character.
    buf.resize(cut_at_char_boundary(g.os_charset, buf, limit));
    trim_blanks(buf);
    out = std::move(buf);
  } catch (const std::bad_alloc&) {
    return fail(g, MessageCode::kOutOfMemory, "");
  }
  return 0;
}

int fold_upper_outside_quotes(const GlobalParams& g, std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = byte_at(text, i);
    if (c == '\'' || c == '"') {
      const int rc = c == '\'' ? skip_literal(g, text, i) : skip_quoted_name(g, text, i);
      if (rc != 0) return -1;
      continue;
    }
    const std::size_t len = char_len(g.os_charset, text, i);
    if (len == 1) text[i] = static_cast<char>(upper(c));
    i += len;
  }
  return 0;
}

int skip_literal(const GlobalParams& g, std::string_view text, std::size_t& pos) noexcept {
  return skip_quoted(g.os_charset, text, pos, '\'', true);
}

int skip_quoted_name(const GlobalParams& g, std::string_view text, std::size_t& pos) noexcept {
  return skip_quoted(g.os_charset, text, pos, '"', false);
}

int separate_comma(const GlobalParams& g, std::string_view text, std::vector<ItemSpan>& items) {
  items.clear();
  if (text.empty()) return 0;
  int depth = 0;
  std::size_t start = 0;
  bool after_separator = false;
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = byte_at(text, i);
    after_separator = false;
    if (c == '\'' || c == '"') {
      const int rc = c == '\'' ? skip_literal(g, text, i) : skip_quoted_name(g, text, i);
      if (rc != 0) return -1;
      continue;
    }
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (c == ',' && depth == 0) {
      if (items.size() >= kMaxCommaItems) return -1;
      items.push_back({start, i});
      start = i + 1;
      after_separator = true;
    }
    i += char_len(g.os_charset, text, i);
  }
  if (!after_separator) {
    if (items.size() >= kMaxCommaItems) return -1;
    items.push_back({start, text.size()});
  }
  return 0;
}

bool contains_nocase(int charset, std::string_view text, std::string_view part) {
  if (part.empty()) return true;
  if (part.size() > text.size()) return false;
  auto folded = [charset](std::string_view s) {
    std::string out(s);
    for (std::size_t i = 0; i < out.size();) {
      const std::size_t len = char_len(charset, out, i);
      if (len == 1) out[i] = static_cast<char>(upper(static_cast<unsigned char>(out[i])));
      i += len;
    }
    return out;
  };
  const std::string t = folded(text);
  const std::string p = folded(part);
  // Matches start on whole characters only.
  for (std::size_t i = 0; i + p.size() <= t.size(); i += char_len(charset, t, i)) {
    if (t.compare(i, p.size(), p) == 0) return true;
  }
  return false;
}

void remove_double_quotes(int charset, std::string& text) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t len = char_len(charset, text, i);
    if (!(len == 1 && text[i] == '"')) {
      for (std::size_t k = 0; k < len; ++k) text[out++] = text[i + k];
    }
    i += len;
  }
  text.resize(out);
}

bool strip_leading_parens(std::string& text) {
  std::size_t out = 0;
  std::size_t i = 0;
  bool removed = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '(') {
      removed = true;
      continue;
    }
    if (c != ' ' && c != '\t') break;
    text[out++] = c;
  }
  if (!removed) return false;
  text.erase(out, i - out);
  return true;
}

bool literal_begins_multibyte(int charset, std::string_view text) noexcept {
  return text.size() >= 2 && text[0] == '\'' &&
         mb_char_length(charset, static_cast<unsigned char>(text[1])) > 0;
}

bool has_multibyte(int charset, std::string_view text) noexcept {
  for (const char c : text) {
    if (mb_char_length(charset, static_cast<unsigned char>(c)) > 0) return true;
  }
  return false;
}

std::size_t char_count(int charset, std::string_view text) noexcept {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); i += char_len(charset, text, i)) ++count;
  return count;
}

}  // namespace qln
