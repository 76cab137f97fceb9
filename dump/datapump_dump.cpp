#include "dump/datapump_dump.hpp"

#include <algorithm>
#include <array>

#include "core/messages.hpp"
#include "dump/datapump_xml.hpp"
#include "dump/row_reader.hpp"
#include "values/charset.hpp"

namespace qln {
namespace {

// What a master-table row holds for one table (or partition) whose rows
// the job exported.
struct MasterEntry {
  std::string schema, name, partition, subpartition;
  std::int64_t rows = 0;
};

// A NUMBER that is a whole number from 0 up; -1 otherwise.
std::int64_t whole_number(std::span<const unsigned char> b) {
  if (b.size() == 1 && b[0] == 0x80) return 0;
  if (b.empty() || b.size() > 12 || b[0] < 0xC1) return -1;
  const int exponent = b[0] - 0xC1;
  if (exponent > 8 || static_cast<int>(b.size()) - 1 > exponent + 1) return -1;
  std::int64_t v = 0;
  for (int i = 0; i <= exponent; ++i) {
    const int digit = i + 1 < static_cast<int>(b.size()) ? b[static_cast<std::size_t>(i) + 1] - 1 : 0;
    if (digit < 0 || digit > 99) return -1;
    v = v * 100 + digit;
  }
  return v;
}

// The text between <TAG> and </TAG> of a cut description, for naming it.
std::string partial_element(std::string_view xml, std::string_view tag, std::size_t from) {
  const std::string open = "<" + std::string(tag) + ">";
  std::size_t a = xml.find(open, from);
  if (a == std::string_view::npos) return "?";
  a += open.size();
  std::size_t b = xml.find('<', a);
  if (b == std::string_view::npos || b - a > kMaxNameLen) return "?";
  return std::string(xml.substr(a, b - a));
}

// Collects one large-object column of a row.
struct XmlCapture final : DataPumpLobSink {
  explicit XmlCapture(int column) : column(column) {}
  bool wants(int c) const override { return c == column && text.size() < static_cast<std::size_t>(kMaxDpXmlLength); }
  bool chunk(int, std::span<const std::uint8_t> bytes) override {
    text.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return true;
  }
  int column;
  std::string text;
};

// A CLOB of a multibyte database is UTF-16BE; the XML is read as UTF-8.
std::string utf8_of_clob(const std::string& clob) {
  if (clob.size() < 2 || clob[0] != '\0' || clob.size() % 2 != 0) return clob;
  std::string out;
  out.reserve(clob.size() / 2);
  for (std::size_t i = 0; i + 1 < clob.size(); i += 2) {
    std::uint32_t cp = (static_cast<unsigned char>(clob[i]) << 8) | static_cast<unsigned char>(clob[i + 1]);
    if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < clob.size()) {
      const std::uint32_t lo = (static_cast<unsigned char>(clob[i + 2]) << 8) | static_cast<unsigned char>(clob[i + 3]);
      if (lo >= 0xDC00 && lo < 0xE000) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
        i += 2;
      }
    }
    append_utf8(out, cp);
  }
  return out;
}

std::string hex_offset(std::int64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
  return buf;
}

}  // namespace

std::string table_name_text(const DataPumpTableEntry& t) { return t.owner + "." + t.name; }

int DataPumpDump::open(GlobalParams& g, const std::vector<std::string>& files) {
  files_ = files;
  volumes_.clear();
  segments_.clear();
  tables_.clear();
  damage_.clear();
  master_found_ = false;
  std::size_t master_segment = 0;
  DataPumpTable parsed;
  std::string xml, why;
  for (std::size_t v = 0; v < files.size(); ++v) {
    auto file = std::make_unique<DumpFile>();
    if (file->open(files[v]) != 0) return fail(g, MessageCode::kDumpOpen, files[v]);
    std::array<std::uint8_t, kDpBlockSize> block{};
    const std::int64_t got = file->read_at(0, block.data(), block.size());
    if (got < 0) return fail(g, MessageCode::kDumpRead, files[v]);
    DataPumpHeader h;
    if (!parse_datapump_header(std::span<const std::uint8_t>(block.data(), static_cast<std::size_t>(got)), h))
      return fail(g, MessageCode::kDumpHeader, files[v]);
    // Every file must come from the same export job.
    if (v == 0) {
      header_ = h;
    } else if (h.master_owner != header_.master_owner || h.master_name != header_.master_name) {
      return fail(g, MessageCode::kDumpHeader, files[v]);
    }
    const std::size_t first = segments_.size();
    if (find_datapump_segments(*file, static_cast<int>(v), segments_) != 0) return fail(g, MessageCode::kDumpRead, files[v]);
    for (std::size_t i = first; i < segments_.size(); ++i) {
      const DataPumpSegment& s = segments_[i];
      const bool whole = read_segment_xml(*file, s, xml);
      if (!whole || !parse_table_metadata(xml, parsed, why)) {
        // Named as far as the text still names it.
        std::size_t from = xml.find("<STRMTABLE_T>");
        if (from == std::string::npos) from = 0;
        const std::string owner = partial_element(xml, "OWNER_NAME", from);
        std::size_t after_owner = xml.find("</OWNER_NAME>", from);
        const std::string name = partial_element(xml, "NAME", after_owner == std::string::npos ? from : after_owner);
        damage_.push_back(owner + "." + name + " " +
                          (whole ? "description " + why : std::string("description cut")) + " at " +
                          hex_offset(s.block));
        continue;
      }
      if (parsed.owner == header_.master_owner && parsed.name == header_.master_name) {
        if (!master_found_) {
          master_found_ = true;
          master_segment = i;
          std::swap(parsed, master_table_);
        }
        continue;
      }
      auto it = std::find_if(tables_.begin(), tables_.end(), [&](const DataPumpTableEntry& t) {
        return t.owner == parsed.owner && t.name == parsed.name;
      });
      if (it == tables_.end()) {
        DataPumpTableEntry t;
        t.owner = parsed.owner;
        t.name = parsed.name;
        t.described = true;
        t.table = std::move(parsed);
        tables_.push_back(std::move(t));
        it = tables_.end() - 1;
      }
      it->segments.push_back(i);
    }
    volumes_.push_back(std::move(file));
  }
  if (master_found_) {
    if (read_master(g, master_table_, master_segment) != 0) return -1;
  } else {
    damage_.push_back(header_.master_owner + "." + header_.master_name + " missing");
  }
  for (DataPumpTableEntry& t : tables_) refuse_unreadable(t);
  return 0;
}

void DataPumpDump::refuse_unreadable(DataPumpTableEntry& t) {
  if (!t.described || t.segments.empty()) return;
  if (t.table.encrypted) {
    t.refusal = DataPumpRefusal::kEncrypted;
    return;
  }
  // Compressed rows begin as the compressed metadata blocks do.
  const DataPumpSegment& s = segments_[t.segments.front()];
  std::array<char, 3> head{};
  if (volumes_[static_cast<std::size_t>(s.volume)]->read_at(s.rows_offset, head.data(), head.size()) == 3 &&
      head[0] == 'K' && head[1] == 'G' && head[2] == 'C')
    t.refusal = DataPumpRefusal::kCompressed;
}

int DataPumpDump::read_master(GlobalParams& g, const DataPumpTable& master, std::size_t segment) {
  // The columns read, by name.
  static constexpr std::array<std::string_view, 8> kNames = {
      "OBJECT_TYPE", "OBJECT_SCHEMA", "OBJECT_NAME", "PARTITION_NAME", "SUBPARTITION_NAME",
      "COMPLETED_ROWS", "PROCESS_ORDER", "XML_CLOB"};
  std::array<int, kNames.size()> col{};
  col.fill(-1);
  for (std::size_t c = 0; c < master.definition.columns.size(); ++c)
    for (std::size_t k = 0; k < kNames.size(); ++k)
      if (master.definition.columns[c].name == kNames[k]) col[k] = static_cast<int>(c);
  if (col[0] < 0 || col[1] < 0 || col[2] < 0 || col[5] < 0) return 0;  // not the layout known

  const DataPumpSegment& s = segments_[segment];
  const DumpFile& file = *volumes_[static_cast<std::size_t>(s.volume)];
  SegmentInput in(file);
  const std::int64_t size = file.size();
  const std::int64_t end = s.rows_length >= 0 ? s.rows_offset + s.rows_length : size;
  in.start(s.rows_offset, std::min(end, size));
  RowFramer framer(master, in, end, s.rows_length >= 0);
  std::vector<unsigned char> row;
  std::vector<std::string_view> value(master.definition.columns.size());
  std::vector<std::uint8_t> present(value.size());
  std::vector<MasterEntry> entries;
  // The TABLE_T description of a table no data segment describes (an empty
  // table has none), from the row's XML_CLOB.
  XmlCapture capture(col[7]);
  std::vector<std::string> descriptions;
  int rc;
  while ((rc = framer.next_row(row)) == 1) {
    std::fill(value.begin(), value.end(), std::string_view{});
    std::fill(present.begin(), present.end(), 0);
    std::size_t at = 0;
    for (std::size_t c = 0; c < value.size(); ++c) {
      const std::size_t len = row[at] | (row[at + 1] << 8);
      at += 2;
      if (len == kNullLength) continue;
      value[c] = std::string_view(reinterpret_cast<const char*>(row.data() + at), len);
      present[c] = 1;
      at += len;
    }
    auto text = [&](int k) { return col[static_cast<std::size_t>(k)] < 0 ? std::string_view{} : value[static_cast<std::size_t>(col[static_cast<std::size_t>(k)])]; };
    auto number = [&](int k) {
      std::string_view v = text(k);
      return whole_number(std::span<const unsigned char>(reinterpret_cast<const unsigned char*>(v.data()), v.size()));
    };
    if (text(0) == "TABLE_DATA" && !text(2).empty() && (col[6] < 0 || number(6) > 0)) {
      MasterEntry e{std::string(text(1)), std::string(text(2)), std::string(text(3)), std::string(text(4)),
                    std::max<std::int64_t>(number(5), 0)};
      entries.push_back(std::move(e));
    } else if (text(0) == "TABLE" && col[7] >= 0 && present[static_cast<std::size_t>(col[7])] != 0 && !is_described(text(1), text(2))) {
      capture.text.clear();
      if (framer.stream_lobs(capture) == 0) descriptions.push_back(utf8_of_clob(capture.text));
    }
    row.clear();
  }
  if (rc < 0) {
    damage_.push_back(master.owner + "." + master.name + " " + framer.why());
    return 0;
  }
  (void)g;
  for (const MasterEntry& e : entries) {
    auto it = std::find_if(tables_.begin(), tables_.end(), [&](const DataPumpTableEntry& t) {
      return t.owner == e.schema && t.name == e.name;
    });
    if (it == tables_.end()) {
      DataPumpTableEntry t;
      t.owner = e.schema;
      t.name = e.name;
      tables_.push_back(std::move(t));
      it = tables_.end() - 1;
    }
    it->master_rows = std::max<std::int64_t>(it->master_rows, 0) + e.rows;
    if (!e.partition.empty())
      it->partitions.push_back(e.subpartition.empty() ? e.partition : e.partition + "." + e.subpartition);
  }
  DataPumpTable parsed;
  std::string why;
  for (const std::string& xml : descriptions) {
    if (!parse_table_metadata(xml, parsed, why)) continue;
    for (DataPumpTableEntry& t : tables_) {
      if (t.described || t.owner != parsed.owner || t.name != parsed.name) continue;
      t.table = std::move(parsed);
      t.described = true;
      break;
    }
  }
  return 0;
}

bool DataPumpDump::is_described(std::string_view owner, std::string_view name) const {
  return std::any_of(tables_.begin(), tables_.end(), [&](const DataPumpTableEntry& t) {
    return t.described && t.owner == owner && t.name == name;
  });
}

int DataPumpDump::report_damage(GlobalParams& g) const {
  for (const std::string& d : damage_) fail(g, MessageCode::kDumpRead, d);
  return damage_.empty() ? 0 : -1;
}

int DataPumpDump::read_rows(GlobalParams& g, std::size_t index, DataPumpRowConsumer& consumer,
                            std::int64_t& rows_read) {
  rows_read = 0;
  const DataPumpTableEntry& t = tables_[index];
  if (t.refusal != DataPumpRefusal::kNone) {
    // Named only when its rows are wanted.
    if (t.segments.empty() || !consumer.begin_segment(segments_[t.segments.front()])) return 0;
    const BilingualText what = t.refusal == DataPumpRefusal::kCompressed
                                   ? BilingualText{"圧縮されたテーブル", "The compressed table "}
                                   : BilingualText{"暗号化されたテーブル", "The encrypted table "};
    return fail(g, MessageCode::kNotSupported,
                utf8_to_os_charset(g.os_charset, std::string(what.in(g.language)) + table_name_text(t)));
  }
  std::vector<unsigned char> bytes;
  bytes.reserve(kBatchBytes + 2 * kMaxRowValueLen);
  std::vector<std::size_t> ends;
  ends.reserve(kBatchRows);
  auto flush = [&]() {
    bool go_on = ends.empty() || consumer.rows(bytes, ends);
    bytes.clear();
    ends.clear();
    return go_on;
  };
  for (std::size_t idx : t.segments) {
    const DataPumpSegment& s = segments_[idx];
    if (!consumer.begin_segment(s)) continue;
    const DumpFile& file = *volumes_[static_cast<std::size_t>(s.volume)];
    SegmentInput in(file);
    const std::int64_t size = file.size();
    const std::int64_t end = s.rows_length >= 0 ? s.rows_offset + s.rows_length : size;
    in.start(s.rows_offset, std::min(end, size));
    RowFramer framer(t.table, in, end, s.rows_length >= 0);
    DataPumpLobSink* sink = framer.has_lobs() ? consumer.lob_sink() : nullptr;
    while (true) {
      const int rc = framer.next_row(bytes);
      if (rc == 0) break;
      if (rc < 0) {
        if (!flush()) return 1;
        return fail(g, MessageCode::kDumpRead, table_name_text(t) + " " + framer.why());
      }
      ends.push_back(bytes.size());
      ++rows_read;
      if (framer.has_lobs()) {
        // A stop takes effect after the row's large objects.
        const bool go_on = flush();
        if (sink != nullptr) {
          if (framer.stream_lobs(*sink) != 0)
            return framer.why().empty() ? -1 : fail(g, MessageCode::kDumpRead, table_name_text(t) + " " + framer.why());
          if (!consumer.lob_row_done()) return -1;
        }
        if (!go_on) return 1;
      } else if (ends.size() >= kBatchRows || bytes.size() >= kBatchBytes) {
        if (!flush()) return 1;
      }
    }
    if (!flush()) return 1;
  }
  // Rows the job wrote that no segment holds (a file of the dump is
  // missing), or more than it wrote (a file given twice).
  if (t.master_rows >= 0 && t.master_rows != rows_read)
    return fail(g, MessageCode::kDumpRead, table_name_text(t) + " " + std::to_string(rows_read) + "/" +
                             std::to_string(t.master_rows) + " rows");
  return 0;
}

}  // namespace qln
