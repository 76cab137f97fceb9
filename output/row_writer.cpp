#include "output/row_writer.hpp"

#include <algorithm>
#include <cstring>

#include "core/messages.hpp"
#include "core/multibyte.hpp"
#include "core/platform.hpp"
#include "eval/sql_functions.hpp"
#include "output/output_file.hpp"

namespace qln {

namespace {

enum Dbms : std::int32_t {
  kDbmsOracle = 0,
  kDbmsDb2 = 3,
  kDbmsPostgres = 4,
  kDbmsMysql = 5,
  kDbmsSqlServer = 6,
};

bool ascii_only(std::string_view s) noexcept {
  unsigned char any = 0;
  for (char c : s) any |= static_cast<unsigned char>(c);
  return (any & 0x80) == 0;
}

bool iequals(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

// Only Shift_JIS has trail bytes that can look like ASCII punctuation.
bool steps_over_multibyte(int charset) noexcept { return charset == kCharsetSjis; }

// A name from the dump (in the database character set) as the output has it.
std::string_view output_name(RowWriter& w, std::string_view name) {
  int to = output_charset(w.o);
  int from = w.g.db_charset;
  if (ascii_only(name) || from == to || !has_conversion(from) || !has_conversion(to) ||
      to == kCharsetUtf16 || from == kCharsetUtf16)
    return name;
  w.name.assign(name);
  convert_charset(w.converter, from, to, w.name);
  return w.name;
}

// True when a CSV field with this text must be enclosed in double quotes.
bool needs_csv_quotes(std::string_view s, char delimiter, int charset) noexcept {
  bool step = steps_over_multibyte(charset);
  for (std::size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == static_cast<unsigned char>(delimiter) || c == '"' || c == '\n' || c == '\r')
      return true;
    if (step && c >= 0x80) i += static_cast<std::size_t>(mb_char_length(charset, c));
  }
  return false;
}

// Appends `s` with every `quote` byte doubled (and, for MySQL, every
// backslash), stepping over multibyte characters.
void append_doubled(std::string& out, std::string_view s, char quote, bool backslash,
                    int charset) {
  bool step = steps_over_multibyte(charset);
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    unsigned char u = static_cast<unsigned char>(c);
    if (step && u >= 0x80) {
      std::size_t n = 1 + static_cast<std::size_t>(mb_char_length(charset, u));
      n = std::min(n, s.size() - i);
      out.append(s.data() + i, n);
      i += n - 1;
      continue;
    }
    if (c == quote || (backslash && c == '\\')) out.push_back(c);
    out.push_back(c);
  }
}

void append_csv_field(std::string& out, std::string_view s, const ConvOptions& o, char delimiter,
                      bool trim, int charset) {
  if (needs_csv_quotes(s, delimiter, charset)) {
    out.push_back('"');
    append_doubled(out, s, '"', false, charset);
    out.push_back('"');
    return;
  }
  if (trim) {
    std::size_t end = s.find_last_not_of(' ');
    s = end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
  }
  if (is_on(o.is_quote)) {
    out.push_back('"');
    out.append(s);
    out.push_back('"');
  } else {
    out.append(s);
  }
}

void append_digits(std::string& out, long value, int width) {
  char buf[24];
  int n = 0;
  unsigned long v = static_cast<unsigned long>(value < 0 ? -value : value);
  do {
    buf[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (n < width) buf[n++] = '0';
  if (value < 0) out.push_back('-');
  while (n > 0) out.push_back(buf[--n]);
}

// The first `precision` digits of the nanoseconds (truncated, never rounded
// into the seconds).
void append_fraction(std::string& out, long nanosecond, int precision) {
  char buf[9];
  long ns = nanosecond;
  for (int i = 8; i >= 0; --i) {
    buf[i] = static_cast<char>('0' + ns % 10);
    ns /= 10;
  }
  out.append(buf, static_cast<std::size_t>(std::clamp(precision, 0, 9)));
}

// Takes o.date_printf apart into the literal texts around its fields.
void refresh_date_layout(RowWriter& w) {
  if (w.compiled_from == w.o.date_printf && !w.date_literals.empty()) return;
  w.compiled_from = w.o.date_printf;
  w.date_literals.assign(1, std::string{});
  const std::string& f = w.o.date_printf;
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (f[i] == '%' && i + 1 < f.size() && f[i + 1] == '%') {
      w.date_literals.back().push_back('%');
      ++i;
    } else if (f.compare(i, 4, "%04d") == 0 || f.compare(i, 4, "%02d") == 0) {
      w.date_literals.emplace_back();
      i += 3;
    } else {
      w.date_literals.back().push_back(f[i]);
    }
  }
}

// The date or timestamp `v` by the compiled date format, a timestamp's
// fraction right after its seconds.
int append_formatted_date(RowWriter& w, std::string& out, const SqlValue& v, int precision) {
  const ConvOptions& o = w.o;
  bool fraction = v.type == VT_TIMESTAMP && precision > 0;
  if (o.date_format_kind >= 1 && o.date_format_kind <= 3) {
    refresh_date_layout(w);
    const long parts[] = {v.year, v.month, v.day, v.hour, v.minute, v.second};
    int wanted = o.date_format_kind == 1 ? 3 : (o.date_format_kind == 2 ? 5 : 6);
    int fields = std::min(wanted, static_cast<int>(w.date_literals.size()) - 1);
    for (int i = 0; i < fields; ++i) {
      out.append(w.date_literals[static_cast<std::size_t>(i)]);
      append_digits(out, parts[i], i == 0 ? 4 : 2);
    }
    if (fraction && fields == 6) {
      out.push_back('.');
      append_fraction(out, v.nanosecond, precision);
    }
    out.append(w.date_literals[static_cast<std::size_t>(fields)]);
    return 0;
  }
  if (format_date(v, o.date_format, output_charset(o), w.work) != 0) {
    return fail(w.g, 2138, "TO_CHAR");
  }
  out.append(w.work);
  if (fraction) {
    std::string_view f = o.date_format;
    std::size_t end = f.find_last_not_of(' ');
    if (end != std::string_view::npos && end >= 1 && (f[end] == 'S' || f[end] == 's') &&
        (f[end - 1] == 'S' || f[end - 1] == 's')) {
      out.push_back('.');
      append_fraction(out, v.nanosecond, precision);
    }
  }
  return 0;
}

const ColumnDef* column_at(const TableDefinition& table, int index) noexcept {
  if (index < 0 || static_cast<std::size_t>(index) >= table.columns.size()) return nullptr;
  return &table.columns[static_cast<std::size_t>(index)];
}

const SqlValue* value_at(const RowValues& row, int index) noexcept {
  if (index < 0 || index >= row.count) return nullptr;
  return &row[index];
}

// ----- INSERT -----

bool plain_identifier(std::string_view s) noexcept {
  if (s.empty() || !(s[0] >= 'A' && s[0] <= 'Z')) return false;
  for (char c : s) {
    bool ok = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' || c == '#';
    if (!ok) return false;
  }
  return true;
}

// Names Oracle needed quotes for (lower case, blanks, ...) keep them.
void append_identifier(std::string& out, std::string_view name, std::int32_t dbms, int charset) {
  if (plain_identifier(name)) {
    out.append(name);
    return;
  }
  char open = '"', close = '"';
  if (dbms == kDbmsMysql) open = close = '`';
  if (dbms == kDbmsSqlServer) {
    open = '[';
    close = ']';
  }
  out.push_back(open);
  append_doubled(out, name, close, false, charset);
  out.push_back(close);
}

bool insert_column_type(std::int32_t t) noexcept {
  switch (t) {
    case kColChar:
    case kColNchar:
    case kColVarchar2:
    case kColNvarchar2:
    case kColNumber:
    case kColFloat:
    case kColDate:
    case kColTimestamp:
      return true;
    default:
      return false;
  }
}

// "2011-12-31 23:59:59" (with `sep` between the date parts); a year before
// Christ gets its sign.
void append_date_time(std::string& out, const SqlValue& v, char sep) {
  append_digits(out, v.year, 4);
  out.push_back(sep);
  append_digits(out, v.month, 2);
  out.push_back(sep);
  append_digits(out, v.day, 2);
  out.push_back(' ');
  append_digits(out, v.hour, 2);
  out.push_back(':');
  append_digits(out, v.minute, 2);
  out.push_back(':');
  append_digits(out, v.second, 2);
}

void append_insert_date(std::string& out, const SqlValue& v, int precision, std::int32_t dbms) {
  bool ts = v.type == VT_TIMESTAMP && precision > 0;
  auto fraction = [&](int max_digits) {
    if (!ts) return;
    out.push_back('.');
    append_fraction(out, v.nanosecond, std::min(precision, max_digits));
  };
  switch (dbms) {
    case kDbmsDb2:
      out.append("TIMESTAMP('");
      append_date_time(out, v, '-');
      fraction(9);
      out.append("')");
      return;
    case kDbmsPostgres: {
      // PostgreSQL counts years before Christ with "BC" and has no sign.
      SqlValue shown;
      shown.year = static_cast<std::int16_t>(v.year < 0 ? -v.year : v.year);
      shown.month = v.month;
      shown.day = v.day;
      shown.hour = v.hour;
      shown.minute = v.minute;
      shown.second = v.second;
      out.append("TIMESTAMP '");
      append_date_time(out, shown, '-');
      fraction(6);
      if (v.year < 0) out.append(" BC");
      out.push_back('\'');
      return;
    }
    case kDbmsMysql:
      out.append("STR_TO_DATE('");
      append_date_time(out, v, '-');
      fraction(6);
      out.append(ts ? "','%Y-%m-%d %H:%i:%s.%f')" : "','%Y-%m-%d %H:%i:%s')");
      return;
    case kDbmsSqlServer:
      out.append("CONVERT(DATETIME2,'");
      append_date_time(out, v, '-');
      fraction(7);
      out.append(ts ? "',121)" : "',120)");
      return;
    default: {
      const char* year = v.year < 0 ? "SYYYY" : "YYYY";
      out.append(ts ? "TO_TIMESTAMP('" : "TO_DATE('");
      append_date_time(out, v, '/');
      fraction(9);
      out.append("','");
      out.append(year);
      out.append("/MM/DD HH24:MI:SS");
      if (ts) {
        out.append(".FF");
        out.push_back(static_cast<char>('0' + std::min(precision, 9)));
      }
      out.append("')");
      return;
    }
  }
}

}  // namespace

void ColumnOrder::set_identity(int n) {
  index.resize(static_cast<std::size_t>(std::max(n, 0)));
  for (int i = 0; i < n; ++i) index[static_cast<std::size_t>(i)] = i;
  width.clear();
}

int flush_line(RowWriter& w) {
  if (w.line.empty()) return 0;
  if (std::fwrite(w.line.data(), 1, w.line.size(), w.g.out_stream) != w.line.size()) {
    std::string name = w.o.table_out != nullptr && !w.o.out_fname.empty() ? w.o.out_fname.back()
                                                                           : w.o.out_file;
    return fail(w.g, 3133, name);
  }
  return 0;
}

int close_table_output(GlobalParams& g, ConvOptions& o) {
  if (o.table_out == nullptr) return 0;
  std::FILE* f = o.table_out;
  o.table_out = nullptr;
  if (g.out_stream == f) g.out_stream = stdout;
  if (std::fclose(f) != 0) return fail(g, 3133, o.out_fname.empty() ? "" : o.out_fname.back());
  return 0;
}

int open_table_output(GlobalParams& g, ConvOptions& o, std::string_view table_name) {
  if (g.run_mode != 41 && g.run_mode != 42) return 0;
  if (o.read_step != 0 || o.output_mode == kOutInsert || o.output_mode == kOutDdl) return 0;
  // One output for everything: standard output or the file the front end
  // opened. A preview, a keyword search or a run without an output path
  // writes there.
  if ((is_on(o.is_preview) || is_on(o.is_grep) || o.log_fname.empty()) &&
      o.output_mode != kOutCsvBatch)
    return 0;
  bool matched = false;
  for (TableCondition& c : o.where_statement) {
    if (iequals(c.table_name, table_name)) {
      c.not_found = 0;
      matched = true;
      break;
    }
  }
  if (o.output_mode == kOutLobFiles) return 0;
  if (!matched && is_on(o.is_condition) && o.output_mode != kOutCsvBatch) return 0;

  std::string path;
  std::size_t cut = o.log_fname.find_last_of("/\\");
  if (cut != std::string::npos && cut > 0) {
    path.assign(o.log_fname, 0, cut);
    path.push_back(path_separator());
  }
  // A table name is data from the dump: it must not lead out of the folder.
  for (char c : table_name) path.push_back(c == '/' || c == '\\' || c == '\0' ? '_' : c);
  path.append(".csv");

  if (close_table_output(g, o) != 0) return -1;
  std::FILE* f = open_output_file(o, path);
  if (f == nullptr) {
    g.out_stream = stdout;
    return fail(g, 1060, path);
  }
  g.out_stream = f;
  o.table_out = f;
  if (is_on(o.is_output_bom) && output_charset(o) == kCharsetUtf8 && write_utf8_bom(f) != 0)
    return fail(g, 3133, path);
  return 0;
}

int write_header(RowWriter& w, const TableDefinition& table, const ColumnOrder& order) {
  const ConvOptions& o = w.o;
  if (!is_on(o.is_header) || o.row_format == 2 || o.output_mode == kOutLobFiles) return 0;
  int charset = output_charset(o);
  w.line.clear();
  if (o.row_format == 0 && !order.width.empty()) {
    std::string rule;
    for (int k = 0; k < order.count(); ++k) {
      const ColumnDef* c = column_at(table, order.index[static_cast<std::size_t>(k)]);
      if (c == nullptr) continue;
      std::size_t width = static_cast<std::size_t>(k) < order.width.size()
                              ? static_cast<std::size_t>(std::max(order.width[static_cast<std::size_t>(k)], 0))
                              : c->name.size();
      if (!w.line.empty()) {
        w.line.push_back(' ');
        rule.push_back(' ');
      }
      std::string_view name = output_name(w, c->name);
      name = name.substr(0, cut_at_char_boundary(charset, name, width));
      w.line.append(name);
      w.line.append(width - name.size(), ' ');
      rule.append(width, '-');
    }
    std::size_t end = w.line.find_last_not_of(' ');
    w.line.resize(end == std::string::npos ? 0 : end + 1);
    w.line.push_back('\n');
    w.line.append(rule);
    w.line.push_back('\n');
    return flush_line(w);
  }
  bool first = true;
  for (std::int32_t idx : order.index) {
    const ColumnDef* c = column_at(table, idx);
    if (c == nullptr) continue;
    if (!first) w.line.push_back(w.delimiter);
    first = false;
    std::string_view name = output_name(w, c->name);
    // A first field "ID" makes spreadsheets take the file for another format.
    bool id_name = name == "ID" || name.starts_with("ID_");
    if (id_name && !needs_csv_quotes(name, w.delimiter, charset)) {
      w.line.push_back('"');
      w.line.append(name);
      w.line.push_back('"');
    } else if (needs_csv_quotes(name, w.delimiter, charset)) {
      w.line.push_back('"');
      append_doubled(w.line, name, '"', false, charset);
      w.line.push_back('"');
    } else {
      w.line.append(name);
    }
  }
  w.line.push_back('\n');
  return flush_line(w);
}

int write_csv_row(RowWriter& w, const TableDefinition& table, const ColumnOrder& order,
                  const RowValues& row) {
  const ConvOptions& o = w.o;
  int charset = output_charset(o);
  bool trim = is_on(o.is_trim);
  std::string& line = w.line;
  line.clear();
  for (std::int32_t idx : order.index) {
    if (idx < 0) continue;
    const SqlValue* v = value_at(row, idx);
    if (v != nullptr) {
      switch (v->type) {
        case VT_TEXT:
        case VT_BYTES:
          append_csv_field(line, v->view(), o, w.delimiter, trim, charset);
          break;
        case VT_NUMBER: {
          const ColumnDef* c = column_at(table, idx);
          if (v->number.is_negative()) line.push_back('-');
          append_number_text(line, *v, c != nullptr ? c->scale : 0, false);
          break;
        }
        case VT_SYSDATE:
        case VT_DATE:
        case VT_TIMESTAMP: {
          const ColumnDef* c = column_at(table, idx);
          int precision = c != nullptr ? timestamp_precision(*c) : 6;
          std::string& text = w.name;
          text.clear();
          if (append_formatted_date(w, text, *v, precision) != 0) return -1;
          // A date format may carry the delimiter or a quote itself.
          if (needs_csv_quotes(text, w.delimiter, charset)) {
            line.push_back('"');
            append_doubled(line, text, '"', false, charset);
            line.push_back('"');
          } else if (is_on(o.is_quote)) {
            line.push_back('"');
            line.append(text);
            line.push_back('"');
          } else {
            line.append(text);
          }
          break;
        }
        default:
          break;
      }
    }
    line.push_back(w.delimiter);
  }
  if (!line.empty()) line.pop_back();
  line.push_back('\n');
  if (line.size() >= kMaxCsvLine) {
    line.clear();
    return fail(w.g, 3129, "4194304");
  }
  return flush_line(w);
}

int write_insert_row(RowWriter& w, const TableDefinition& table, const ColumnOrder& order,
                     const RowValues& row) {
  const ConvOptions& o = w.o;
  int charset = output_charset(o);
  std::int32_t dbms = o.dbms_type;
  std::string& line = w.line;
  std::string& values = w.work;
  line.clear();
  values.clear();
  line.append("INSERT INTO ");
  append_identifier(line, output_name(w, table.table_name), dbms, charset);
  line.append(" (");
  bool any = false;
  for (std::int32_t idx : order.index) {
    const ColumnDef* c = column_at(table, idx);
    if (c == nullptr || !insert_column_type(c->type)) continue;
    if (any) {
      line.push_back(',');
      values.push_back(',');
    }
    any = true;
    append_identifier(line, output_name(w, c->name), dbms, charset);
    const SqlValue* v = value_at(row, idx);
    switch (v == nullptr ? VT_NULL : v->type) {
      case VT_TEXT:
      case VT_BYTES: {
        bool national = c->type == kColNchar || c->type == kColNvarchar2;
        if (national && dbms == kDbmsSqlServer) values.push_back('N');
        values.push_back('\'');
        append_doubled(values, v->view(), '\'', dbms == kDbmsMysql, charset);
        values.push_back('\'');
        break;
      }
      case VT_NUMBER:
        if (v->number.is_negative()) values.push_back('-');
        append_number_text(values, *v, c->scale, true);
        break;
      case VT_SYSDATE:
      case VT_DATE:
      case VT_TIMESTAMP:
        append_insert_date(values, *v, timestamp_precision(*c), dbms);
        break;
      default:
        values.append("NULL");
        break;
    }
  }
  // A table of large objects only has nothing an INSERT could carry.
  if (!any) return 0;
  line.append(") VALUES (");
  line.append(values);
  line.append(");\n");
  return flush_line(w);
}

int write_row(RowWriter& w, const TableDefinition& table, const ColumnOrder& order,
              const RowValues& row) {
  if (w.o.output_mode == kOutLobFiles) return 0;
  if (w.o.row_format == 2) return write_insert_row(w, table, order, row);
  return write_csv_row(w, table, order, row);
}

}  // namespace qln
