#include "output/insert_lobs.hpp"

#include <string>

#include "core/messages.hpp"
#include "output/lob_files.hpp"
#include "output/sql_identifiers.hpp"

namespace qln {

void InsertLobs::begin_table(const GlobalParams& g, const ConvOptions& o,
                             const TableDefinition& table) {
  columns_.clear();
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    const std::int32_t type = table.columns[i].type;
    const bool long_value = type == kColLong || type == kColLongRaw;
    if (!is_lob_section_type(type) && !long_value) continue;
    Column c;
    c.index = static_cast<int>(i);
    c.binary = type == kColBlob || type == kColLongRaw;
    c.long_value = long_value;
    // Hex digits take twice the bytes. Oracle binds a LONG RAW of at most
    // 32,760 bytes from a script (a PL/SQL variable).
    c.bound = c.binary ? kMaxInsertLob / 2 : kMaxInsertLob;
    if (type == kColLongRaw && o.dbms_type == kDbmsOracle) c.bound = kMaxOracleLongRaw;
    if (type == kColLong) {
      c.to = output_charset(o);
      c.from = g.db_charset;
    } else if (!c.binary) {
      // As the column files have them: CLOB of a varying-width set is stored in UTF-16.
      c.to = output_charset(o);
      c.from = stored_lob_charset(type, g.db_charset, g.nls_charset);
    }
    columns_.push_back(std::move(c));
  }
}

InsertLobs::Column* InsertLobs::find(int column) noexcept {
  for (Column& c : columns_)
    if (c.index == column) return &c;
  return nullptr;
}

bool InsertLobs::wants(int column) const noexcept {
  for (const Column& c : columns_)
    if (c.index == column) return true;
  return false;
}

void InsertLobs::chunk(int column, std::span<const std::uint8_t> bytes) {
  Column* c = find(column);
  if (c == nullptr) return;
  c->seen = true;
  if (c->over) return;
  if (c->bytes.size() + bytes.size() > c->bound) {
    c->over = true;
    c->bytes.clear();
    c->bytes.shrink_to_fit();
    return;
  }
  c->bytes.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void InsertLobs::skip_row() noexcept {
  for (Column& c : columns_) {
    c.seen = c.over = false;
    c.bytes.clear();
  }
}

void InsertLobs::fill(GlobalParams& g, const TableDefinition& table, RowValues& row) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (Column& c : columns_) {
    const bool seen = c.seen, over = c.over;
    c.seen = c.over = false;
    if (c.index >= row.count || row[c.index].type == VT_NULL) {
      c.bytes.clear();
      continue;
    }
    SqlValue& v = row[c.index];
    // A long value that came in the row itself is whole there already.
    if (c.long_value && !seen) continue;
    if (over) {
      v.type = VT_NULL;
      v.text.clear();
      if (!c.warned) {
        c.warned = true;
        g.zulcode = code_number(MessageCode::kColumnWrittenAsNull);
        report_error(g, table.table_name + "." +
                            table.columns[static_cast<std::size_t>(c.index)].name + " > " +
                            (c.bound < kMaxInsertLob / 2 ? std::to_string(c.bound) + " bytes" : "16MB"));
      }
      continue;
    }
    v.type = VT_BYTES;
    if (!seen) c.bytes.clear();
    if (c.binary) {
      v.text.assign("0x");
      for (char ch : c.bytes) {
        const auto b = static_cast<unsigned char>(ch);
        v.text.push_back(kHex[b >> 4]);
        v.text.push_back(kHex[b & 0x0F]);
      }
    } else {
      v.text.swap(c.bytes);
      if (c.from != c.to && has_conversion(c.from) && has_conversion(c.to) && c.to != kCharsetUtf16)
        convert_charset(converter_, c.from, c.to, v.text);
    }
    v.length = static_cast<std::int32_t>(v.text.size());
    c.bytes.clear();
  }
}

}  // namespace qln
