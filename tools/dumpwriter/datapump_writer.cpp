#include "dumpwriter/datapump_writer.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>

namespace qln::dumpwriter {

namespace {

constexpr std::uint64_t kBlock = 4096;
constexpr std::uint64_t kXmlAt = 0x1000;
constexpr std::size_t kMaxPieceValues = 255;

std::string be(std::uint64_t v, int bytes) {
  std::string out(static_cast<std::size_t>(bytes), '\0');
  for (int i = bytes - 1; i >= 0; --i) {
    out[static_cast<std::size_t>(i)] = static_cast<char>(v & 0xFF);
    v >>= 8;
  }
  return out;
}

std::string xml_escape(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '"': out += "&quot;"; break;
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\'': out += "&apos;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string upper_folded(std::string_view type) {
  std::string out;
  bool quoted = false;
  for (char c : type) {
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == ' ' || c == '\t')) {
      if (!out.empty() && out.back() != ' ') out.push_back(' ');
      continue;
    }
    if (!quoted && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    out.push_back(c);
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// The numbers inside the first and second parentheses of a type text.
std::vector<long> numbers_in(std::string_view t) {
  std::vector<long> out;
  const std::size_t open = t.find('(');
  for (std::size_t i = open == std::string_view::npos ? t.size() : open; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') continue;
    long v = 0;
    auto r = std::from_chars(t.data() + i, t.data() + t.size(), v);
    out.push_back(v);
    i = static_cast<std::size_t>(r.ptr - t.data());
  }
  return out;
}

bool multibyte_charset(std::uint16_t id) { return id == 873 || id == 871 || id == 2000; }

}  // namespace

struct DataPumpWriter::Column {
  std::string name;
  int type_num = 1;
  int length = 0;
  int char_length = 0;
  int precision = -1;
  int scale = -1;
  int charset_form = 0;
  std::uint64_t property = 0;
  int segcol = 0;
  int col_num = 0;
  bool not_null = false;
  bool lob = false;     // comes with the large objects
  bool padded = false;  // CHAR/NCHAR: blank-padded to char_length
};

struct DataPumpWriter::Table {
  TableSpec shape;
  DataPumpTableExtras extras;
  std::vector<Column> columns;
  std::vector<std::size_t> order;  // the columns whose values a row carries, in order
  std::size_t in_row = 0;          // values before the first large object
  bool has_lob = false;
  bool has_long = false;
  std::string xml;
  std::string table_xml;
  int segments = 0;
};

struct DataPumpWriter::Segment {
  Table* table = nullptr;
  std::uint64_t block = 0;
  std::uint64_t xml_length = 0;
  std::uint64_t rows_offset = 0;
  std::size_t master_row = 0;
};

DataPumpWriter::DataPumpWriter(std::string path, DataPumpOptions options)
    : DataPumpWriter(std::vector<std::string>{std::move(path)}, std::move(options)) {}

DataPumpWriter::DataPumpWriter(std::vector<std::string> paths, DataPumpOptions options)
    : options_(std::move(options)), paths_(std::move(paths)) {
  if (paths_.empty()) throw DumpWriteError("no dump file name");
  if (options_.lobs_per_piece < 1 || options_.lobs_per_piece > 2) throw DumpWriteError("lobs_per_piece");
  if (options_.split_size < 1 || options_.split_size > 65520) throw DumpWriteError("split_size");
  open_volume();
}

DataPumpWriter::~DataPumpWriter() {
  if (!finished_) {
    try {
      finish();
    } catch (...) {
    }
  }
}

void DataPumpWriter::put(std::string_view bytes) {
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size())
    throw DumpWriteError("write failed: " + written_.back());
  offset_ += bytes.size();
}

void DataPumpWriter::pad_to(std::uint64_t multiple) {
  const std::uint64_t rest = offset_ % multiple;
  if (rest != 0) put(std::string(static_cast<std::size_t>(multiple - rest), '\0'));
}

void DataPumpWriter::patch(std::uint64_t at, std::string_view bytes) {
  if (std::fflush(file_.get()) != 0 || fseeko(file_.get(), static_cast<off_t>(at), SEEK_SET) != 0 ||
      std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size() ||
      fseeko(file_.get(), static_cast<off_t>(offset_), SEEK_SET) != 0)
    throw DumpWriteError("write failed: " + written_.back());
}

void DataPumpWriter::open_volume() {
  const std::size_t index = written_.size();
  std::string path;
  if (index < paths_.size()) {
    path = paths_[index];
  } else {
    const std::string& last = paths_.back();
    const std::size_t dot = last.find_last_of('.');
    const std::string suffix = "_" + std::to_string(index + 1);
    path = dot == std::string::npos ? last + suffix : last.substr(0, dot) + suffix + last.substr(dot);
  }
  file_.reset(std::fopen(path.c_str(), "wb+"));
  if (!file_) throw DumpWriteError("cannot create " + path);
  std::setvbuf(file_.get(), nullptr, _IOFBF, 1 << 20);
  written_.push_back(path);
  offset_ = 0;
  // Block 0.
  std::string h(kBlock, '\0');
  const bool v23 = options_.release == DataPumpRelease::v23_6;
  h[0] = static_cast<char>(v23 ? 6 : 4);
  h[1] = 1;
  h[0x27] = static_cast<char>(options_.charset_id >> 8);
  h[0x28] = static_cast<char>(options_.charset_id & 0xFF);
  const std::string master = "\"" + options_.master_owner + "\".\"" + options_.master_name + "\"";
  if (master.size() > 0x200 - 0x43 - 1) throw DumpWriteError("master table name too long");
  h.replace(0x43, master.size(), master);
  const std::string platform = "x86_64/Linux 2.4.xx";
  h.replace(0x200, platform.size(), platform);
  if (options_.charset_name.size() >= 0x40) throw DumpWriteError("character-set name too long");
  h.replace(0x2A2, options_.charset_name.size(), options_.charset_name);
  const std::string version = v23 ? "23.06.00.00.00" : "12.01.00.02.00";
  h.replace(0x358, version.size(), version);
  put(h);
  // Compressed metadata: never read for rows.
  std::string kgc(kBlock, '\x5A');
  kgc.replace(0, 3, "KGC");
  put(kgc);
  put(kgc);
}

void DataPumpWriter::close_volume() {
  if (!file_) return;
  pad_to(kBlock);
  total_before_ += offset_;
  if (std::fclose(file_.release()) != 0) throw DumpWriteError("close failed: " + written_.back());
}

void DataPumpWriter::next_volume() {
  if (segment_) throw DumpWriteError("next_volume inside a segment");
  close_volume();
  open_volume();
}

int DataPumpWriter::add_table(const TableSpec& shape, DataPumpTableExtras extras) {
  if (finished_) throw DumpWriteError("add_table after finish");
  auto t = std::make_unique<Table>();
  t->shape = shape;
  if (t->shape.owner.empty()) t->shape.owner = "QUILLON";
  t->extras = std::move(extras);
  const std::size_t n = shape.columns.size();
  if (n == 0) throw DumpWriteError("table without columns");
  for (std::size_t i = 0; i < n; ++i) {
    const ColumnSpec& s = shape.columns[i];
    Column c;
    c.name = s.name;
    c.not_null = s.not_null;
    c.segcol = t->extras.segcol.empty() ? static_cast<int>(i) + 1 : t->extras.segcol.at(i);
    c.col_num = t->extras.col_num.empty() ? static_cast<int>(i) + 1 : t->extras.col_num.at(i);
    c.property = t->extras.property.empty() ? 0 : t->extras.property.at(i);
    const std::string u = upper_folded(s.type);
    const std::vector<long> num = numbers_in(u);
    const int first = num.empty() ? -1 : static_cast<int>(num[0]);
    const int second = num.size() < 2 ? -1 : static_cast<int>(num[1]);
    const bool chars = u.find(" CHAR)") != std::string::npos;
    auto text_type = [&](int type_num, bool national) {
      c.type_num = type_num;
      c.charset_form = national ? 2 : 1;
      c.char_length = first;
      c.length = national ? (national_id() == 871 ? 3 : 2) * first : (chars ? 4 * first : first);
      if (chars) c.property |= 0x800000;
      c.padded = type_num == 96;
    };
    if (u.starts_with("NVARCHAR2")) text_type(1, true);
    else if (u.starts_with("VARCHAR2")) text_type(1, false);
    else if (u.starts_with("NCHAR")) text_type(96, true);
    else if (u.starts_with("CHAR")) text_type(96, false);
    else if (u.starts_with("NUMBER")) {
      c.type_num = 2, c.length = 22, c.precision = first, c.scale = first < 0 ? -1 : std::max(second, 0);
    } else if (u.starts_with("FLOAT")) {
      c.type_num = 2, c.length = 22, c.precision = first < 0 ? 126 : first, c.scale = -127;
    } else if (u == "DATE") {
      c.type_num = 12, c.length = 7;
    } else if (u.starts_with("TIMESTAMP")) {
      const bool local = u.find("LOCAL") != std::string::npos;
      const bool zone = !local && u.find("ZONE") != std::string::npos;
      c.type_num = local ? 231 : zone ? 181 : 180;
      c.length = zone ? 13 : 11;
      c.scale = first < 0 ? 6 : first;
    } else if (u.starts_with("INTERVAL YEAR")) {
      c.type_num = 182, c.length = 5, c.precision = first < 0 ? 2 : first, c.scale = 0;
    } else if (u.starts_with("INTERVAL DAY")) {
      c.type_num = 183, c.length = 11, c.precision = first < 0 ? 2 : first, c.scale = second < 0 ? 6 : second;
    } else if (u == "BINARY_FLOAT") {
      c.type_num = 100, c.length = 4;
    } else if (u == "BINARY_DOUBLE") {
      c.type_num = 101, c.length = 8;
    } else if (u.starts_with("RAW")) {
      c.type_num = 23, c.length = first;
    } else if (u == "LONG RAW") {
      c.type_num = 24, c.length = 0;
    } else if (u == "LONG") {
      c.type_num = 8, c.length = 0, c.charset_form = 1;
    } else if (u == "ROWID") {
      c.type_num = 69, c.length = 10;
    } else if (u == "CLOB" || u == "NCLOB") {
      c.type_num = 112, c.length = 4000, c.charset_form = u == "NCLOB" ? 2 : 1, c.lob = true;
      c.property |= 0x80;
    } else if (u == "BLOB") {
      c.type_num = 113, c.length = 4000, c.lob = true;
    } else if (u == "JSON") {
      c.type_num = 119, c.length = 8200, c.lob = true;
    } else if (u == "XMLTYPE") {
      c.type_num = 58, c.length = 2000;
    } else if (u.starts_with("VARRAY")) {
      c.type_num = 123, c.length = 2000;
    } else if (u.starts_with("\"")) {
      c.type_num = 121, c.length = 1;
    } else {
      throw DumpWriteError("type not written in Data Pump dumps: " + s.type);
    }
    if (c.type_num == 8 || c.type_num == 24) t->has_long = true;
    t->columns.push_back(std::move(c));
  }
  // Values by segment column, the large objects after the others, the
  // unlisted XMLTYPE storage last.
  std::vector<std::size_t> stored, xml_storage;
  for (std::size_t i = 0; i < n; ++i) {
    if (t->columns[i].segcol > 0) stored.push_back(i);
    else if (t->columns[i].type_num == 58) xml_storage.push_back(i);
  }
  std::stable_sort(stored.begin(), stored.end(), [&](std::size_t a, std::size_t b) {
    const Column& x = t->columns[a];
    const Column& y = t->columns[b];
    if (x.lob != y.lob) return !x.lob;
    return x.segcol < y.segcol;
  });
  t->order = stored;
  t->in_row = static_cast<std::size_t>(std::count_if(stored.begin(), stored.end(),
                                                     [&](std::size_t i) { return !t->columns[i].lob; }));
  t->has_lob = t->in_row < stored.size() || !xml_storage.empty();
  t->order.insert(t->order.end(), xml_storage.begin(), xml_storage.end());

  // The description.
  std::string x = "<?xml version=\"1.0\"?><ROWSET><ROW>\n  <STRMTABLE_T><VERS_MAJOR>1</VERS_MAJOR><VERS_MINOR>2 </VERS_MINOR>"
                  "<VERS_DPAPI>3</VERS_DPAPI><ENDIANNESS>2</ENDIANNESS><CHARSET>" + options_.charset_name +
                  "</CHARSET><NCHARSET>" + options_.ncharset_name + "</NCHARSET><DBTIMEZONE>" +
                  xml_escape(options_.db_timezone) + "</DBTIMEZONE>";
  if (options_.xml_padding > 0) x += "<FDO>" + std::string(options_.xml_padding, '0') + "</FDO>";
  const std::string obj = std::to_string(90000 + tables_.size());
  x += "<OBJ_NUM>" + obj + "</OBJ_NUM><OWNER_NAME>" + xml_escape(t->shape.owner) + "</OWNER_NAME><NAME>" +
       xml_escape(t->shape.name) + "</NAME><PROPERTY>536870912</PROPERTY><PROPERTY2>0</PROPERTY2>";
  if (t->extras.encrypted) x += "<ENCRYPTION>1</ENCRYPTION>";
  const std::size_t col_list_at = x.size();
  x += "<COL_LIST>";
  std::vector<std::size_t> listed(n);
  for (std::size_t i = 0; i < n; ++i) listed[i] = i;
  if (t->extras.col_list_reversed) std::reverse(listed.begin(), listed.end());
  for (std::size_t i : listed) {
    const Column& c = t->columns[i];
    x += "<COL_LIST_ITEM><OBJ_NUM>" + obj + "</OBJ_NUM><COL_NUM>" + std::to_string(c.col_num) +
         "</COL_NUM><INTCOL_NUM>" + std::to_string(i + 1) + "</INTCOL_NUM><SEGCOL_NUM>" + std::to_string(c.segcol) +
         "</SEGCOL_NUM><PROPERTY>" + std::to_string(c.property) + "</PROPERTY><NAME>" + xml_escape(c.name) +
         "</NAME><TYPE_NUM>" + std::to_string(c.type_num) + "</TYPE_NUM><LENGTH>" + std::to_string(c.length) +
         "</LENGTH>";
    if (c.precision >= 0) x += "<PRECISION_NUM>" + std::to_string(c.precision) + "</PRECISION_NUM>";
    if (c.scale != -1) x += "<SCALE>" + std::to_string(c.scale) + "</SCALE>";
    x += "<NOT_NULL>" + std::string(c.not_null ? "1" : "0") + "</NOT_NULL><CHARSETID>" +
         std::to_string(c.charset_form == 1 ? options_.charset_id : c.charset_form == 2 ? national_id() : 0) +
         "</CHARSETID><CHARSETFORM>" + std::to_string(c.charset_form) + "</CHARSETFORM><CHARLENGTH>" +
         std::to_string(std::max(c.char_length, 0)) + "</CHARLENGTH>";
    if (c.lob) x += "<LOB_PROPERTY>2</LOB_PROPERTY>";
    if (c.type_num == 121) {
      // "OWNER"."TYPE" as the column's type.
      const std::string& q = shape.columns[i].type;
      const std::size_t dot = q.find("\".\"");
      if (dot != std::string::npos && q.size() > dot + 4)
        x += "<TYPEMD><SCHEMA_OBJ><OWNER_NAME>" + xml_escape(q.substr(1, dot - 1)) + "</OWNER_NAME><NAME>" +
             xml_escape(q.substr(dot + 3, q.size() - dot - 4)) + "</NAME></SCHEMA_OBJ></TYPEMD>";
    }
    x += "</COL_LIST_ITEM>";
  }
  x += "</COL_LIST>";
  // What the master table keeps of the table: a TABLE_T with the same columns.
  t->table_xml = "<?xml version=\"1.0\"?><ROWSET><ROW>\n  <TABLE_T><VERS_MAJOR>2</VERS_MAJOR><SCHEMA_OBJ><OWNER_NAME>" +
                 xml_escape(t->shape.owner) + "</OWNER_NAME><NAME>" + xml_escape(t->shape.name) +
                 "</NAME><TYPE_NAME>TABLE</TYPE_NAME></SCHEMA_OBJ>" + x.substr(col_list_at) +
                 "</TABLE_T></ROW></ROWSET>";
  x += "</STRMTABLE_T></ROW></ROWSET>";
  t->xml = std::move(x);
  tables_.push_back(std::move(t));
  if (!writing_master_) master_rows_.push_back({tables_.back()->shape.owner, tables_.back()->shape.name, {}, 0});
  return static_cast<int>(tables_.size()) - 1;
}

void DataPumpWriter::begin_segment(int table, std::string_view partition) {
  if (segment_) throw DumpWriteError("begin_segment inside a segment");
  if (table < 0 || static_cast<std::size_t>(table) >= tables_.size()) throw DumpWriteError("no such table");
  Table& t = *tables_[static_cast<std::size_t>(table)];
  // The master table's entry: the table's first, or one more per segment.
  std::size_t row = 0;
  if (!writing_master_) {
    for (std::size_t i = 0; i < master_rows_.size(); ++i)
      if (master_rows_[i].schema == t.shape.owner && master_rows_[i].name == t.shape.name) row = i;
    if (t.segments > 0) {
      master_rows_.push_back({t.shape.owner, t.shape.name, {}, 0});
      row = master_rows_.size() - 1;
    }
    master_rows_[row].partition = partition;
  }
  ++t.segments;
  segment_ = std::make_unique<Segment>();
  segment_->table = &t;
  segment_->master_row = row;
  pad_to(kBlock);
  segment_->block = offset_;
  std::string head(kXmlAt, '\0');
  head.replace(0, 6, std::string("\xFF\xFF\x24\x24\x0A\x00", 6));
  put(head);
  put(be(options_.charset_id, 2));
  put(t.xml);
  segment_->xml_length = t.xml.size() + 2;
  pad_to(8);
  segment_->rows_offset = offset_;
  if (t.extras.compressed || t.extras.encrypted) {
    std::string noise(200, '\x5A');
    if (t.extras.compressed) noise.replace(0, 3, "KGC");
    put(noise);
  }
}

void DataPumpWriter::next_partition() {
  if (!segment_) throw DumpWriteError("next_partition outside a table");
  Table* t = segment_->table;
  const std::string& current = master_rows_[segment_->master_row].partition;
  std::size_t next = 0;
  for (std::size_t i = 0; i < t->shape.partitions.size(); ++i)
    if (t->shape.partitions[i].name == current) next = i + 1;
  end_segment();
  const int index = static_cast<int>(std::find_if(tables_.begin(), tables_.end(),
                                                  [&](const auto& p) { return p.get() == t; }) - tables_.begin());
  begin_segment(index, next < t->shape.partitions.size() ? t->shape.partitions[next].name : std::string{});
}

std::string DataPumpWriter::encode_cell(const Column& c, const Cell& cell) const {
  if (cell.kind == Cell::Kind::bytes) return cell.data;
  if (cell.kind == Cell::Kind::number) return encode_number(cell.data);
  if (cell.kind == Cell::Kind::date)
    return c.type_num == 12 ? encode_date(cell.when) : encode_timestamp(cell.when);
  const std::string& s = cell.data;
  switch (c.type_num) {
    case 2: return encode_number(s);
    case 12: return encode_date(parse_datetime(s));
    case 180:
    case 231: return encode_timestamp(parse_datetime(s));
    case 1:
    case 96: {
      const bool utf16 = c.charset_form == 2 && national_id() == 2000;
      std::string v = utf16 ? utf8_to_utf16be(s) : s;
      if (c.padded) {
        std::size_t chars = 0;  // characters of the UTF-8 text
        for (char ch : s) chars += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
        for (; chars < static_cast<std::size_t>(c.char_length); ++chars)
          v += utf16 ? std::string("\0 ", 2) : std::string(" ");
      }
      return v;
    }
    case 112:
      return c.charset_form == 2 || multibyte_charset(options_.charset_id) ? utf8_to_utf16be(s) : s;
    case 69:
      return encode_rowid(s);
    default:
      return s;
  }
}

void DataPumpWriter::write_piece(std::uint8_t flag, const std::vector<std::string_view>& values,
                                 const std::vector<bool>& nulls, bool with_length, bool long_lengths) {
  std::string p;
  p.push_back(static_cast<char>(flag | (with_length ? 0x30 : 0)));
  if (with_length) p += std::string(2, '\0');
  p.push_back(static_cast<char>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (nulls[i]) {
      p.push_back('\xFF');
    } else if (values[i].size() <= 250 && !long_lengths) {
      p.push_back(static_cast<char>(values[i].size()));
      p.append(values[i]);
    } else {
      p.push_back('\xFE');
      p += be(values[i].size(), 2);
      p.append(values[i]);
    }
  }
  if (with_length) {
    if (p.size() > 0xFFFF) throw DumpWriteError("row piece too long");
    p.replace(1, 2, be(p.size(), 2));
  }
  put(p);
}

void DataPumpWriter::write_row(const Table& t, const std::vector<std::string>& values, const std::vector<bool>& nulls) {
  std::size_t n = values.size();
  while (n > 0 && nulls[n - 1]) --n;  // trailing NULLs are left out
  struct Piece {
    std::vector<std::string_view> parts;
    std::vector<bool> nulls;
    std::uint8_t flags = 0;  // 0x02 / 0x01
    bool long_lengths = false;
  };
  std::vector<Piece> pieces;
  // Cuts values [from, to) into pieces of their own.
  auto cut = [&](std::size_t from, std::size_t to, bool long_lengths, std::size_t per_piece) {
    pieces.emplace_back();
    pieces.back().long_lengths = long_lengths;
    for (std::size_t v = from; v < to; ++v) {
      if (pieces.back().parts.size() >= per_piece) {
        pieces.emplace_back();
        pieces.back().long_lengths = long_lengths;
      }
      std::string_view rest = values[v];
      while (true) {
        const std::string_view part = rest.substr(0, options_.split_size);
        rest.remove_prefix(part.size());
        pieces.back().parts.push_back(part);
        pieces.back().nulls.push_back(nulls[v]);
        if (rest.empty()) break;
        pieces.back().flags |= 0x01;
        pieces.emplace_back();
        pieces.back().long_lengths = long_lengths;
        pieces.back().flags |= 0x02;
      }
    }
  };
  if (options_.lobs_inline || n <= t.in_row) {
    cut(0, n, false, kMaxPieceValues);
  } else {
    cut(0, t.in_row, false, kMaxPieceValues);
    for (std::size_t v = t.in_row; v < n; v += static_cast<std::size_t>(options_.lobs_per_piece))
      cut(v, std::min(n, v + static_cast<std::size_t>(options_.lobs_per_piece)), true,
          static_cast<std::size_t>(options_.lobs_per_piece));
  }
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    std::uint8_t flag = pieces[i].flags;
    if (i == 0) flag |= 0x08;
    if (i + 1 == pieces.size()) flag |= 0x04;
    const bool whole = pieces.size() == 1 && !t.has_lob && !t.has_long;
    write_piece(flag, pieces[i].parts, pieces[i].nulls, whole, pieces[i].long_lengths);
  }
}

void DataPumpWriter::add_row(std::span<const Cell> cells) {
  if (!segment_) throw DumpWriteError("add_row outside a segment");
  const Table& t = *segment_->table;
  if (cells.size() != t.columns.size()) throw DumpWriteError("row of " + t.shape.name + ": wrong cell count");
  if (!writing_master_) {
    ++master_rows_[segment_->master_row].rows;
    ++rows_;
  }
  if (t.extras.compressed || t.extras.encrypted) return;
  std::vector<std::string> values;
  std::vector<bool> nulls;
  values.reserve(t.order.size());
  for (std::size_t i : t.order) {
    const bool null = cells[i].kind == Cell::Kind::null;
    values.push_back(null ? std::string() : encode_cell(t.columns[i], cells[i]));
    nulls.push_back(null);
  }
  write_row(t, values, nulls);
}

void DataPumpWriter::end_segment() {
  if (!segment_) throw DumpWriteError("end_segment outside a segment");
  const Segment s = *segment_;
  segment_.reset();
  const std::uint64_t rows_length = offset_ - s.rows_offset;
  const bool v12 = options_.release == DataPumpRelease::v12_1;
  std::string pairs = be(s.xml_length, 8) + be(kXmlAt, 8) + be(v12 ? rows_length : 0, 8) +
                      be(s.rows_offset - s.block, 8);
  if (v12) {
    pairs += be(8, 8) + be(offset_ - s.block, 8);
    put(std::string(8, '\0'));
  }
  pairs += std::string(16, '\0');
  patch(s.block + 6, pairs);
  pad_to(kBlock);
}

void DataPumpWriter::write_master() {
  TableSpec m;
  m.owner = options_.master_owner;
  m.name = options_.master_name;
  m.columns = {{"COMPLETED_ROWS", "NUMBER"},       {"DUMP_FILEID", "NUMBER"},
               {"OBJECT_NAME", "VARCHAR2(128)"},   {"OBJECT_SCHEMA", "VARCHAR2(128)"},
               {"OBJECT_TYPE", "VARCHAR2(30)"},    {"PARTITION_NAME", "VARCHAR2(128)"},
               {"PROCESS_ORDER", "NUMBER"},        {"SUBPARTITION_NAME", "VARCHAR2(128)"},
               {"XML_CLOB", "CLOB"}};
  const std::vector<MasterRow> rows = master_rows_;
  writing_master_ = true;
  const int t = add_table(m);
  begin_segment(t);
  std::uint64_t total = 0;
  for (const MasterRow& r : rows) total += r.rows;
  add_row({Cell::number(std::to_string(total)), Cell::null(), Cell::null(), Cell::null(), Cell::text("TABLE_DATA"),
           Cell::null(), Cell::number("-1"), Cell::null(), Cell::null()});
  int order = 1;
  for (const MasterRow& r : rows) {
    add_row({Cell::number(std::to_string(r.rows)), Cell::null(), Cell::text(r.name), Cell::text(r.schema),
             Cell::text("TABLE_DATA"), r.partition.empty() ? Cell::null() : Cell::text(r.partition),
             Cell::number(std::to_string(order++)), Cell::null(), Cell::null()});
  }
  // Each table's description, as the master table keeps it.
  for (const auto& table : tables_) {
    if (table.get() == tables_.back().get()) continue;
    add_row({Cell::null(), Cell::number("1"), Cell::text(table->shape.name), Cell::text(table->shape.owner),
             Cell::text("TABLE"), Cell::null(), Cell::number(std::to_string(order++)), Cell::null(),
             Cell::text(table->table_xml)});
  }
  end_segment();
  writing_master_ = false;
}

DataPumpStats DataPumpWriter::finish() {
  if (finished_) throw DumpWriteError("finish called twice");
  if (segment_) end_segment();
  if (options_.write_master) write_master();
  if (options_.release == DataPumpRelease::v23_6) {
    // A block that looks like a segment but leads to a copy of the header.
    pad_to(kBlock);
    std::string fake(kXmlAt, '\0');
    fake.replace(0, 6, std::string("\xFF\xFF\x24\x24\x0A\x00", 6));
    fake.replace(6, 16, be(kBlock, 8) + be(kXmlAt, 8));
    put(fake);
    std::string copy(kBlock, '\0');
    if (std::fflush(file_.get()) != 0 || fseeko(file_.get(), 0, SEEK_SET) != 0 ||
        std::fread(copy.data(), 1, copy.size(), file_.get()) != copy.size() ||
        fseeko(file_.get(), static_cast<off_t>(offset_), SEEK_SET) != 0)
      throw DumpWriteError("read back failed: " + written_.back());
    put(copy);
  }
  finished_ = true;
  close_volume();
  return DataPumpStats{total_before_, rows_, written_};
}

std::uint64_t DataPumpWriter::bytes_written() const { return total_before_ + offset_; }

std::string encode_timestamp_tz(const DateTime& local, int offset_minutes) {
  // Stored in UTC: the local time less the offset.
  DateTime utc = local;
  long long minutes = utc.hour * 60LL + utc.minute - offset_minutes;
  int day_shift = 0;
  while (minutes < 0) minutes += 1440, --day_shift;
  while (minutes >= 1440) minutes -= 1440, ++day_shift;
  utc.hour = static_cast<int>(minutes / 60);
  utc.minute = static_cast<int>(minutes % 60);
  if (day_shift != 0) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    auto days_in = [&](int y, int m) {
      const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
      return kDays[m - 1] + (m == 2 && leap ? 1 : 0);
    };
    utc.day += day_shift;
    if (utc.day < 1) {
      if (--utc.month < 1) utc.month = 12, --utc.year;
      utc.day = days_in(utc.year, utc.month);
    } else if (utc.day > days_in(utc.year, utc.month)) {
      utc.day = 1;
      if (++utc.month > 12) utc.month = 1, ++utc.year;
    }
  }
  std::string b = encode_date(utc);
  b += be(utc.nanos, 4);
  b.push_back(static_cast<char>(offset_minutes / 60 + 20));
  b.push_back(static_cast<char>(offset_minutes % 60 + 60));
  return b;
}

std::string encode_timestamp_tz_region(const DateTime& utc, int region_id) {
  std::string b = encode_date(utc);
  b += be(utc.nanos, 4);
  b.push_back(static_cast<char>(0x80 | ((region_id >> 6) & 0x7F)));
  b.push_back(static_cast<char>((region_id & 0x3F) << 2));
  return b;
}

std::string encode_interval_ym(int years, int months) {
  std::string b = be(static_cast<std::uint32_t>(static_cast<long long>(years) + 0x80000000LL), 4);
  b.push_back(static_cast<char>(months + 60));
  return b;
}

std::string encode_interval_ds(long long days, int hours, int minutes, int seconds, long nanos) {
  std::string b = be(static_cast<std::uint32_t>(days + 0x80000000LL), 4);
  b.push_back(static_cast<char>(hours + 60));
  b.push_back(static_cast<char>(minutes + 60));
  b.push_back(static_cast<char>(seconds + 60));
  b += be(static_cast<std::uint32_t>(nanos + 0x80000000LL), 4);
  return b;
}

namespace {

template <typename Bits>
std::string flipped(Bits bits) {
  constexpr Bits kSign = Bits{1} << (sizeof(Bits) * 8 - 1);
  bits = (bits & kSign) != 0 ? static_cast<Bits>(~bits) : static_cast<Bits>(bits | kSign);
  return be(bits, sizeof(Bits));
}

}  // namespace

std::string encode_binary_float(float v) { return flipped(std::bit_cast<std::uint32_t>(v)); }
std::string encode_binary_double(double v) { return flipped(std::bit_cast<std::uint64_t>(v)); }

}  // namespace qln::dumpwriter
