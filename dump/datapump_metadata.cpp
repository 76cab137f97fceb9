#include "dump/datapump_metadata.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "dump/datapump_xml.hpp"

namespace qln {
namespace {

// Hidden and invisible columns in a column's PROPERTY bits.
constexpr std::uint64_t kPropStoredAsLob = 0x80;
constexpr std::uint64_t kPropHidden = 0x20;
constexpr std::uint64_t kPropCharSemantics = 0x800000;
constexpr std::uint64_t kPropInvisible = 0x400000000ULL;
// Hidden columns besides the real ones (object attributes, system columns)
// may take the listed items past the table's own limit.
constexpr std::size_t kMaxListedColumns = 4 * kMaxTableColumns;

std::string_view trim(std::string_view s) noexcept {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\n' || s.front() == '\r' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\r' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

template <typename Int>
bool to_number(std::string_view s, Int& out) noexcept {
  s = trim(s);
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool is_lob_type(int type_num) noexcept {
  return type_num == kOraClob || type_num == kOraBlob || type_num == kOraJson;
}

bool is_object_type(int type_num) noexcept {
  return type_num == kOraXmlType || type_num == kOraObject || type_num == kOraNestedTable ||
         type_num == kOraVarray;
}

bool read_column(std::string_view item, DataPumpColumn& c, std::string& type_name, std::string& why) {
  XmlChildren fields(item);
  XmlElement e;
  bool ok = true;
  int spare3 = -1;  // the character length where CHARLENGTH is not given
  while (fields.next(e) && ok) {
    const std::string_view n = e.name;
    if (n == "NAME") {
      ok = xml_unescape(trim(e.content), c.name);
    } else if (n == "COL_NUM") {
      ok = to_number(e.content, c.col_num);
    } else if (n == "SEGCOL_NUM") {
      ok = to_number(e.content, c.segcol) && c.segcol >= 0;
    } else if (n == "PROPERTY") {
      ok = to_number(e.content, c.property);
    } else if (n == "TYPE_NUM") {
      ok = to_number(e.content, c.type_num);
    } else if (n == "LENGTH") {
      ok = to_number(e.content, c.length);
    } else if (n == "CHARLENGTH") {
      ok = to_number(e.content, c.char_length);
    } else if (n == "SPARE3") {
      ok = to_number(e.content, spare3);
    } else if (n == "PRECISION_NUM") {
      ok = to_number(e.content, c.precision);
    } else if (n == "SCALE") {
      ok = to_number(e.content, c.scale);
    } else if (n == "NOT_NULL") {
      int v = 0;
      ok = to_number(e.content, v);
      c.not_null = v != 0;
    } else if (n == "CHARSETFORM") {
      ok = to_number(e.content, c.charset_form);
    } else if (n == "LOB_PROPERTY" || n == "LOBMD") {
      c.lob_stored = true;
    } else if (n == "TYPEMD") {
      // The type of an object column: TYPEMD/SCHEMA_OBJ/OWNER_NAME, NAME.
      std::string_view obj, owner, name;
      if (xml_child(e.content, "SCHEMA_OBJ", obj) && xml_child(obj, "OWNER_NAME", owner) &&
          xml_child(obj, "NAME", name)) {
        std::string o, t;
        if (xml_unescape(trim(owner), o) && xml_unescape(trim(name), t))
          type_name = "\"" + o + "\".\"" + t + "\"";
      }
    }
  }
  // Sizes no Oracle column has are damage: values would be padded to them.
  const bool sizes_possible = c.precision >= -1 && c.precision <= 126 && c.scale >= -127 &&
                              c.scale <= 127 && c.length >= 0 && c.length <= 32767 &&
                              c.char_length >= 0 && c.char_length <= 32767;
  if (!ok || fields.damaged() || !sizes_possible) {
    why = "COL_LIST_ITEM";
    return false;
  }
  if (c.name.empty() || c.name.size() > kMaxNameLen) {
    why = "column NAME";
    return false;
  }
  if (is_lob_type(c.type_num) || (c.property & kPropStoredAsLob) != 0) c.lob_stored = true;
  if (c.char_length == 0 && spare3 > 0 && (c.type_num == kOraVarchar2 || c.type_num == kOraChar))
    c.char_length = spare3;
  return true;
}

// A column the user sees: not hidden by the system (an invisible column is
// the user's own), and either stored or an object whose attributes are.
bool is_shown(const DataPumpColumn& c) noexcept {
  const bool hidden = (c.property & kPropHidden) != 0 && (c.property & kPropInvisible) == 0;
  return !hidden && (c.segcol > 0 || is_object_type(c.type_num));
}

std::string printf_text(const char* format, int a, int b = 0) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, a, b);
  return buf;
}

// The engine's type, the display text and the CREATE TABLE type of a column.
void describe_type(const DataPumpColumn& c, const std::string& type_name, ColumnDef& d,
                   std::string& sql) {
  const bool national = c.charset_form == 2;
  const bool char_semantics = (c.property & kPropCharSemantics) != 0;
  const int chars = c.char_length > 0 ? c.char_length : c.length;
  const int fraction = c.scale >= 0 ? c.scale : 6;
  const int leading = c.precision >= 0 ? c.precision : 2;
  switch (c.type_num) {
    case kOraVarchar2:
    case kOraChar: {
      const bool is_char = c.type_num == kOraChar;
      d.type = is_char ? (national ? kColNchar : kColChar) : (national ? kColNvarchar2 : kColVarchar2);
      d.length = national || char_semantics ? chars : c.length;
      const char* base = is_char ? (national ? "NCHAR" : "CHAR") : (national ? "NVARCHAR2" : "VARCHAR2");
      d.type_text = std::string(base) + "(" + std::to_string(d.length) + ")";
      sql = national ? d.type_text
                     : std::string(base) + "(" + std::to_string(d.length) + (char_semantics ? " CHAR)" : " BYTE)");
      break;
    }
    case kOraNumber:
      if (c.scale == -127 && c.precision > 0) {
        d.type = kColFloat;
        d.length = d.precision = c.precision;
        d.type_text = sql = printf_text("FLOAT(%d)", c.precision);
        break;
      }
      d.type = kColNumber;
      d.precision = d.length = std::max(c.precision, 0);
      d.scale = std::max(c.scale, 0);
      if (d.scale > 0) d.type_text = printf_text("NUMBER(%d.%d)", d.precision, d.scale);
      else if (d.precision > 0) d.type_text = printf_text("NUMBER(%d)", d.precision);
      else d.type_text = "NUMBER";
      if (c.precision > 0) sql = printf_text("NUMBER(%d,%d)", c.precision, std::max(c.scale, 0));
      else if (c.scale >= 0) sql = printf_text("NUMBER(*,%d)", c.scale);
      else sql = "NUMBER";
      break;
    case kOraDate:
      d.type = kColDate;
      d.type_text = sql = "DATE";
      break;
    case kOraTimestamp:
    case kOraTimestampTz:
    case kOraTimestampLtz: {
      d.type = c.type_num == kOraTimestamp ? kColTimestamp
               : c.type_num == kOraTimestampTz ? kColTimestampTz : kColTimestampLtz;
      d.scale = fraction;
      const char* zone = c.type_num == kOraTimestamp ? "" : c.type_num == kOraTimestampTz
                                                               ? " WITH TIME ZONE" : " WITH LOCAL TIME ZONE";
      d.type_text = printf_text("TIMESTAMP(%d)", fraction) + zone;
      sql = printf_text("TIMESTAMP (%d)", fraction) + zone;
      break;
    }
    case kOraIntervalYm:
      d.type = kColIntervalYm;
      d.precision = leading;
      d.type_text = printf_text("INTERVAL YEAR(%d) TO MONTH", leading);
      sql = printf_text("INTERVAL YEAR (%d) TO MONTH", leading);
      break;
    case kOraIntervalDs:
      d.type = kColIntervalDs;
      d.precision = leading;
      d.scale = fraction;
      d.type_text = printf_text("INTERVAL DAY(%d) TO SECOND(%d)", leading, fraction);
      sql = printf_text("INTERVAL DAY (%d) TO SECOND (%d)", leading, fraction);
      break;
    case kOraBinaryFloat:
      d.type = kColBinaryFloat;
      d.type_text = sql = "BINARY_FLOAT";
      break;
    case kOraBinaryDouble:
      d.type = kColBinaryDouble;
      d.type_text = sql = "BINARY_DOUBLE";
      break;
    case kOraRaw:
      d.type = kColRaw;
      d.length = c.length;
      d.type_text = sql = printf_text("RAW(%d)", c.length);
      break;
    case kOraLong:
      d.type = kColLong;
      d.type_text = sql = "LONG";
      break;
    case kOraLongRaw:
      d.type = kColLongRaw;
      d.type_text = sql = "LONG RAW";
      break;
    case kOraRowid:
      d.type = kColRowid;
      d.type_text = sql = "ROWID";
      break;
    case kOraUrowid:
      d.type = kColRowid;
      d.type_text = sql = printf_text("UROWID(%d)", c.length);
      break;
    case kOraClob:
      d.type = national ? kColNclob : kColClob;
      d.type_text = sql = national ? "NCLOB" : "CLOB";
      break;
    case kOraBlob:
      d.type = kColBlob;
      d.type_text = sql = "BLOB";
      break;
    default: {
      // Types the engine shows by their placeholder.
      d.type = kColOther;
      switch (c.type_num) {
        case kOraXmlType: sql = "XMLTYPE"; break;
        case kOraBfile: sql = "BFILE"; break;
        case kOraJson: sql = "JSON"; break;
        case kOraBoolean: sql = "BOOLEAN"; break;
        default: sql = type_name.empty() ? printf_text("TYPE_NUM(%d)", c.type_num) : type_name; break;
      }
      d.type_text = sql;
      break;
    }
  }
}

void build_definition(DataPumpTable& t, const std::vector<std::string>& type_names) {
  std::vector<std::size_t> shown;
  for (std::size_t i = 0; i < t.columns.size(); ++i)
    if (is_shown(t.columns[i])) shown.push_back(i);
  // Column order; invisible columns (number 0) after the visible ones.
  auto key = [&](std::size_t i) {
    const DataPumpColumn& c = t.columns[i];
    return std::pair<long long, int>(c.col_num > 0 ? c.col_num : (1LL << 40), c.segcol);
  };
  std::stable_sort(shown.begin(), shown.end(), [&](std::size_t a, std::size_t b) { return key(a) < key(b); });

  TableDefinition& def = t.definition;
  def.clear();
  def.owner = t.owner;
  def.table_name = t.name;
  std::vector<int> column_of_item(t.columns.size(), -1);
  for (std::size_t i : shown) {
    const DataPumpColumn& c = t.columns[i];
    ColumnDef d;
    d.name = c.name;
    d.segment_col = c.segcol;
    d.nullable = !c.not_null;
    if (c.not_null) d.rest = "NOT NULL ENABLE";
    std::string sql;
    describe_type(c, type_names[i], d, sql);
    if (is_large_object_type(d.type)) ++def.lob_count;
    column_of_item[i] = static_cast<int>(def.columns.size());
    def.columns.push_back(std::move(d));
    t.sql_types.push_back(std::move(sql));
  }

  // Values arrive by segment column, the large objects after all the others.
  std::vector<std::size_t> stored;
  for (std::size_t i = 0; i < t.columns.size(); ++i)
    if (t.columns[i].segcol > 0) stored.push_back(i);
  std::stable_sort(stored.begin(), stored.end(), [&](std::size_t a, std::size_t b) {
    const DataPumpColumn& x = t.columns[a];
    const DataPumpColumn& y = t.columns[b];
    if (x.lob_stored != y.lob_stored) return !x.lob_stored;
    return x.segcol < y.segcol;
  });
  t.value_column.clear();
  t.value_is_lob.clear();
  for (std::size_t v = 0; v < stored.size(); ++v) {
    const int col = column_of_item[stored[v]];
    t.value_column.push_back(col);
    t.value_is_lob.push_back(t.columns[stored[v]].lob_stored ? 1 : 0);
  }
  t.extra_values = static_cast<int>(std::count_if(t.columns.begin(), t.columns.end(), [](const DataPumpColumn& c) {
    return c.type_num == kOraXmlType;
  }));
}

}  // namespace

bool parse_table_metadata(std::string_view xml, DataPumpTable& out, std::string& why) {
  out = DataPumpTable{};
  // A data segment's STRMTABLE_T, or the TABLE_T the master table keeps of
  // every table (owner and name inside its SCHEMA_OBJ).
  std::string_view rowset, row, table, schema_obj;
  const bool found = xml_child(xml, "ROWSET", rowset) && xml_child(rowset, "ROW", row);
  const bool stream_table = found && xml_child(row, "STRMTABLE_T", table);
  if (!stream_table && !(found && xml_child(row, "TABLE_T", table) && xml_child(table, "SCHEMA_OBJ", schema_obj))) {
    why = "STRMTABLE_T";
    return false;
  }
  if (!stream_table) {
    std::string_view owner, name;
    if (!xml_child(schema_obj, "OWNER_NAME", owner) || !xml_child(schema_obj, "NAME", name) ||
        !xml_unescape(trim(owner), out.owner) || !xml_unescape(trim(name), out.name)) {
      why = "SCHEMA_OBJ";
      return false;
    }
  }
  XmlChildren children(table);
  XmlElement e;
  std::vector<std::string> type_names;
  std::string* target = nullptr;
  while (children.next(e)) {
    target = e.name == "OWNER_NAME" && stream_table ? &out.owner
             : e.name == "NAME" && stream_table ? &out.name
             : e.name == "CHARSET"  ? &out.charset
             : e.name == "NCHARSET" ? &out.ncharset
             : e.name == "DBTIMEZONE" ? &out.db_timezone : nullptr;
    if (target != nullptr) {
      if (!xml_unescape(trim(e.content), *target)) {
        why = std::string(e.name);
        return false;
      }
      continue;
    }
    if (e.name.starts_with("ENCRYPT")) {
      std::string_view v = trim(e.content);
      if (!v.empty() && v != "0") out.encrypted = true;
      continue;
    }
    if (e.name != "COL_LIST") continue;
    XmlChildren items(e.content);
    XmlElement item;
    while (items.next(item)) {
      if (item.name != "COL_LIST_ITEM") continue;
      if (out.columns.size() >= kMaxListedColumns) {
        why = "COL_LIST";
        return false;
      }
      DataPumpColumn c;
      std::string type_name;
      if (!read_column(item.content, c, type_name, why)) return false;
      out.columns.push_back(std::move(c));
      type_names.push_back(std::move(type_name));
    }
    if (items.damaged()) {
      why = "COL_LIST";
      return false;
    }
  }
  if (children.damaged()) {
    why = "STRMTABLE_T";
    return false;
  }
  if (out.owner.empty() || out.name.empty() || out.owner.size() > kMaxNameLen ||
      out.name.size() > kMaxNameLen) {
    why = "OWNER_NAME/NAME";
    return false;
  }
  std::vector<int> segcols;
  for (const DataPumpColumn& c : out.columns)
    if (c.segcol > 0) segcols.push_back(c.segcol);
  std::sort(segcols.begin(), segcols.end());
  if (segcols.empty() || std::adjacent_find(segcols.begin(), segcols.end()) != segcols.end()) {
    why = "SEGCOL_NUM";
    return false;
  }
  build_definition(out, type_names);
  // Written next to values in the output: only a zone's own characters.
  const bool zone_ok = out.db_timezone.size() <= 64 &&
                       std::all_of(out.db_timezone.begin(), out.db_timezone.end(), [](char ch) {
                         return std::isalnum(static_cast<unsigned char>(ch)) != 0 ||
                                std::string_view("+-:/_").find(ch) != std::string_view::npos;
                       });
  if (zone_ok) out.definition.db_timezone = out.db_timezone;
  if (out.definition.columns.empty() ||
      out.definition.columns.size() > static_cast<std::size_t>(kMaxTableColumns)) {
    why = "COL_LIST";
    return false;
  }
  return true;
}

std::string create_table_statement(const DataPumpTable& table) {
  std::string s = "CREATE TABLE \"" + table.owner + "\".\"" + table.name + "\" (";
  const auto& cols = table.definition.columns;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    if (i > 0) s += ", ";
    s += "\"" + cols[i].name + "\" " + table.sql_types[i];
    if (!cols[i].nullable) s += " NOT NULL ENABLE";
  }
  s += ")";
  return s;
}

}  // namespace qln
