#include "gui/settings.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "core/blanks.hpp"
#include "core/global_params.hpp"
#include "values/charset.hpp"
#include "values/date_text.hpp"

namespace qln::gui {
namespace {

constexpr std::string_view kStars =
    ";*******************************************************************************";
constexpr std::string_view kBom = "\xEF\xBB\xBF";
// A settings file is a few kilobytes; anything far larger is not one.
constexpr std::uintmax_t kMaxFileSize = 16u << 20;

// The keys the writer knows, in the order a new file lists them.
constexpr std::array<std::string_view, 22> kKeys = {
    "HEADER", "TRIM", "TO_SJIS", "MAX_RECORD", "UNLIMITED", "DATE_FORMAT", "VIEW_PROGRAM",
    "VIEW_PROGRAM_PATH", "TABLE_MODE", "DELIMITER", "WHERE_CONDITION", "CSV_DELETE", "QUOTE",
    "BATCH_OUTPUT", "DDL", "LOB_DIR", "LOB_FILE", "LOB_TABLE", "LOB_COLUMN", "GREP",
    "SELECT_LIST", "SELECT_LIST_CONDITION"};

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// One setting line taken apart: its key, the word after "=" and the whole
// rest of the line after "=".
struct KeyLine {
  std::string key;
  std::string word;
  std::string rest;
};

std::optional<KeyLine> split_key_line(std::string_view line) {
  std::size_t pos = 0;
  while (pos < line.size() && !is_blank(line[pos]) && line[pos] != '=') ++pos;
  if (pos == 0) return std::nullopt;
  KeyLine k;
  k.key = upper(line.substr(0, pos));
  while (pos < line.size() && is_blank(line[pos])) ++pos;
  if (pos >= line.size() || line[pos] != '=') return std::nullopt;
  ++pos;
  k.rest = std::string(trim_blanks_view(line.substr(pos)));
  std::string_view r = k.rest;
  std::size_t end = 0;
  // A quoted part stays whole, blanks included.
  while (end < r.size() && !is_blank(r[end])) {
    if (r[end] == '"' || r[end] == '\'') {
      const std::size_t close = r.find(r[end], end + 1);
      end = close == std::string_view::npos ? r.size() : close + 1;
    } else {
      ++end;
    }
  }
  k.word = std::string(r.substr(0, end));
  return k;
}

void strip_quotes(std::string& text, char q) {
  if (text.size() >= 2 && text.front() == q && text.back() == q) text = text.substr(1, text.size() - 2);
}

std::string unquoted(std::string text) {
  strip_quotes(text, '"');
  strip_quotes(text, '\'');
  return text;
}

// Y -> true, N -> false, anything else leaves the switch alone.
void read_switch(std::string_view word, bool& field) {
  const std::string w = upper(word);
  if (w == "Y") field = true;
  if (w == "N") field = false;
}

void set_limited(std::string value, std::size_t limit, std::string& field) {
  if (value.size() <= limit) field = std::move(value);
}

bool is_comment(std::string_view trimmed) {
  return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

struct Section {
  std::string name;
  bool selected = false;
};

// "[EMP][*]" -> EMP, selected. nullopt for a line that is no section line;
// a section with an empty or over-long name has an empty name.
std::optional<Section> section_of(std::string_view trimmed) {
  if (trimmed.size() < 2 || trimmed.front() != '[' || trimmed.back() != ']') return std::nullopt;
  const std::size_t close = trimmed.find(']');
  Section s;
  std::string name = upper(trim_blanks_view(trimmed.substr(1, close - 1)));
  if (name.size() <= kMaxTableName) s.name = std::move(name);
  for (std::size_t p = trimmed.find(']', close + 1); p != std::string_view::npos;
       p = trimmed.find(']', p + 1)) {
    if (trimmed[p - 1] == '*') s.selected = true;
  }
  return s;
}

void apply_key(const KeyLine& k, Settings& s) {
  const std::string& key = k.key;
  const std::string w = upper(k.word);
  if (key == "HEADER") {
    if (w == "Y") s.header = true;  // N never turns a header off
  } else if (key == "TRIM") {
    read_switch(w, s.trim);
  } else if (key == "TO_SJIS") {
    read_switch(w, s.to_sjis);
  } else if (key == "MAX_RECORD") {
    std::int32_t n = 0;
    const auto [end, ec] = std::from_chars(k.word.data(), k.word.data() + k.word.size(), n);
    if (ec == std::errc() && end == k.word.data() + k.word.size() && n > 0) s.max_record = n;
  } else if (key == "UNLIMITED") {
    s.unlimited = w == "Y";
  } else if (key == "DATE_FORMAT") {
    std::string format = k.word;
    strip_quotes(format, '\'');
    if (!format.empty() && is_valid_date_format(format, kCharsetUtf8)) {
      s.date_format = std::move(format);
    } else {
      s.date_format = kDefaultDateFormat;
    }
  } else if (key == "VIEW_PROGRAM") {
    if (w == "EXCEL") s.view_program = ViewProgram::kSpreadsheet;
    if (w == "NOTEPAD") s.view_program = ViewProgram::kTextEditor;
    if (w == "USER") s.view_program = ViewProgram::kUser;
    if (w == "NONE") s.view_program = ViewProgram::kNone;
  } else if (key == "VIEW_PROGRAM_PATH") {
    set_limited(unquoted(k.word), kMaxPath, s.view_program_path);
  } else if (key == "TABLE_MODE") {
    if (w == "SELECT") s.table_mode = TableMode::kSelect;
    if (w == "FIRST") s.table_mode = TableMode::kFirst;
    if (w == "PREVIEW") {
      s.table_mode = TableMode::kPreview;
      s.preview = true;
      s.header = true;
    }
  } else if (key == "DELIMITER") {
    std::string d = k.word;
    strip_quotes(d, '\'');
    if (w == "COMMA") s.delimiter = ',';
    else if (w == "SPACE") s.delimiter = ' ';
    else if (w == "TAB") s.delimiter = '\t';
    else if (d.size() == 1) s.delimiter = d[0];
  } else if (key == "WHERE_CONDITION") {
    read_switch(w, s.where_condition);
  } else if (key == "CSV_DELETE") {
    read_switch(w, s.delete_csv);
  } else if (key == "QUOTE") {
    read_switch(w, s.quote);
  } else if (key == "BATCH_OUTPUT") {
    read_switch(w, s.batch_output);
  } else if (key == "DDL") {
    s.ddl_kinds = parse_ddl_kinds(k.rest);
  } else if (key == "LOB_DIR") {
    set_limited(unquoted(k.word), kMaxPath, s.lob_dir);
  } else if (key == "LOB_FILE") {
    set_limited(unquoted(k.word), kMaxPath, s.lob_file);
  } else if (key == "LOB_TABLE") {
    set_limited(k.word, kMaxTableName, s.lob_table);
  } else if (key == "LOB_COLUMN") {
    set_limited(k.word, kMaxTableName, s.lob_column);
  } else if (key == "GREP") {
    s.grep = k.word;
  } else if (key == "SELECT_LIST") {
    set_limited(upper(k.rest), kMaxColumnText, s.select_list);
  } else if (key == "SELECT_LIST_CONDITION") {
    read_switch(w, s.select_list_on);
  } else if (key == "DB_CHARSET") {
    if (w.empty() || charset_id_from_name(w) != kCharsetUnknown) s.db_charset = w;
  } else if (key == "DEBUG") {
    if (w == "Y") s.debug = true;
  }
}

const char* yn(bool on) { return on ? "Y" : "N"; }

std::string key_line(std::string_view key, const Settings& s) {
  const std::string k(key);
  if (key == "HEADER") return k + "=" + yn(s.header);
  if (key == "TRIM") return k + "=" + yn(s.trim);
  if (key == "TO_SJIS") return k + "=" + yn(s.to_sjis);
  if (key == "MAX_RECORD") {
    return k + "=" + std::to_string(s.preview ? s.preview_saved_max_record : s.max_record);
  }
  if (key == "UNLIMITED") return k + "=" + yn(s.unlimited);
  if (key == "DATE_FORMAT") return k + "='" + s.date_format + "'";
  if (key == "VIEW_PROGRAM") {
    switch (s.view_program) {
      case ViewProgram::kSpreadsheet: return k + "=EXCEL";
      case ViewProgram::kTextEditor: return k + "=NOTEPAD";
      case ViewProgram::kUser: return k + "=USER";
      case ViewProgram::kNone: return k + "=NONE";
    }
  }
  if (key == "VIEW_PROGRAM_PATH") return k + "=\"" + s.view_program_path + "\"";
  if (key == "TABLE_MODE") {
    switch (s.table_mode) {
      case TableMode::kSelect: return k + "=SELECT";
      case TableMode::kFirst: return k + "=FIRST";
      case TableMode::kPreview: return k + "=PREVIEW";
    }
  }
  if (key == "DELIMITER") return k + (s.delimiter == ',' ? "=COMMA" : "=TAB");
  if (key == "WHERE_CONDITION") return k + "=" + yn(s.where_condition);
  if (key == "CSV_DELETE") return k + "=" + yn(s.delete_csv);
  if (key == "QUOTE") return k + "=" + yn(s.quote);
  if (key == "BATCH_OUTPUT") return k + "=" + yn(s.batch_output);
  if (key == "DDL") return k + "=" + ddl_kinds_text(s.ddl_kinds);
  if (key == "LOB_DIR") return k + "=\"" + s.lob_dir + "\"";
  if (key == "LOB_FILE") return k + "=\"" + s.lob_file + "\"";
  if (key == "LOB_TABLE") return k + "=" + s.lob_table;
  if (key == "LOB_COLUMN") return k + "=" + s.lob_column;
  if (key == "GREP") return k + "=" + s.grep;
  if (key == "SELECT_LIST") return k + "=" + s.select_list;
  return k + "=" + yn(s.select_list_on);  // SELECT_LIST_CONDITION
}

std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

void append_condition(std::string& out, const TableCondition& c) {
  out += "[" + c.table + (c.selected ? "][*]\r\n" : "][]\r\n");
  out += "WHERE=" + c.where + "\r\n";
  out += "COLUMN=" + c.columns + "\r\n";
}

enum class Encoding { kShiftJis, kUtf8 };

// The file's bytes, or nullopt when it cannot be opened or is far too large.
std::optional<std::string> slurp(const std::string& path) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(std::filesystem::u8path(path), ec);
  if (ec || size > kMaxFileSize) return std::nullopt;
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

std::string decode(std::string bytes, Encoding& encoding) {
  if (bytes.starts_with(kBom)) {
    encoding = Encoding::kUtf8;
    return bytes.substr(kBom.size());
  }
  encoding = Encoding::kShiftJis;
  CharsetConverter cv;
  sjis_to_utf8(cv, bytes);
  return bytes;
}

}  // namespace

std::string ddl_kinds_text(std::uint8_t kinds) {
  if (kinds == kDdlAll) return "ALL";
  std::string out;
  for (const DdlKindName& d : kDdlKindNames) {
    if ((kinds & d.bit) == 0) continue;
    if (!out.empty()) out += '|';
    out += d.name;
  }
  return out;
}

std::uint8_t parse_ddl_kinds(std::string_view text) {
  std::uint8_t kinds = 0;
  while (true) {
    const std::size_t bar = text.find('|');
    const std::string name = upper(trim_blanks_view(text.substr(0, bar)));
    if (name == "ALL") kinds = kDdlAll;
    for (const DdlKindName& d : kDdlKindNames) {
      if (name == d.name) kinds |= d.bit;
    }
    if (bar == std::string_view::npos) break;
    text.remove_prefix(bar + 1);
  }
  return kinds;
}

std::optional<std::string> standard_settings_path(const char* env_value, std::string_view exe_dir) {
  if (env_value != nullptr && *env_value != '\0' && std::string_view(env_value).size() < 513) {
    return std::string(env_value);
  }
  if (exe_dir.empty()) return std::nullopt;
  std::string path(exe_dir);
  if (path.back() != '\\' && path.back() != '/') path += '\\';
  return path + "Quillon.ini";
}

void parse_settings(std::string_view text, Settings& s) {
  s.conditions.clear();
  Section pending;  // an empty name: no section waiting for its WHERE line
  for (std::string_view raw : lines_of(text)) {
    const std::string_view line = trim_blanks_view(raw);
    if (line.empty() || is_comment(line)) continue;
    if (auto section = section_of(line)) {
      pending = std::move(*section);
    }
    const auto k = split_key_line(line);
    if (!k) continue;
    if (k->key == "WHERE") {
      if (pending.name.empty()) {
        s.query = k->rest;
      } else if (s.conditions.size() < kMaxConditions && k->rest.size() <= kMaxWhereText) {
        s.conditions.push_back({pending.name, k->rest, {}, pending.selected});
        pending = {};
      }
    } else if (k->key == "COLUMN") {
      if (!s.conditions.empty() && k->rest.size() <= kMaxColumnText) {
        s.conditions.back().columns = upper(k->rest);
      }
    } else {
      apply_key(*k, s);
    }
  }
  if (s.preview) {
    s.preview_saved_max_record = s.max_record;
    s.max_record = 5;
  }
  std::stable_sort(s.conditions.begin(), s.conditions.end(),
                   [](const TableCondition& a, const TableCondition& b) {
                     const std::string ua = upper(a.table), ub = upper(b.table);
                     return ua != ub ? ua < ub : a.where < b.where;
                   });
}

std::string render_settings(const std::optional<std::string>& old_text, const Settings& s,
                            bool standard, bool with_conditions) {
  std::string out;
  std::array<bool, kKeys.size()> met{};
  std::vector<bool> written(s.conditions.size(), false);
  bool db_charset_met = false;
  if (!old_text) {
    out += std::string(kStars) + "\r\n; Quillon ini file\r\n" + std::string(kStars) + "\r\n";
  } else {
    for (std::string_view raw : lines_of(*old_text)) {
      const std::string_view line = trim_blanks_view(raw);
      const std::string copy = std::string(raw) + "\r\n";
      if (is_comment(line)) {
        out += copy;
        continue;
      }
      if (auto section = section_of(line); section && with_conditions) {
        for (std::size_t i = 0; i < s.conditions.size(); ++i) {
          if (!written[i] && !section->name.empty() && s.conditions[i].table == section->name) {
            append_condition(out, s.conditions[i]);
            written[i] = true;
            break;
          }
        }
        continue;
      }
      const auto k = split_key_line(line);
      if (k && (k->key == "WHERE" || k->key == "COLUMN")) {
        if (!with_conditions) out += copy;
        continue;
      }
      if (k && k->key == "DB_CHARSET") {
        out += "DB_CHARSET=" + s.db_charset + "\r\n";
        db_charset_met = true;
        continue;
      }
      const auto known = k ? std::find(kKeys.begin(), kKeys.end(), k->key) : kKeys.end();
      if (known == kKeys.end()) {
        out += copy;
        continue;
      }
      out += key_line(*known, s) + "\r\n";
      met[static_cast<std::size_t>(known - kKeys.begin())] = true;
    }
  }
  if (standard) {
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
      if (!met[i]) out += key_line(kKeys[i], s) + "\r\n";
    }
    // Only a set the user named is written: the dump's own needs no line.
    if (!db_charset_met && !s.db_charset.empty()) out += "DB_CHARSET=" + s.db_charset + "\r\n";
  }
  if (with_conditions) {
    for (std::size_t i = 0; i < s.conditions.size(); ++i) {
      if (!written[i]) append_condition(out, s.conditions[i]);
    }
  }
  return out;
}

int read_settings(Settings& s, const std::string& path, bool named) {
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::u8path(path), ec)) return named ? -1 : 0;
  auto bytes = slurp(path);
  if (!bytes) return -1;
  Encoding encoding{};
  parse_settings(decode(std::move(*bytes), encoding), s);
  return 0;
}

int write_settings(const Settings& s, const std::string& path, bool named, bool with_conditions) {
  namespace fs = std::filesystem;
  const fs::path target = fs::u8path(path);
  std::error_code ec;
  std::optional<std::string> old_text;
  Encoding encoding = Encoding::kShiftJis;
  if (fs::exists(target, ec)) {
    auto bytes = slurp(path);
    if (!bytes) return -1;  // never replace a file that could not be read
    old_text = decode(std::move(*bytes), encoding);
  }
  std::string text = render_settings(old_text, s, !named, with_conditions);
  if (encoding == Encoding::kUtf8) {
    text.insert(0, kBom);
  } else {
    CharsetConverter cv;
    if (utf8_to_sjis(cv, text) != 0) return -1;
  }
  const fs::path work = fs::u8path(path + ".tmp");
  {
    std::ofstream out(work, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
      fs::remove(work, ec);
      return -1;
    }
  }
  fs::rename(work, target, ec);
  if (ec) {
    fs::remove(work, ec);
    return -1;
  }
  return 0;
}

}  // namespace qln::gui
