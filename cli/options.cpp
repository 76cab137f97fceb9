#include "cli/options.hpp"

#include <array>
#include <cctype>
#include <filesystem>

#include "cli/date_format_check.hpp"
#include "cli/help.hpp"
#include "cli/option_text.hpp"
#include "cli/parfile.hpp"
#include "core/messages.hpp"
#include "core/platform.hpp"
#include "dump/dump_file.hpp"
#include "output/lob_files.hpp"
#include "values/charset.hpp"
#include "sql/sql_text.hpp"
#include "sql/tokenizer.hpp"
#include "sql/word_codes.hpp"

namespace qln {

namespace {

constexpr int kMsgBadArgument = 3;
constexpr int kMsgTooLong = 5;
constexpr int kMsgUnknownKeyword = 6;
constexpr int kMsgTooManyFiles = 1910;
constexpr int kMsgDumpOpen = 3100;

constexpr std::size_t kMaxPathBytes = kMaxPathLen - 1;  // a path is shorter than 512 bytes
constexpr std::size_t kMaxLobDirBytes = 511;
constexpr int kPreviewRows = 5;
constexpr int kMaxRawLength = 999;

struct Parser {
  GlobalParams& g;
  ConvOptions& o;
  std::string_view text;
  std::size_t pos = 0;
  int depth = 0;
  std::string keyword;    // as written
  std::string_view name;  // as the messages spell it

  int bad() { return fail(g, kMsgBadArgument, name); }

  // The next option word; empty at the end of the text. A quoted part ends
  // a word, so the parts that follow it without a blank are joined to it
  // (FILE='a b.dmp','c.dmp').
  std::string option_word() {
    std::string value;
    std::string word;
    int code = 0;
    while (get_option_word(g.os_charset, text, pos, word, code) == 0 && !word.empty() && code != kWordEq) {
      value += word;
      if (pos >= text.size() || std::string_view(" \t\n=()").find(text[pos]) != std::string_view::npos) break;
    }
    return value;
  }

  // The next SQL word and its code; false at the end of the text.
  bool plain_word(std::string& word, int& code) {
    int paren_depth = 0;
    return get_word(g.os_charset, text, pos, word, code, paren_depth) == 0;
  }

  std::string plain_value() {
    std::string word;
    int code = 0;
    if (!plain_word(word, code)) return {};
    if (code == kWordComma) return ",";
    return word;
  }

  // A number within the int32 range; -1 for anything else. A leading "-"
  // is read with it so that a negative value is consumed whole.
  long long number_value() {
    std::string word;
    int code = 0;
    if (!plain_word(word, code)) return -1;
    if (code == kWordSub) {
      plain_word(word, code);
      return -1;
    }
    return parse_decimal(word);
  }

  bool equals_follows() {
    std::string word;
    int code = 0;
    return plain_word(word, code) && code == kWordEq;
  }

  // A free text (WHERE, GREP): a quoted part, or the bytes up to the next
  // blank, which is where the argument ended.
  int free_value(std::string& value) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n')) ++pos;
    const std::size_t start = pos;
    if (pos < text.size() && (text[pos] == '\'' || text[pos] == '"')) {
      const int rc = text[pos] == '\'' ? skip_literal(g, text, pos) : skip_quoted_name(g, text, pos);
      if (rc != 0) return bad();
      value = text.substr(start + 1, pos - start - 2);
      return 0;
    }
    while (pos < text.size() && text[pos] != ' ' && text[pos] != '\t' && text[pos] != '\n') ++pos;
    value = text.substr(start, pos - start);
    return 0;
  }
};

void remove_empty_regular_file(const std::string& path) {
  if (regular_file_size(path) == 0) remove_file(path);
}

bool same_word(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// A path value: trimmed, the quotes around it removed, trimmed again. No
// file name holds a double quote on the system the paths come from, so a
// pair of them encloses the path like single quotes do (a parameter file's
// OUT_FILE="a#b.csv", or a value with a blank and a single quote).
std::string path_value(std::string_view word) {
  std::string value(trim_blanks_view(word));
  value = strip_quotes(value, '\'');
  value = strip_quotes(value, '"');
  trim_blanks(value);
  return value;
}

int yes_no(Parser& p, Switch& field, bool no_allowed) {
  const std::string v = p.plain_value();
  if (same_word(v, "Y")) {
    field = kYes;
  } else if (no_allowed && same_word(v, "N")) {
    field = kNo;
  } else {
    return p.bad();
  }
  return 0;
}

int opt_file(Parser& p) {
  const std::string value = p.option_word();
  std::vector<ItemSpan> items;
  if (value.empty() || separate_comma(p.g, value, items) != 0 || items.empty()) return p.bad();
  for (const ItemSpan& item : items) {
    const std::string path = path_value(item.of(value));
    if (path.empty() || path.size() > kMaxPathBytes) return p.bad();
    if (DumpFile file; file.open(path) != 0) return fail(p.g, kMsgDumpOpen, path);
    if (p.o.exp_fname_count() >= kMaxDumpFiles) return fail(p.g, kMsgTooManyFiles, "99");
    p.o.exp_fname.push_back(path);
  }
  return 0;
}

int opt_out_file(Parser& p) {
  const std::string path = path_value(p.option_word());
  if (path.empty() || path.size() > kMaxPathBytes) return p.bad();
  p.o.out_file = path;
  return 0;
}

int opt_out_charset(Parser& p) {
  const std::string v = p.option_word();
  if (same_word(v, "SJIS")) {
    p.o.out_charset = kCharsetSjis;
  } else if (same_word(v, "EUC")) {
    p.o.out_charset = kCharsetEucJp;
  } else if (same_word(v, "UTF8")) {
    p.o.out_charset = kCharsetUtf8;
  } else {
    return p.bad();
  }
  return 0;
}

// Any Oracle set name; the dump's declared set is then ignored.
int opt_db_charset(Parser& p) {
  std::string name = p.option_word();
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const int id = charset_id_from_name(name);
  if (id == kCharsetUnknown) return p.bad();
  p.o.db_charset_override = id;
  return 0;
}

// Upper-cases a name unless it is written in double quotes, which go.
int normalise_name(Parser& p, std::string& name) {
  trim_blanks(name);
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
    strip_name_quotes(name);
  } else if (fold_upper_outside_quotes(p.g, name) != 0) {
    return p.bad();
  }
  if (name.empty() || name.size() > kMaxNameLen) return p.bad();
  return 0;
}

int opt_table(Parser& p) {
  std::string name = p.option_word();
  if (normalise_name(p, name) != 0) return -1;
  p.o.table_id = name;
  return 0;
}

int opt_list(Parser& p) { return yes_no(p, p.o.is_tbl_list, false); }
int opt_header(Parser& p) { return yes_no(p, p.o.is_header, false); }
int opt_trim(Parser& p) { return yes_no(p, p.o.is_trim, true); }
int opt_quote(Parser& p) { return yes_no(p, p.o.is_quote, true); }
int opt_preview(Parser& p) { return yes_no(p, p.o.is_preview, true); }
int opt_debug(Parser& p) { return yes_no(p, p.g.debug_mode, false); }

int opt_delimiter(Parser& p) {
  const std::string v = p.plain_value();
  if (same_word(v, "COMMA")) {
    p.o.delimiter = ',';
  } else if (same_word(v, "SPACE")) {
    p.o.delimiter = ' ';
  } else if (same_word(v, "TAB")) {
    p.o.delimiter = '\t';
  } else if (v.size() == 1) {
    p.o.delimiter = v[0];
  } else {
    return p.bad();
  }
  return 0;
}

// 0 leaves the row count unlimited.
int opt_max_record(Parser& p) {
  const long long n = p.number_value();
  if (n < 0) return p.bad();
  if (n > 0) {
    p.o.is_unlimited = kNo;
    p.o.max_record = static_cast<std::int32_t>(n);
  }
  return 0;
}

int opt_raw_length(Parser& p) {
  const long long n = p.number_value();
  if (n < 0 || n > kMaxRawLength) return p.bad();
  p.o.raw_length = static_cast<std::int32_t>(n);
  return 0;
}

int opt_threads(Parser& p) {
  const long long n = p.number_value();
  if (n < 0 || n > 1024) return p.bad();
  p.o.threads = static_cast<std::int32_t>(n);
  return 0;
}

int opt_date_format(Parser& p) {
  // Double quotes stay: in a date format they enclose literal text.
  std::string format = strip_quotes(trim_blanks_view(p.option_word()), '\'');
  trim_blanks(format);
  if (format.empty() || format.size() > kMaxDateFormatLen || !check_date_format(p.g, format)) {
    return p.bad();
  }
  if (format != p.o.date_format) {
    p.o.date_format = format;
    p.o.date_format_kind = -1;  // worked out again before a conversion
  }
  return 0;
}

int opt_errlog(Parser& p) {
  const std::string path = path_value(p.option_word());
  if (path.empty() || path.size() > kMaxPathBytes) return p.bad();
  p.o.err_fname = path;
  return 0;
}

int opt_mode(Parser& p) {
  const std::string v = p.plain_value();
  if (same_word(v, "CSV")) {
    p.o.output_mode = kOutCsv;
  } else if (same_word(v, "CSV_BATCH")) {
    p.o.output_mode = kOutCsvBatch;
  } else if (same_word(v, "INSERT")) {
    p.o.output_mode = kOutInsert;
  } else if (same_word(v, "DDL")) {
    p.o.output_mode = kOutDdl;
  } else {
    return p.bad();
  }
  return 0;
}

int opt_dbms(Parser& p) {
  struct Dialect {
    std::string_view name;
    std::int32_t type;
  };
  static constexpr std::array<Dialect, 5> kDialects = {
      {{"ORACLE", 0}, {"DB2", 3}, {"SQLSERVER", 6}, {"POSTGRESQL", 4}, {"MYSQL", 5}}};
  const std::string v = p.plain_value();
  for (const Dialect& d : kDialects) {
    if (same_word(v, d.name)) {
      p.o.dbms_type = d.type;
      return 0;
    }
  }
  return p.bad();
}

int opt_ddl(Parser& p) {
  const std::string v = p.option_word();
  std::uint8_t kinds = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t bar = v.find('|', start);
    const std::string_view part = std::string_view(v).substr(start, bar == std::string::npos ? bar : bar - start);
    bool known = same_word(part, "ALL");
    if (known) kinds |= kDdlAll;
    for (const DdlKindName& k : kDdlKindNames) {
      if (same_word(part, k.name)) {
        kinds |= k.bit;
        known = true;
      }
    }
    if (!known) return p.bad();
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  p.o.ddl_kinds = kinds;
  return 0;
}

int opt_raw_format(Parser& p) {
  const std::string v = p.plain_value();
  if (same_word(v, "HEX")) {
    p.o.raw_format = kRawHex;
  } else if (same_word(v, "ASCII")) {
    p.o.raw_format = kRawAscii;
  } else if (same_word(v, "IGNORE")) {
    p.o.raw_format = kRawIgnore;
  } else {
    return p.bad();
  }
  return 0;
}

int opt_lob_file(Parser& p) {
  const std::string pattern = path_value(p.option_word());
  if (pattern.empty() || pattern.size() > kMaxPathBytes) return p.bad();
  // Without a column between two "%", files are named by the first column.
  if (split_lob_pattern(p.g, p.o, pattern) != 0) return p.bad();
  p.o.lob_fname = pattern;
  return 0;
}

int opt_lob_dir(Parser& p) {
  std::string dir = path_value(p.option_word());
  if (dir.empty()) return p.bad();
  const int cs = p.g.os_charset;
  if (!ends_with_single_byte(cs, dir, path_separator()) && !ends_with_single_byte(cs, dir, '/')) {
    dir += path_separator();
  }
  if (dir.size() > kMaxLobDirBytes) return p.bad();
  p.o.lob_dir = dir;
  return 0;
}

int opt_lob_target(Parser& p) {
  std::string target = p.option_word();
  if (fold_upper_outside_quotes(p.g, target) != 0) return p.bad();
  const std::size_t dot = find_single_byte(p.g.os_charset, target, '.');
  std::string table = dot == std::string::npos ? std::string() : target.substr(0, dot);
  std::string column = dot == std::string::npos ? target : target.substr(dot + 1);
  strip_name_quotes(table);
  strip_name_quotes(column);
  if (column.empty() || table.size() > kMaxNameLen || column.size() > kMaxNameLen) return p.bad();
  p.o.lob_table_name = table;
  p.o.lob_target_col_name = column;
  p.o.output_mode = kOutLobFiles;
  return 0;
}

int opt_where(Parser& p) {
  std::string value;
  if (p.free_value(value) != 0) return -1;
  std::string name;
  std::size_t after = 0;
  if (table_name_of(p.g, value, name, after) != 0) return -1;
  return add_table_condition(p.g, p.o, name, true, trim_blanks_view(std::string_view(value).substr(after)));
}

int opt_column(Parser& p) {
  std::string list = p.option_word();
  list = strip_quotes(trim_blanks_view(list), '\'');
  trim_blanks(list);
  if (list.empty() || list.size() > kMaxSelectListLen) return p.bad();
  p.o.select_list = list;
  p.o.is_select_list = kYes;
  return 0;
}

int opt_grep(Parser& p) {
  std::string value;
  if (p.free_value(value) != 0) return -1;
  if (value.empty() || value.size() > kMaxGrepLen) return p.bad();
  p.o.grep_text = value;
  p.o.is_grep = kYes;
  return 0;
}

// The value runs from "(" to the parenthesis that closes it.
int opt_query(Parser& p) {
  while (p.pos < p.text.size() && (p.text[p.pos] == ' ' || p.text[p.pos] == '\t')) ++p.pos;
  const std::size_t start = p.pos;
  if (p.text.size() - start > kMaxArgumentText || start >= p.text.size() || p.text[start] != '(') {
    return p.bad();
  }
  int depth = 0;
  std::string word;
  int code = 0;
  do {
    if (get_word(p.g.os_charset, p.text, p.pos, word, code, depth) != 0) return p.bad();
  } while (depth > 0);
  std::string query(p.text.substr(start, p.pos - start));
  trim_blanks(query);
  while (query.size() >= 2 && query.front() == '(' && query.back() == ')') {
    query = query.substr(1, query.size() - 2);
    trim_blanks(query);
  }
  if (query.empty()) return p.bad();
  p.o.query = query;
  return 0;
}

int opt_parfile(Parser& p) {
  const std::string path = strip_quotes(p.option_word(), '\'');
  if (path.empty() || path.size() > kMaxPathBytes || p.depth >= kMaxParfileDepth) return p.bad();
  return read_parameter_file(p.g, p.o, path, p.depth + 1);
}

// PROPERTY=N and BOM=Y are accepted and change nothing.
int opt_property(Parser& p) {
  Switch value = kNo;
  if (yes_no(p, value, true) != 0) return -1;
  if (is_on(value)) p.o.is_property = kYes;
  return 0;
}

int opt_bom(Parser& p) {
  Switch value = kYes;
  if (yes_no(p, value, true) != 0) return -1;
  if (!is_on(value)) p.o.is_output_bom = kNo;
  return 0;
}

// Y or N forces the progress line on or off; without it the line shows
// when standard error is a terminal.
int opt_progress(Parser& p) {
  Switch value = kNo;
  if (yes_no(p, value, true) != 0) return -1;
  p.o.progress = value;
  return 0;
}

int opt_help(Parser& p) {
  if (!same_word(p.plain_value(), "Y")) return p.bad();
  print_help(p.g, p.o);
  return kParseStop;
}

int opt_help_alone(Parser& p) {
  print_help(p.g, p.o);
  return kParseStop;
}

int opt_version(Parser& p) {
  print_banner(p.g.out_stream, p.g, p.o);
  return kParseStop;
}

int opt_ignored(Parser&) { return 0; }

struct Option {
  std::string_view keyword;
  bool takes_value;
  int (*handle)(Parser&);
};

constexpr std::array<Option, 37> kOptions = {{
    {"FILE", true, opt_file},
    {"OUT_FILE", true, opt_out_file},
    {"OUT_CHARSET", true, opt_out_charset},
    {"DB_CHARSET", true, opt_db_charset},
    {"TABLE", true, opt_table},
    {"LIST", true, opt_list},
    {"HEADER", true, opt_header},
    {"TRIM", true, opt_trim},
    {"QUOTE", true, opt_quote},
    {"DELIMITER", true, opt_delimiter},
    {"MAX_RECORD", true, opt_max_record},
    {"DATE_FORMAT", true, opt_date_format},
    {"ERRLOG", true, opt_errlog},
    {"MODE", true, opt_mode},
    {"DBMS", true, opt_dbms},
    {"DDL", true, opt_ddl},
    {"RAW_FORMAT", true, opt_raw_format},
    {"RAW_LENGTH", true, opt_raw_length},
    {"THREADS", true, opt_threads},
    {"LOB_FILE", true, opt_lob_file},
    {"LOB_DIR", true, opt_lob_dir},
    {"LOB_TARGET", true, opt_lob_target},
    {"WHERE", true, opt_where},
    {"COLUMN", true, opt_column},
    {"GREP", true, opt_grep},
    {"QUERY", true, opt_query},
    {"PARFILE", true, opt_parfile},
    {"PREVIEW", true, opt_preview},
    {"PROPERTY", true, opt_property},
    {"BOM", true, opt_bom},
    {"DEBUG", true, opt_debug},
    {"PROGRESS", true, opt_progress},
    {"HELP", true, opt_help},
    {"SHOW_VERSION", false, opt_ignored},
    {"--help", false, opt_help_alone},
    {"-h", false, opt_help_alone},
    {"--version", false, opt_version},
}};

const Option* find_option(std::string_view keyword) {
  for (const Option& opt : kOptions) {
    if (same_word(keyword, opt.keyword)) return &opt;
  }
  return nullptr;
}

bool holds_blank(std::string_view s) {
  return s.find_first_of(" \t\n") != std::string_view::npos;
}

bool is_keyword_text(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

// Encloses a value that holds blanks in quotes: single ones when it holds
// none (they are removed again from paths), else double ones.
std::string quoted_if_blank(std::string_view value) {
  if (value.empty() || !holds_blank(value) || value.front() == '\'' || value.front() == '"' ||
      value.front() == '(') {
    return std::string(value);
  }
  char quote = '\'';
  if (value.find('\'') != std::string_view::npos) {
    if (value.find('"') != std::string_view::npos) return std::string(value);
    quote = '"';
  }
  return quote + std::string(value) + quote;
}

// KEYWORD=value with blanks in the value gets the quotes the user typed
// back. A FILE list is quoted path by path, so that it stays a list.
std::string requoted(const std::string& arg) {
  const std::size_t eq = arg.find('=');
  if (eq == std::string::npos || !is_keyword_text(std::string_view(arg).substr(0, eq))) return arg;
  const std::string_view keyword = std::string_view(arg).substr(0, eq);
  const std::string_view value = std::string_view(arg).substr(eq + 1);
  std::string out = arg.substr(0, eq + 1);
  if (!same_word(keyword, "FILE")) return out + quoted_if_blank(value);
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = value.find(',', start);
    out += quoted_if_blank(value.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (comma == std::string_view::npos) break;
    out += ',';
    start = comma + 1;
  }
  return out;
}

}  // namespace

std::vector<std::string_view> option_keywords() {
  std::vector<std::string_view> keywords;
  for (const Option& opt : kOptions) {
    if (opt.keyword.front() != '-') keywords.push_back(opt.keyword);
  }
  return keywords;
}

int join_arguments(GlobalParams& g, std::span<const std::string> args, std::string& text) {
  text.clear();
  for (const std::string& arg : args) {
    text += requoted(arg);
    text += ' ';
    if (text.size() > kMaxArgumentText) {
      text.clear();
      return fail(g, kMsgTooLong);
    }
  }
  return 0;
}

int parse_errlog_option(GlobalParams& g, std::string_view text, ConvOptions& o, OwnedFile& errlog) {
  std::size_t pos = 0;
  std::string word;
  int code = 0;
  bool value_next = false;
  while (get_option_word(g.os_charset, text, pos, word, code) == 0) {
    // A word right after "=" is a value, even when it reads ERRLOG.
    const bool is_value = value_next;
    value_next = code == kWordEq;
    if (is_value || !same_word(word, "ERRLOG")) continue;
    int depth = 0;
    if (get_word(g.os_charset, text, pos, word, code, depth) != 0 || code != kWordEq ||
        get_option_word(g.os_charset, text, pos, word, code) != 0) {
      return fail(g, kMsgBadArgument, "ERRLOG");
    }
    const std::string path = path_value(word);
    if (path.empty() || path.size() > kMaxPathBytes) return fail(g, kMsgBadArgument, "ERRLOG");
    g.err_stream = stderr;
    if (errlog) {
      // The earlier log has received nothing yet and is not kept.
      errlog.reset();
      remove_empty_regular_file(o.err_fname);
    }
    o.err_fname = path;
    // Opened without truncating: until the other options are known, the
    // path might be the dump or an output (the run driver checks, then
    // empties it).
    errlog = open_file(path, "a");
    if (errlog) g.err_stream = errlog.get();
  }
  return 0;
}

int parse_options(GlobalParams& g, std::string_view text, ConvOptions& o) {
  return parse_options(g, text, o, 0);
}

int parse_options(GlobalParams& g, std::string_view text, ConvOptions& o, int depth) {
  Parser p{g, o, text, 0, depth, {}, {}};
  int code = 0;
  while (get_option_word(g.os_charset, text, p.pos, p.keyword, code) == 0) {
    if (p.keyword.empty()) continue;
    const Option* opt = find_option(p.keyword);
    if (opt == nullptr) return fail(g, kMsgUnknownKeyword, p.keyword);
    p.name = opt->keyword;
    if (opt->takes_value && !p.equals_follows()) return p.bad();
    if (const int rc = opt->handle(p); rc != 0) return rc;
  }
  if (is_on(o.is_preview) && o.max_record < 0) {
    o.max_record = kPreviewRows;
    o.is_unlimited = kNo;
  }
  return 0;
}

}  // namespace qln
