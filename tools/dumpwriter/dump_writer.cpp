#include "dumpwriter/dump_writer.hpp"

#include <array>
#include <charconv>

#include "dumpwriter/volume_sink.hpp"

namespace qln::dumpwriter {

namespace {

constexpr std::uint16_t kEndOfRow = 0x0000;
constexpr std::uint16_t kNull = 0xFFFE;
constexpr std::uint16_t kChunked = 0xFFFD;
constexpr std::uint16_t kEndOfTable = 0xFFFF;
constexpr std::uint16_t kLobSection = 0x0001;
constexpr std::uint16_t kLobLongForm = 0xFFFF;
constexpr std::size_t kMaxInRow = 4000;
constexpr std::size_t kTextChunk = 32768;  // views and stored source
constexpr std::size_t kLocatorSize = 100;

// The session block exp writes twice after the header: database character
// sets, then the client's.
constexpr std::array<unsigned char, 100> kSessionBlock = {
    0x00, 0x00, 0x00, 0x60, 0x01, 0x24, 0x0f, 0x05, 0x0b, 0x0c, 0x03, 0x0c, 0x0c, 0x05, 0x04, 0x05,
    0x0d, 0x06, 0x09, 0x07, 0x08, 0x05, 0x05, 0x05, 0x05, 0x05, 0x0f, 0x05, 0x05, 0x05, 0x05, 0x05,
    0x0a, 0x05, 0x05, 0x05, 0x05, 0x05, 0x04, 0x05, 0x06, 0x07, 0x08, 0x08, 0x23, 0x47, 0x23, 0x47,
    0x08, 0x11, 0x23, 0x08, 0x11, 0x41, 0xb0, 0x47, 0x00, 0x83, 0x00, 0x00, 0x00, 0x00, 0x03};
constexpr std::size_t kSessionCharsetAt = 58;

constexpr const char* kPreSections[] = {
    "pre-schema procedural objects and actions", "foreign function library names for user    ",
    "PUBLIC type synonyms", "private type synonyms", "object type definitions for user    ",
    "pre-schema procedural objects and actions", "database links", "sequence numbers",
    "cluster definitions", "XDB Schemas by user "};

constexpr const char* kSegment =
    "PCTFREE 10 PCTUSED 40 INITRANS 1 MAXTRANS 255 STORAGE(INITIAL 65536 NEXT 1048576 MINEXTENTS 1 "
    "FREELISTS 1 FREELIST GROUPS 1 BUFFER_POOL DEFAULT) TABLESPACE \"USERS\" LOGGING NOCOMPRESS";
constexpr const char* kIndexSegment =
    "PCTFREE 10 INITRANS 2 MAXTRANS 255 STORAGE(INITIAL 65536 NEXT 1048576 MINEXTENTS 1 FREELISTS 1 "
    "FREELIST GROUPS 1 BUFFER_POOL DEFAULT) TABLESPACE \"USERS\" LOGGING";

std::string quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

std::string quoted_list(const std::vector<std::string>& names, std::string_view sep) {
  std::string out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i != 0) out += sep;
    out += quoted(names[i]);
  }
  return out;
}

bool has_charset_bytes(std::uint8_t type) {
  return type == 1 || type == 64 || type == 96 || type == 112 || type == 208;
}

void append_u16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

void append_u32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void append_decimal(std::string& out, std::uint64_t v) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

void append_name(std::string& out, std::string_view name) {
  if (name.size() > 255) throw DumpWriteError("name too long for a descriptor entry: " + std::string(name));
  out.push_back(static_cast<char>(name.size()));
  out += name;
}

bool is_utf8_set(std::uint16_t id) { return id == 873 || id == 871; }

std::size_t char_count(std::string_view bytes, bool utf8) {
  if (!utf8) return bytes.size();
  std::size_t n = 0;
  for (char c : bytes)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}


}  // namespace

// Extended ROWID text (18 characters of Oracle's base-64) to its 10 bytes:
// data object number, file and block, row.
std::string encode_rowid(std::string_view text) {
  static constexpr std::string_view kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  if (text.size() != 18) throw DumpWriteError("ROWID text must have 18 characters: " + std::string(text));
  auto field = [&](std::size_t from, std::size_t len) {
    std::uint64_t v = 0;
    for (std::size_t i = from; i < from + len; ++i) {
      const std::size_t d = kDigits.find(text[i]);
      if (d == std::string_view::npos) throw DumpWriteError("bad ROWID text: " + std::string(text));
      v = v * 64 + d;
    }
    return v;
  };
  const std::uint64_t object = field(0, 6), file = field(6, 3), block = field(9, 6), row = field(15, 3);
  if (object > 0xFFFFFFFFu || file > 0x3FF || block > 0x3FFFFF || row > 0xFFFF)
    throw DumpWriteError("ROWID out of range: " + std::string(text));
  const std::uint64_t file_block = (file << 22) | block;
  std::string out;
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<char>((object >> s) & 0xFF));
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<char>((file_block >> s) & 0xFF));
  out.push_back(static_cast<char>(row >> 8));
  out.push_back(static_cast<char>(row & 0xFF));
  return out;
}

struct DumpWriter::TableState {
  TableSpec table_spec;
  std::string owner;
  std::vector<ColumnLayout> layouts;
  std::string descriptors;
  std::size_t partition = 0;
  bool data_open = false;
  bool rows_end_marked = true;  // conventional rows end with a 0x0000 field
};

DumpWriter::DumpWriter(std::string path, DumpOptions options)
    : DumpWriter(std::vector<std::string>{std::move(path)}, std::move(options)) {}

DumpWriter::DumpWriter(std::vector<std::string> paths, DumpOptions options) : options_(std::move(options)) {
  mode_letter_ = options_.mode == ExportMode::table ? 'T' : options_.mode == ExportMode::full ? 'E' : 'U';
  if (options_.long_chunk == 0 || options_.long_chunk > 0xFF00 || options_.lob_chunk == 0 ||
      options_.lob_chunk > 0xFF00)
    throw DumpWriteError("chunk sizes must be 1 .. 65280");
  sink_ = std::make_unique<VolumeSink>(std::move(paths), build_header(options_), options_.volume_size);
  if (options_.mode != ExportMode::full) current_owner_ = options_.user;
  write_preamble();
}

DumpWriter::~DumpWriter() {
  if (finished_) return;
  try {
    finish();
  } catch (...) {
    // A destructor must not throw; the caller that cares calls finish().
  }
}

std::uint64_t DumpWriter::bytes_written() const { return sink_->total_bytes(); }

void DumpWriter::put(std::string_view bytes) { sink_->write(bytes); }

void DumpWriter::put_u16(std::uint16_t v) {
  sink_->write_byte(static_cast<char>(v & 0xFF));
  sink_->write_byte(static_cast<char>(v >> 8));
}

void DumpWriter::put_line(std::string_view text) {
  put(text);
  sink_->write_byte('\n');
}

// [length][bytes] pieces ended by a zero length.
void DumpWriter::put_chunks(std::string_view text, std::size_t chunk) {
  while (!text.empty()) {
    const std::size_t n = std::min(text.size(), chunk);
    put_u16(static_cast<std::uint16_t>(n));
    put(text.substr(0, n));
    text.remove_prefix(n);
  }
  put_u16(0);
}

void DumpWriter::require_open(const char* what) const {
  if (finished_) throw DumpWriteError(std::string(what) + " after finish()");
}

void DumpWriter::write_preamble() {
  std::string block(kSessionBlock.begin(), kSessionBlock.end());
  block[kSessionCharsetAt] = static_cast<char>(options_.db_charset_id >> 8);
  block[kSessionCharsetAt + 1] = static_cast<char>(options_.db_charset_id & 0xFF);
  block[kSessionCharsetAt + 2] = static_cast<char>(options_.nchar_charset_id >> 8);
  block[kSessionCharsetAt + 3] = static_cast<char>(options_.nchar_charset_id & 0xFF);
  put_u16(static_cast<std::uint16_t>(block.size()));
  put(block);
  block[kSessionCharsetAt] = 0;
  block[kSessionCharsetAt + 1] = 1;
  block[kSessionCharsetAt + 2] = 0;
  block[kSessionCharsetAt + 3] = 1;
  put_u16(static_cast<std::uint16_t>(block.size()));
  put(block);
  for (std::string_view s : {"+00:00", "", "BYTE", "UNUSED", "2", "INTERPRETED", "DISABLE:ALL"}) {
    put_u16(static_cast<std::uint16_t>(s.size()));
    put(s);
  }
  put(std::string_view("\0\0\n", 3));
  put_line(std::string("METRICS") + mode_letter_);
  for (const char* title : kPreSections) {
    put_line(std::string("METRICS") + mode_letter_ + title);
    put_line(std::string("METRICE") + mode_letter_ + " " + std::to_string(objects_));
  }
}

void DumpWriter::begin_table(const TableSpec& table_spec) {
  require_open("begin_table");
  if (table_) throw DumpWriteError("begin_table while table " + table_->table_spec.name + " is open");
  if (tables_closed_) throw DumpWriteError("tables must come before views, sources and foreign keys");
  if (table_spec.name.empty() || table_spec.columns.empty()) throw DumpWriteError("a table needs a name and columns");

  auto t = std::make_unique<TableState>();
  t->table_spec = table_spec;
  t->owner = table_spec.owner.empty() ? options_.user : table_spec.owner;
  bool entries = false;
  bool lobs = false;
  for (const ColumnSpec& c : table_spec.columns) {
    t->layouts.push_back(describe_column(c, options_));
    entries = entries || t->layouts.back().needs_entries();
    lobs = lobs || t->layouts.back().is_lob();
  }
  // exp writes tables with large objects in conventional path even when
  // asked for direct path.
  t->rows_end_marked = !options_.direct_path || lobs;

  std::string& d = t->descriptors;
  append_u16(d, static_cast<std::uint16_t>(table_spec.columns.size()));
  for (const ColumnLayout& l : t->layouts) {
    d.push_back(static_cast<char>(l.oracle_type));
    d.push_back('\0');
    append_u16(d, l.max_length);
    if (has_charset_bytes(l.oracle_type)) {
      append_u16(d, l.charset_id != 0 ? l.charset_id : options_.db_charset_id);
      append_u16(d, l.charset_form != 0 ? l.charset_form : 1);
    }
  }
  append_u16(d, entries ? static_cast<std::uint16_t>(table_spec.columns.size()) : 0);
  if (entries) {
    for (std::size_t i = 0; i < table_spec.columns.size(); ++i) {
      const ColumnLayout& l = t->layouts[i];
      append_name(d, l.needs_entries() ? l.type_owner : "");
      append_name(d, l.needs_entries() ? l.type_name : "");
      append_name(d, l.needs_entries() ? table_spec.columns[i].name : "");
    }
  }
  append_u16(d, 0);

  if (t->owner != current_owner_) {
    put_line("CONNECT " + t->owner);
    current_owner_ = t->owner;
  }
  put_line("TABLE " + quoted(table_spec.name));

  std::string create = "CREATE TABLE " + quoted(table_spec.name) + " (";
  for (std::size_t i = 0; i < table_spec.columns.size(); ++i) {
    const ColumnSpec& c = table_spec.columns[i];
    if (i != 0) create += ", ";
    create += quoted(c.name) + " " + c.type;
    if (!c.default_text.empty()) create += " DEFAULT " + c.default_text;
    if (c.not_null) create += " NOT NULL ENABLE";
  }
  create += ")  ";
  if (table_spec.partitions.empty()) {
    create += kSegment;
  } else {
    const std::string key = table_spec.partition_key.empty() ? table_spec.columns.front().name : table_spec.partition_key;
    create += "PCTFREE 10 PCTUSED 40 INITRANS 1 MAXTRANS 255 TABLESPACE \"USERS\" LOGGING PARTITION BY RANGE (" +
              quoted(key) + " ) (";
    for (std::size_t i = 0; i < table_spec.partitions.size(); ++i) {
      if (i != 0) create += ", ";
      create += "PARTITION " + quoted(table_spec.partitions[i].name) + " VALUES LESS THAN (" + table_spec.partitions[i].bound +
                ")  " + kSegment;
    }
    create += " )";
  }
  for (std::size_t i = 0; i < table_spec.columns.size(); ++i) {
    if (!t->layouts[i].is_lob()) continue;
    create += " LOB (" + quoted(table_spec.columns[i].name) +
              ") STORE AS SECUREFILE  (TABLESPACE \"USERS\" ENABLE STORAGE IN ROW CHUNK 8192 RETENTION NONE "
              "NOCACHE LOGGING  NOCOMPRESS KEEP_DUPLICATES)";
  }
  put_line(create);

  table_ = std::move(t);
  table_rows_ = 0;
  any_table_ = true;
  ++objects_;
  start_data_block(0);
}

void DumpWriter::start_data_block(std::size_t partition) {
  TableState& t = *table_;
  std::string insert = "INSERT INTO " + quoted(t.table_spec.name) + " ";
  if (!t.table_spec.partitions.empty()) {
    const std::string& name = t.table_spec.partitions[partition].name;
    put_line("PARTITION " + quoted(name));
    insert += "PARTITION (" + quoted(name) + ") ";
  }
  insert += "(";
  std::string binds;
  for (std::size_t i = 0; i < t.table_spec.columns.size(); ++i) {
    if (i != 0) {
      insert += ", ";
      binds += ", ";
    }
    insert += quoted(t.table_spec.columns[i].name);
    binds.push_back(':');
    append_decimal(binds, i + 1);
  }
  insert += ") VALUES (" + binds + ")";
  put_line(insert);
  put(t.descriptors);
  t.partition = partition;
  t.data_open = true;
}

void DumpWriter::end_data_block() {
  put_u16(kEndOfTable);
  sink_->write_byte('\n');
  table_->data_open = false;
}

void DumpWriter::next_partition() {
  if (!table_) throw DumpWriteError("next_partition without a table");
  if (table_->partition + 1 >= table_->table_spec.partitions.size())
    throw DumpWriteError("table " + table_->table_spec.name + " has no further partition");
  end_data_block();
  start_data_block(table_->partition + 1);
}

void DumpWriter::add_row(std::span<const Cell> cells) {
  if (!table_ || !table_->data_open) throw DumpWriteError("add_row without an open table");
  TableState& t = *table_;
  if (cells.size() != t.layouts.size())
    throw DumpWriteError("table " + t.table_spec.name + ": row of " + std::to_string(cells.size()) + " values for " +
                         std::to_string(t.layouts.size()) + " columns");
  // The row is built whole first, so a value that fails leaves the dump as it was.
  row_.clear();
  lob_entries_.clear();
  bool ended_by_long = false;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    try {
      write_value(i, cells[i], ended_by_long);
    } catch (const EncodeError& e) {
      throw DumpWriteError("table " + t.table_spec.name + ", column " + t.table_spec.columns[i].name + ": " + e.what());
    }
  }
  if (!lob_entries_.empty()) {
    append_u16(row_, kLobSection);
    row_ += lob_entries_;
  } else if (!ended_by_long && t.rows_end_marked) {
    append_u16(row_, kEndOfRow);
  }
  put(row_);
  ++table_rows_;
  ++total_rows_;
}

void DumpWriter::write_value(std::size_t column, const Cell& cell, bool& ended_by_long) {
  const ColumnLayout& l = table_->layouts[column];
  const std::string& name = table_->table_spec.columns[column].name;
  ended_by_long = false;
  if (cell.kind == Cell::Kind::null) {
    append_u16(row_, kNull);
    return;
  }
  auto wrong = [&]() { return DumpWriteError("column " + name + ": value of the wrong kind"); };
  const bool national_utf16 = options_.nchar_charset_id == 2000;
  auto national = [&](const std::string& utf8) { return national_utf16 ? utf8_to_utf16be(utf8) : utf8; };

  switch (l.form) {
    case ValueForm::long_text:
    case ValueForm::long_raw: {
      if (cell.kind != Cell::Kind::text && cell.kind != Cell::Kind::bytes) throw wrong();
      if (cell.data.empty()) {  // Oracle keeps an empty LONG as NULL
        append_u16(row_, kNull);
        return;
      }
      append_u16(row_, kChunked);
      for (std::size_t at = 0; at < cell.data.size(); at += options_.long_chunk) {
        const std::size_t n = std::min<std::size_t>(options_.long_chunk, cell.data.size() - at);
        append_u16(row_, static_cast<std::uint16_t>(n));
        row_.append(cell.data, at, n);
      }
      append_u16(row_, 0);
      ended_by_long = column + 1 == table_->layouts.size();
      return;
    }
    case ValueForm::clob:
    case ValueForm::nclob:
    case ValueForm::blob: {
      if (cell.kind != Cell::Kind::text && cell.kind != Cell::Kind::bytes) throw wrong();
      std::string content = cell.data;
      // Large objects of a varying-width set are kept in UTF-16.
      if (cell.kind == Cell::Kind::text && l.form == ValueForm::nclob) content = utf8_to_utf16be(cell.data);
      if (cell.kind == Cell::Kind::text && l.form == ValueForm::clob) content = clob_bytes(options_.db_charset_id, cell.data);
      if (content.size() > 0xFFFFFFFFu) throw DumpWriteError("column " + name + ": large object over 4 GB");
      // In-row locator: a fixed frame with a serial number.
      std::string locator(kLocatorSize, '\0');
      const unsigned char frame[] = {0x00, 0x62, 0x00, 0x01, 0x01, 0x0c, 0x00, 0x80, 0x00, 0x01, 0x00, 0x00};
      std::copy(std::begin(frame), std::end(frame), locator.begin());
      ++lob_serial_;
      for (int i = 0; i < 8; ++i) locator[12 + static_cast<std::size_t>(i)] = static_cast<char>((lob_serial_ >> (56 - 8 * i)) & 0xFF);
      append_u16(row_, static_cast<std::uint16_t>(locator.size()));
      row_ += locator;
      if (content.size() <= options_.lob_chunk) {
        append_u16(lob_entries_, static_cast<std::uint16_t>(content.size()));
        lob_entries_ += content;
      } else {
        append_u16(lob_entries_, kLobLongForm);
        append_u32(lob_entries_, static_cast<std::uint32_t>(content.size()));
        append_u32(lob_entries_, 0);
        for (std::size_t at = 0; at < content.size(); at += options_.lob_chunk) {
          const std::size_t n = std::min<std::size_t>(options_.lob_chunk, content.size() - at);
          append_u16(lob_entries_, static_cast<std::uint16_t>(n));
          lob_entries_.append(content, at, n);
        }
      }
      return;
    }
    default:
      break;
  }

  const std::string* value = &cell.data;
  if (cell.kind != Cell::Kind::bytes) {
    switch (l.form) {
      case ValueForm::text:
      case ValueForm::ntext: {
        if (cell.kind != Cell::Kind::text) throw wrong();
        const bool nat = l.form == ValueForm::ntext;
        scratch_ = nat ? national(cell.data) : cell.data;
        if (l.oracle_type == 96) {
          const bool utf16 = nat && national_utf16;
          const bool utf8 = is_utf8_set(nat ? options_.nchar_charset_id : options_.db_charset_id);
          std::size_t chars = utf16 ? scratch_.size() / 2 : char_count(scratch_, utf8);
          for (; chars < l.declared_length; ++chars) {
            if (utf16) scratch_.push_back('\0');
            scratch_.push_back(' ');
          }
        }
        if (scratch_.size() > l.max_length)
          throw DumpWriteError("column " + name + ": value longer than " + std::to_string(l.max_length) + " bytes");
        break;
      }
      case ValueForm::number:
        if (cell.kind != Cell::Kind::text && cell.kind != Cell::Kind::number) throw wrong();
        scratch_ = encode_number(cell.data);
        break;
      case ValueForm::date:
      case ValueForm::timestamp: {
        DateTime when;
        if (cell.kind == Cell::Kind::date) when = cell.when;
        else if (cell.kind == Cell::Kind::text) when = parse_datetime(cell.data);
        else throw wrong();
        if (l.form == ValueForm::date) {
          when.nanos = 0;
          scratch_ = encode_date(when);
        } else {
          scratch_ = encode_timestamp(when);
        }
        break;
      }
      case ValueForm::rowid:
        if (cell.kind != Cell::Kind::text) throw wrong();
        scratch_ = encode_rowid(cell.data);
        break;
      default:  // RAW, object images, other types: the bytes as given
        if (cell.kind != Cell::Kind::text) throw wrong();
        scratch_ = cell.data;
        break;
    }
    value = &scratch_;
  }
  if (value->empty()) {  // Oracle keeps an empty string as NULL
    append_u16(row_, kNull);
    return;
  }
  if (value->size() > kMaxInRow)
    throw DumpWriteError("column " + name + ": value of " + std::to_string(value->size()) + " bytes (at most 4000)");
  append_u16(row_, static_cast<std::uint16_t>(value->size()));
  row_ += *value;
}

void DumpWriter::end_table() {
  if (!table_) throw DumpWriteError("end_table without a table");
  TableState& t = *table_;
  if (t.data_open) end_data_block();
  for (std::size_t p = t.partition + 1; p < t.table_spec.partitions.size(); ++p) {
    start_data_block(p);
    end_data_block();
  }
  const std::string table = quoted(t.table_spec.name);
  for (const GrantSpec& g : t.table_spec.grants) put_line("GRANT " + g.privilege + " ON " + table + " TO " + quoted(g.grantee));
  for (const IndexSpec& ix : t.table_spec.indexes) {
    put_line(std::string("CREATE ") + (ix.unique ? "UNIQUE " : "") + "INDEX " + quoted(ix.name) + " ON " + table +
             " (" + quoted_list(ix.columns, " , ") + " )  " + kIndexSegment);
    ++objects_;
  }
  if (!t.table_spec.primary_key.empty()) {
    const std::string name = t.table_spec.primary_key_name.empty() ? t.table_spec.name + "_PK" : t.table_spec.primary_key_name;
    put_line("ALTER TABLE " + table + " ADD  CONSTRAINT " + quoted(name) + " PRIMARY KEY (" +
             quoted_list(t.table_spec.primary_key, ", ") + ") USING INDEX " + kIndexSegment + " ENABLE ");
  }
  for (const CheckSpec& c : t.table_spec.checks) {
    put_line("CALTER TABLE");
    put_u16(kChunked);
    for (const std::string& piece : {"ALTER TABLE " + table + " ADD", " CONSTRAINT " + quoted(c.name),
                                     std::string(" CHECK ("), c.condition, std::string(")"),
                                     std::string(" ENABLE NOVALIDATE")}) {
      if (piece.size() > kTextChunk) throw DumpWriteError("check condition too long");
      put_u16(static_cast<std::uint16_t>(piece.size()));
      put(piece);
    }
    put_u16(0);
    sink_->write_byte('\n');
  }
  table_.reset();
}

void DumpWriter::close_tables() {
  if (table_) throw DumpWriteError("table " + table_->table_spec.name + " is still open");
  if (tables_closed_) return;
  if (any_table_) put_line("ENDTABLE");
  tables_closed_ = true;
}

void DumpWriter::open_section(std::string_view title) {
  close_tables();
  if (section_ == title) return;
  close_section();
  put_line(std::string("METRICS") + mode_letter_ + std::string(title));
  section_ = title;
  if (section_ == "stored procedures") put_line("ALTER SESSION SET \"_LOAD_WITHOUT_COMPILE\" = PLSQL");
}

void DumpWriter::close_section() {
  if (section_.empty()) return;
  if (section_ == "stored procedures") put_line("ALTER SESSION SET \"_LOAD_WITHOUT_COMPILE\" = NONE");
  put_line(std::string("METRICE") + mode_letter_ + " " + std::to_string(objects_));
  section_.clear();
}

void DumpWriter::add_view(const ViewSpec& view) {
  require_open("add_view");
  open_section("views");
  std::string head = "CREATE VIEW " + quoted(view.name) + " (";
  for (std::size_t i = 0; i < view.columns.size(); ++i) {
    if (i != 0) head += ",";
    head += quoted(view.columns[i]);
  }
  head += ") AS ";
  put_line(head);
  put_chunks(view.query, kTextChunk);
  sink_->write_byte('\n');
  ++objects_;
}

void DumpWriter::add_source(const SourceSpec& source) {
  require_open("add_source");
  open_section("stored procedures");
  put_line("CREATE FORMAT71 " + source.kind + " " + quoted(source.name) + " ");
  put_u16(kChunked);
  const std::string_view create = "CREATE ";
  put_u16(static_cast<std::uint16_t>(create.size()));
  put(create);
  std::string_view text = source.text;
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    std::string_view line = eol == std::string_view::npos ? text : text.substr(0, eol + 1);
    text.remove_prefix(line.size());
    while (!line.empty()) {
      const std::size_t n = std::min(line.size(), kTextChunk);
      put_u16(static_cast<std::uint16_t>(n));
      put(line.substr(0, n));
      line.remove_prefix(n);
    }
  }
  put_u16(0);
  sink_->write_byte('\n');
  ++objects_;
}

void DumpWriter::add_foreign_key(std::string_view table, std::string_view constraint_text) {
  require_open("add_foreign_key");
  open_section("referential integrity constraints");
  put_line("TABLE " + quoted(table));
  put_line(constraint_text);
  put_line("ENDTABLE");
}

void DumpWriter::add_statement(std::string_view text) {
  require_open("add_statement");
  if (table_ && table_->data_open) throw DumpWriteError("add_statement inside a table's rows");
  put_line(text);
}

WriteStats DumpWriter::finish() {
  if (finished_) throw DumpWriteError("finish() called twice");
  if (table_) end_table();
  close_tables();
  close_section();
  const std::string m(1, mode_letter_);
  put_line("METRICE" + m + " " + std::to_string(objects_));
  put_line("METRICE" + m + "G0");
  put_line("EXIT");
  put_line("EXIT");
  finished_ = true;
  sink_->close(options_.pad_last_record ? options_.header_len : 0);
  WriteStats stats;
  stats.bytes = sink_->total_bytes();
  stats.rows = total_rows_;
  stats.volumes = sink_->volumes();
  return stats;
}

}  // namespace qln::dumpwriter
