#include "dumpwriter/column_layout.hpp"

#include <charconv>
#include <string_view>

namespace qln::dumpwriter {

namespace {

constexpr std::uint16_t kNumberLength = 22;
constexpr std::uint16_t kLobLength = 72;  // what exp writes for a BLOB descriptor
constexpr std::uint16_t kNationalUtf16 = 2000;

// Upper case outside double quotes, runs of blanks folded to one.
std::string normalise(std::string_view type) {
  std::string out;
  bool quoted = false;
  for (char c : type) {
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == ' ' || c == '\t' || c == '\n')) {
      if (!out.empty() && out.back() != ' ') out.push_back(' ');
      continue;
    }
    if (!quoted && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    out.push_back(c);
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

bool starts_with(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The base word (up to '(' or the end) and the first number inside the
// parentheses, if any.
struct TypeParts {
  std::string base;
  long size = -1;
  bool char_semantics = false;
};

TypeParts split(const std::string& t) {
  TypeParts p;
  const std::size_t open = t.find('(');
  p.base = t.substr(0, open);
  while (!p.base.empty() && p.base.back() == ' ') p.base.pop_back();
  if (open != std::string::npos) {
    std::size_t i = open + 1;
    while (i < t.size() && t[i] == ' ') ++i;
    const char* first = t.data() + i;
    long v = 0;
    auto [ptr, ec] = std::from_chars(first, t.data() + t.size(), v);
    if (ec == std::errc() && ptr != first) p.size = v;
    const std::size_t close = t.find(')', open);
    const std::string_view inner(t.data() + open, (close == std::string::npos ? t.size() : close) - open);
    p.char_semantics = inner.find("CHAR") != std::string_view::npos;
  }
  return p;
}

std::uint16_t bytes_per_char(std::uint16_t charset_id) {
  switch (charset_id) {
    case 873: return 4;  // AL32UTF8
    case 871: return 3;  // UTF8
    case kNationalUtf16: return 2;
    case 832: case 830: case 829: return 2;  // Japanese double-byte sets
    default: return 1;
  }
}

std::uint16_t checked_length(long n, const ColumnSpec& c) {
  if (n < 1 || n > 65535) throw DumpWriteError("column " + c.name + ": bad length in " + c.type);
  return static_cast<std::uint16_t>(n);
}

std::string unquote(std::string_view s) {
  std::string out;
  for (char c : s)
    if (c != '"') out.push_back(c);
  return out;
}

void describe_text(ColumnLayout& l, const TypeParts& p, const ColumnSpec& c, const DumpOptions& o,
                   bool national, bool fixed) {
  const long n = p.size < 0 ? 1 : p.size;
  if (p.size < 0 && !fixed) throw DumpWriteError("column " + c.name + ": " + c.type + " needs a length");
  l.form = national ? ValueForm::ntext : ValueForm::text;
  l.oracle_type = fixed ? 96 : 1;
  l.has_charset = true;
  l.charset_form = national ? 2 : 1;
  l.charset_id = national ? o.nchar_charset_id : o.db_charset_id;
  const long bytes = national ? n * bytes_per_char(o.nchar_charset_id)
                              : (p.char_semantics ? n * bytes_per_char(o.db_charset_id) : n);
  l.max_length = checked_length(bytes, c);
  l.declared_length = static_cast<std::uint32_t>(n);
}

}  // namespace

ColumnLayout describe_column(const ColumnSpec& c, const DumpOptions& o) {
  const std::string t = normalise(c.type);
  const TypeParts p = split(t);
  ColumnLayout l;
  if (t.empty()) throw DumpWriteError("column " + c.name + " has no type");

  if (p.base == "VARCHAR2" || p.base == "VARCHAR") {
    describe_text(l, p, c, o, false, false);
  } else if (p.base == "NVARCHAR2") {
    describe_text(l, p, c, o, true, false);
  } else if (p.base == "CHAR") {
    describe_text(l, p, c, o, false, true);
  } else if (p.base == "NCHAR") {
    describe_text(l, p, c, o, true, true);
  } else if (p.base == "NUMBER" || p.base == "FLOAT" || p.base == "INTEGER" || p.base == "INT" ||
             p.base == "SMALLINT" || p.base == "DECIMAL" || p.base == "NUMERIC" || p.base == "REAL" ||
             p.base == "DOUBLE PRECISION") {
    l.form = ValueForm::number;
    l.oracle_type = 2;
    l.max_length = kNumberLength;
  } else if (t == "DATE") {
    l.form = ValueForm::date;
    l.oracle_type = 12;
    l.max_length = 7;
  } else if (starts_with(t, "TIMESTAMP")) {
    if (t.find("LOCAL TIME ZONE") != std::string::npos) {
      l.form = ValueForm::timestamp;
      l.oracle_type = 231;
      l.max_length = 11;
    } else if (t.find("TIME ZONE") != std::string::npos) {
      l.form = ValueForm::other;
      l.oracle_type = 181;
      l.max_length = 13;
    } else {
      l.form = ValueForm::timestamp;
      l.oracle_type = 180;
      l.max_length = 11;
    }
  } else if (starts_with(t, "INTERVAL YEAR")) {
    l.form = ValueForm::other;
    l.oracle_type = 182;
    l.max_length = 5;
  } else if (starts_with(t, "INTERVAL DAY")) {
    l.form = ValueForm::other;
    l.oracle_type = 183;
    l.max_length = 11;
  } else if (p.base == "RAW") {
    if (p.size < 0) throw DumpWriteError("column " + c.name + ": RAW needs a length");
    l.form = ValueForm::raw;
    l.oracle_type = 23;
    l.max_length = checked_length(p.size, c);
  } else if (t == "LONG RAW") {
    l.form = ValueForm::long_raw;
    l.oracle_type = 24;
  } else if (t == "LONG") {
    l.form = ValueForm::long_text;
    l.oracle_type = 8;
  } else if (t == "CLOB" || t == "NCLOB") {
    const bool national = t == "NCLOB";
    l.form = national ? ValueForm::nclob : ValueForm::clob;
    l.oracle_type = 112;
    l.max_length = kLobLength;
    l.has_charset = true;
    l.charset_form = national ? 2 : 1;
    l.charset_id = national ? o.nchar_charset_id : o.db_charset_id;
  } else if (t == "BLOB") {
    l.form = ValueForm::blob;
    l.oracle_type = 113;
    l.max_length = kLobLength;
  } else if (t == "BFILE") {
    l.form = ValueForm::object;
    l.oracle_type = 114;
    l.max_length = 530;
  } else if (t == "ROWID") {
    l.form = ValueForm::rowid;
    l.oracle_type = 69;
    l.max_length = 10;
  } else if (p.base == "UROWID") {
    l.form = ValueForm::other;
    l.oracle_type = 208;
    l.max_length = p.size < 0 ? 4000 : checked_length(p.size, c);
    l.has_charset = true;
    l.charset_form = 1;
    l.charset_id = o.db_charset_id;
  } else if (t == "XMLTYPE" || t == "SYS.XMLTYPE" || t == "\"SYS\".\"XMLTYPE\"") {
    l.form = ValueForm::object;
    l.oracle_type = 58;
    l.max_length = 2000;
    l.type_owner = "SYS";
    l.type_name = "XMLTYPE";
  } else if (t.find('(') == std::string::npos) {
    // A named object type or collection, optionally owner-qualified.
    l.form = ValueForm::object;
    l.oracle_type = 121;
    l.max_length = 2000;
    const std::size_t dot = t.rfind("\".\"") != std::string::npos ? t.rfind("\".\"") + 1 : t.find('.');
    if (dot != std::string::npos) {
      l.type_owner = unquote(t.substr(0, dot));
      l.type_name = unquote(t.substr(dot + 1));
    } else {
      l.type_owner = o.user;
      l.type_name = unquote(t);
    }
  } else {
    throw DumpWriteError("column " + c.name + ": unknown type " + c.type);
  }

  if (c.oracle_type != 0) {
    if (c.oracle_type < 1 || c.oracle_type > 255) throw DumpWriteError("column " + c.name + ": bad descriptor type");
    l.oracle_type = static_cast<std::uint8_t>(c.oracle_type);
  }
  if (c.max_length >= 0) {
    if (c.max_length > 65535) throw DumpWriteError("column " + c.name + ": bad descriptor length");
    l.max_length = static_cast<std::uint16_t>(c.max_length);
  }
  return l;
}

}  // namespace qln::dumpwriter
