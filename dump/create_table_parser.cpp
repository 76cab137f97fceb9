#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "core/messages.hpp"
#include "dump/create_table_parser.hpp"
#include "values/sql_value.hpp"

namespace qln {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_word_char(char c) {
  auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || c == '$' || c == '#' || u >= 0x80;
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

// Walks a statement one SQL word at a time: a quoted name (quotes removed),
// a plain word, or one punctuation character.
struct Words {
  std::string_view s;
  std::size_t i = 0;

  void skip_blanks() {
    while (i < s.size() && is_blank(s[i])) ++i;
  }
  bool at_end() {
    skip_blanks();
    return i >= s.size();
  }
  char peek() {
    skip_blanks();
    return i < s.size() ? s[i] : '\0';
  }
  // The next word; `quoted` tells a quoted name from a keyword.
  std::string next(bool* quoted = nullptr) {
    skip_blanks();
    if (quoted) *quoted = false;
    if (i >= s.size()) return {};
    if (s[i] == '"') {
      std::size_t end = s.find('"', i + 1);
      if (end == std::string_view::npos) end = s.size();
      std::string w(s.substr(i + 1, end - i - 1));
      i = std::min(end + 1, s.size());
      if (quoted) *quoted = true;
      return w;
    }
    if (!is_word_char(s[i])) return std::string(1, s[i++]);
    std::size_t start = i;
    while (i < s.size() && is_word_char(s[i])) ++i;
    return std::string(s.substr(start, i - start));
  }
  // A possibly qualified name ("OWNER"."NAME"): the last part.
  std::string name(bool* quoted = nullptr) {
    std::string w = next(quoted);
    while (peek() == '.') {
      ++i;
      w = next(quoted);
    }
    return w;
  }
};

// Splits the text inside the column list's parentheses at top-level commas.
// Returns false when the list is not closed.
bool split_column_list(std::string_view s, std::size_t open, std::vector<std::string_view>& items) {
  int depth = 0;
  char quote = 0;
  std::size_t start = open + 1;
  for (std::size_t i = open; i < s.size(); ++i) {
    char c = s[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (--depth == 0) {
        items.push_back(s.substr(start, i - start));
        return true;
      }
    } else if (c == ',' && depth == 1) {
      items.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  return false;
}

// Cuts a column's definition text into its type and the rest (DEFAULT,
// NOT NULL, ...). The type text is rebuilt without blanks before its
// parenthesis, so that "TIMESTAMP (6)" reads as "TIMESTAMP(6)".
void split_type(std::string_view def, std::string& type, std::string& rest) {
  Words w{def};
  type.clear();
  bool quoted = false;
  std::string first = w.next(&quoted);
  if (quoted) {
    // A user-defined type such as "MDSYS"."SDO_GEOMETRY".
    type.assign(1, '"').append(first).push_back('"');
    while (w.peek() == '.') {
      ++w.i;
      type.append(".\"").append(w.next()).push_back('"');
    }
  } else {
    type = first;
    std::string up = upper(first);
    auto take_group = [&]() {
      if (w.peek() != '(') return;
      std::size_t open = w.i;
      int depth = 0;
      for (; w.i < def.size(); ++w.i) {
        if (def[w.i] == '(') ++depth;
        if (def[w.i] == ')' && --depth == 0) {
          ++w.i;
          break;
        }
      }
      type += def.substr(open, w.i - open);
    };
    auto next_is = [&](std::string_view word) {
      Words look = w;
      return upper(look.next()) == word;
    };
    if ((up == "LONG" && next_is("RAW")) || (up == "DOUBLE" && next_is("PRECISION"))) {
      type.append(1, ' ').append(w.next());
    }
    take_group();
    if (up == "INTERVAL") {
      // INTERVAL DAY(2) TO SECOND(6), INTERVAL YEAR(2) TO MONTH
      for (int k = 0; k < 2; ++k) {
        if (next_is("TO")) type.append(1, ' ').append(w.next());
        if (!w.at_end() && w.peek() != ',' && is_word_char(w.peek())) {
          std::string part = upper(Words{w}.next());
          if (part == "DAY" || part == "YEAR" || part == "SECOND" || part == "MONTH") {
            type.append(1, ' ').append(w.next());
            take_group();
          }
        }
      }
    }
    if (next_is("WITH")) {
      Words look = w;
      look.next();
      std::string a = upper(look.next());
      std::string b = upper(look.next());
      if (a == "TIME" && b == "ZONE") {
        type += " WITH TIME ZONE";
        w = look;
      } else if (a == "LOCAL" && b == "TIME" && upper(look.next()) == "ZONE") {
        type += " WITH LOCAL TIME ZONE";
        w = look;
      }
    }
  }
  rest = std::string(trim(def.substr(std::min(w.i, def.size()))));
}

bool is_constraint_word(const std::string& up) {
  return up == "PRIMARY" || up == "CONSTRAINT" || up == "FOREIGN" || up == "UNIQUE" ||
         up == "CHECK" || up == "SUPPLEMENTAL" || up == "SCOPE" || up == "REF";
}

std::string display_type(const ColumnDef& c, const std::string& raw) {
  char buf[64];
  switch (c.type) {
    case kColChar: std::snprintf(buf, sizeof buf, "CHAR(%d)", c.length); return buf;
    case kColNchar: std::snprintf(buf, sizeof buf, "NCHAR(%d)", c.length); return buf;
    case kColVarchar2: std::snprintf(buf, sizeof buf, "VARCHAR2(%d)", c.length); return buf;
    case kColNvarchar2: std::snprintf(buf, sizeof buf, "NVARCHAR2(%d)", c.length); return buf;
    case kColNumber:
      if (c.scale > 0) std::snprintf(buf, sizeof buf, "NUMBER(%d.%d)", c.precision, c.scale);
      else if (c.precision > 0) std::snprintf(buf, sizeof buf, "NUMBER(%d)", c.precision);
      else return "NUMBER";
      return buf;
    case kColDate: return "DATE";
    // The declared precision decides how many fraction digits are written,
    // and a time zone is part of the type.
    case kColTimestamp: return raw;
    case kColBlob: return "BLOB";
    case kColClob: return "CLOB";
    case kColNclob: return "NCLOB";
    case kColLong: return "LONG";
    case kColRaw: std::snprintf(buf, sizeof buf, "RAW(%d)", c.length); return buf;
    case kColLongRaw: return "LONG RAW";
    case kColFloat: std::snprintf(buf, sizeof buf, "FLOAT(%d)", c.length); return buf;
    case kColRowid: return "ROWID";
    case kColInterval: return "INTERVAL";
    default: return raw;
  }
}

// The number in the parentheses after `word` ("DAY(3)"), `fallback` without.
int number_after(std::string_view up, std::string_view word, int fallback) {
  const std::size_t at = up.find(word);
  if (at == std::string_view::npos) return fallback;
  std::size_t i = at + word.size();
  while (i < up.size() && up[i] == ' ') ++i;
  if (i >= up.size() || up[i] != '(') return fallback;
  int n = 0;
  for (++i; i < up.size() && up[i] >= '0' && up[i] <= '9' && n < 100; ++i) n = n * 10 + (up[i] - '0');
  return n;
}

// The types whose values carry a zone, an interval or a binary float: their
// bytes are decoded in their own form. False for any other type.
bool refine_type(const std::string& type_text, ColumnDef& c) {
  const std::string up = upper(type_text);
  if (c.type == kColTimestamp && up.find("TIME ZONE") != std::string::npos) {
    c.type = up.find("LOCAL") != std::string::npos ? kColTimestampLtz : kColTimestampTz;
    c.precision = c.scale = number_after(up, "TIMESTAMP", 6);
  } else if (c.type == kColInterval && up.find("YEAR") != std::string::npos) {
    c.type = kColIntervalYm;
    c.precision = number_after(up, "YEAR", 2);
  } else if (c.type == kColInterval && up.find("DAY") != std::string::npos) {
    c.type = kColIntervalDs;
    c.precision = number_after(up, "DAY", 2);
    c.scale = number_after(up, "SECOND", 6);
  } else if (up == "BINARY_FLOAT" || up == "BINARY_DOUBLE") {
    c.type = up == "BINARY_FLOAT" ? kColBinaryFloat : kColBinaryDouble;
  } else {
    return false;
  }
  return true;
}

// Sizes no Oracle column can have mark a damaged definition: a scale of
// millions would pad every number of the table to that many digits.
bool sizes_possible(const ColumnDef& c) {
  switch (c.type) {
    case kColChar: case kColNchar: return c.length >= 0 && c.length <= 2000;
    case kColVarchar2: case kColNvarchar2: case kColRaw: return c.length >= 0 && c.length <= 32767;
    case kColNumber: case kColFloat: return c.precision >= 0 && c.precision <= 126 && c.scale >= -84 && c.scale <= 127;
    default: return true;
  }
}

}  // namespace

int parse_create_table(GlobalParams& g, std::string_view statement, TableDefinition& table) {
  table.columns.clear();
  table.indexes.clear();
  table.lob_count = 0;
  Words w{statement};
  if (upper(w.next()) != "CREATE") return fail(g, MessageCode::kTableWithoutColumns, "");
  std::string word = upper(w.next());
  // CREATE GLOBAL TEMPORARY TABLE
  while (word == "GLOBAL" || word == "TEMPORARY") word = upper(w.next());
  if (word != "TABLE") return fail(g, MessageCode::kTableWithoutColumns, "");
  std::string name = w.name();
  if (name.empty() || name.size() > kMaxNameLen) return fail(g, MessageCode::kTableWithoutColumns, name);
  table.table_name = name;
  if (w.peek() != '(') return 0;  // no column list (an object table, AS SELECT)

  std::vector<std::string_view> items;
  if (!split_column_list(statement, w.i, items)) return fail(g, MessageCode::kTableWithoutColumns, name);
  for (std::string_view item : items) {
    item = trim(item);
    if (item.empty()) return fail(g, MessageCode::kTableWithoutColumns, name);
    Words cw{item};
    bool quoted = false;
    std::string col = cw.next(&quoted);
    if (!quoted && is_constraint_word(upper(col))) continue;
    if (!quoted && (col.empty() || !is_word_char(col[0]))) return fail(g, MessageCode::kTableWithoutColumns, name);
    if (col.size() > kMaxNameLen) return fail(g, MessageCode::kTableWithoutColumns, name);
    if (static_cast<int>(table.columns.size()) >= kMaxTableColumns) {
      char n[16];
      std::snprintf(n, sizeof n, "%d", kMaxTableColumns);
      return fail(g, MessageCode::kTooManyColumns, n);
    }
    ColumnDef c;
    c.name = col;
    std::string type_text;
    split_type(item.substr(cw.i), type_text, c.rest);
    if (type_text.empty() || type_text.size() > 80) return fail(g, MessageCode::kTableWithoutColumns, name);
    TypeText t = parse_type_text(type_text);
    c.type = t.type < 0 ? kColOther : t.type;
    if (refine_type(type_text, c)) {
      c.type_text = type_text;
      c.nullable = upper(c.rest).find("NOT NULL") == std::string::npos;
      table.columns.push_back(std::move(c));
      continue;
    }
    switch (c.type) {
      case kColChar: case kColNchar: case kColVarchar2: case kColNvarchar2: case kColNumber:
      case kColTimestamp: case kColRaw: case kColFloat:
        c.length = t.first;
        c.precision = t.first;
        c.scale = t.second;
        break;
      default:
        break;
    }
    if (!sizes_possible(c)) return fail(g, MessageCode::kTableWithoutColumns, name);
    c.type_text = display_type(c, type_text);
    c.nullable = upper(c.rest).find("NOT NULL") == std::string::npos;
    if (is_large_object_type(c.type)) ++table.lob_count;
    table.columns.push_back(std::move(c));
  }
  return 0;
}

int parse_create_index(std::string_view statement, std::string_view table, IndexDef& index) {
  Words w{statement};
  if (upper(w.next()) != "CREATE") return 0;
  std::string word = upper(w.next());
  if (word == "UNIQUE") word = upper(w.next());
  if (word != "INDEX") return 0;
  index.name = w.name();
  if (upper(w.next()) != "ON") return 0;
  if (w.name() != table) return 0;
  if (w.peek() != '(') return 0;
  ++w.i;
  index.columns.clear();
  int depth = 1;
  while (!w.at_end() && depth > 0) {
    bool quoted = false;
    std::string col = w.next(&quoted);
    if (!quoted && col == "(") {
      ++depth;
    } else if (!quoted && col == ")") {
      --depth;
    } else if (depth == 1 && (quoted || (!col.empty() && is_word_char(col[0])))) {
      std::string up = upper(col);
      if (!quoted && (up == "ASC" || up == "DESC")) continue;
      index.columns.push_back(col);
    }
  }
  return 1;
}

}  // namespace qln
