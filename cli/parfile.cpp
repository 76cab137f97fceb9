#include "cli/parfile.hpp"

#include <filesystem>
#include <fstream>

#include "cli/options.hpp"
#include "core/messages.hpp"
#include "core/platform.hpp"
#include "core/multibyte.hpp"
#include "sql/sql_text.hpp"
#include "sql/tokenizer.hpp"
#include "sql/word_codes.hpp"

namespace qln {

namespace {

constexpr int kMsgOutOfMemory = 2;
constexpr int kMsgBadArgument = 3;
constexpr int kMsgTooLong = 5;
constexpr int kMsgParfileOpen = 3010;
constexpr std::size_t kMaxLineBytes = 4095;

int bad_where(GlobalParams& g) { return fail(g, kMsgBadArgument, "WHERE"); }

// One line without its line end; false at the end of the file. A line
// longer than the limit is reported and ends the reading; nothing more than
// the limit is ever held, whatever the file (a device without end).
enum class Line { kRead, kEnd, kTooLong };
Line read_line(std::istream& in, std::string& line) {
  line.clear();
  std::streambuf* buf = in.rdbuf();
  for (int c = buf->sbumpc(); c != '\n'; c = buf->sbumpc()) {
    if (c == std::char_traits<char>::eof()) {
      if (line.empty()) return Line::kEnd;
      break;
    }
    if (line.size() > kMaxLineBytes) return Line::kTooLong;
    line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line.size() > kMaxLineBytes ? Line::kTooLong : Line::kRead;
}

// A comment starts at the first "#" or ";" that no pair of quotes encloses
// (OUT_FILE="a#b.csv"); a quote without its partner on the line is text.
void cut_comment(int charset, std::string& line) {
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == '#' || c == ';') {
      line.resize(i);
      break;
    }
    if (c == '"' || c == '\'') {
      const std::size_t close = line.find(c, i + 1);
      if (close != std::string::npos) {
        i = close + 1;
        continue;
      }
    }
    i += 1 + static_cast<std::size_t>(mb_char_length(charset, static_cast<unsigned char>(c)));
  }
  trim_blanks(line);
}

// The rest of a "WHERE=condition" line after its "=", or -1.
int where_line_condition(GlobalParams& g, const std::string& line, std::string& condition) {
  std::size_t pos = 0;
  std::string word;
  int code = 0;
  int depth = 0;
  if (get_word(g.os_charset, line, pos, word, code, depth) != 0 || word.size() != 5 ||
      fold_upper_outside_quotes(g, word) != 0 || word != "WHERE") {
    return -1;
  }
  if (get_word(g.os_charset, line, pos, word, code, depth) != 0 || code != kWordEq) return -1;
  condition = line.substr(pos);
  trim_blanks(condition);
  return 0;
}

int read_section(GlobalParams& g, ConvOptions& o, std::istream& in, const std::string& header) {
  std::string name;
  std::size_t after = 0;
  if (table_name_of(g, header, name, after) != 0) return -1;
  const bool selected = header.size() >= 2 && header[header.size() - 2] == '*';
  std::string line;
  if (read_line(in, line) != Line::kRead) return bad_where(g);
  std::string condition;
  if (where_line_condition(g, line, condition) != 0) return bad_where(g);
  return add_table_condition(g, o, std::move(name), selected, condition);
}

}  // namespace

int table_name_of(GlobalParams& g, std::string_view bracketed, std::string& name, std::size_t& after) {
  if (bracketed.empty() || bracketed.front() != '[') return bad_where(g);
  std::size_t i = 1;
  while (i < bracketed.size() && bracketed[i] != ']') {
    i += 1 + static_cast<std::size_t>(mb_char_length(g.os_charset, static_cast<unsigned char>(bracketed[i])));
  }
  if (i >= bracketed.size()) return bad_where(g);
  name.assign(bracketed.substr(1, i - 1));
  trim_blanks(name);
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
    strip_name_quotes(name);
  } else if (fold_upper_outside_quotes(g, name) != 0) {
    return bad_where(g);
  }
  if (name.empty() || name.size() > kMaxNameLen) return bad_where(g);
  after = i + 1;
  return 0;
}

int add_table_condition(GlobalParams& g, ConvOptions& o, std::string name, bool selected,
                        std::string_view where_text) {
  if (o.where_count() >= kMaxTableConditions || where_text.size() > kMaxWhereLen) return bad_where(g);
  try {
    TableCondition c;
    c.is_selected = selected ? 1 : 0;
    c.table_name = std::move(name);
    c.where_text.assign(where_text);
    o.where_statement.push_back(std::move(c));
  } catch (const std::bad_alloc&) {
    return fail(g, kMsgOutOfMemory);
  }
  o.is_condition = kYes;
  return 0;
}

int read_parameter_file(GlobalParams& g, ConvOptions& o, const std::string& path, int depth) {
  std::ifstream in;
  if (path_kind(path) != PathKind::kDirectory) in.open(native_path(path));
  if (!in.is_open()) return fail(g, kMsgParfileOpen, path);
  std::string options;
  std::string line;
  while (true) {
    const Line got = read_line(in, line);
    if (got == Line::kEnd) break;
    if (got == Line::kTooLong) return fail(g, kMsgTooLong);
    cut_comment(g.os_charset, line);
    if (!line.empty() && line.front() == '[') {
      if (read_section(g, o, in, line) != 0) return -1;
      continue;
    }
    options += line;
    options += ' ';
    if (options.size() > kMaxArgumentText) return fail(g, kMsgTooLong);
  }
  in.close();
  return parse_options(g, options, o, depth);
}

}  // namespace qln
