#include "dump/row_reader.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/messages.hpp"

namespace qln {

bool is_accepted_descriptor(std::uint8_t t) noexcept {
  switch (t) {
    case 1: case 2: case 8: case 12: case 23: case 24: case 58: case 64:
    case 69: case 96: case 112: case 113: case 208: case 231:
      return true;
    default:
      return t >= 114 && t <= 183;
  }
}

// Most values are short: a fixed-size copy of a few vector moves beats a
// general copy of the exact size, as long as both sides have the room.
inline void copy_value(unsigned char* dst, const unsigned char* src, std::size_t n,
                       std::size_t src_room, std::size_t dst_room) {
  constexpr std::size_t kShort = 64;
  if (n <= kShort && src_room >= kShort && dst_room >= kShort) {
    std::memcpy(dst, src, kShort);
  } else {
    std::memcpy(dst, src, n);
  }
}

// The data stop before the table's end-of-table mark.
int RowReader::truncated() { return corrupt(); }
int RowReader::corrupt() {
  return fail(g_, MessageCode::kDumpFormat, table_.empty() ? std::string() : "(\"" + table_ + "\")");
}

// A length field that is neither a length nor one of the marks.
int RowReader::bad_length(std::uint16_t len) {
  if (debug_on(g_)) {
    char line[96];
    std::snprintf(line, sizeof line, "[%llx] col_len > VARCHAR_LEN col_len = %lld ",
                  static_cast<unsigned long long>(in_.offset() - 2), static_cast<long long>(len));
    debug_log(g_, std::string(line) + std::string(40, '>'));
    debug_log(g_, "col_len > VARCHAR_LEN " + std::string(40, '<'));
  }
  return corrupt();
}

// Reader results are 1 (bytes delivered), 0 (end of data) or -1 (reported).
#define QLN_TAKE(expr)                  \
  do {                                  \
    int rc_ = (expr);                   \
    if (rc_ != 1) return rc_ == 0 ? truncated() : -1; \
  } while (0)

int RowReader::read_descriptors(int dump_type, int expected_columns) {
  desc_.clear();
  lob_column_.clear();
  has_lob_ = false;
  direct_ = dump_type == 1;
  first_field_pending_ = false;
  pending_lobs_ = 0;
  pending_long_first_ = false;

  std::uint16_t n = 0;
  QLN_TAKE(in_.get_u16(n));
  if (n == 0 || n > kMaxRowValueLen) return corrupt();
  if (expected_columns >= 0 && n != expected_columns) return corrupt();
  desc_.reserve(n);
  bool has_object = false;
  for (int i = 0; i < n; ++i) {
    unsigned char head[4];
    QLN_TAKE(in_.read(head, 4));
    ColumnDescriptor d;
    d.type = head[0];
    d.max_length = static_cast<std::uint16_t>(head[2] | (head[3] << 8));
    if (!is_accepted_descriptor(d.type)) {
      char code[8];
      std::snprintf(code, sizeof code, "%02x", d.type);
      return fail(g_, MessageCode::kUnsupportedType, code);
    }
    if (descriptor_has_charset(d.type)) QLN_TAKE(in_.skip(4));
    desc_.push_back(d);
    lob_column_.push_back(is_lob_descriptor(d.type));
    has_lob_ = has_lob_ || is_lob_descriptor(d.type);
    has_object = has_object || (d.type >= 121 && d.type <= 123);
  }
  scannable_ = !has_lob_ && std::none_of(desc_.begin(), desc_.end(), [](const ColumnDescriptor& d) {
    return is_long_descriptor(d.type);
  });

  // Dumps of 12c and later follow the descriptors with a count of name
  // entries: zero for plain tables, the column count for tables with large
  // objects or object types. Older plain tables go straight to padding.
  std::uint16_t count = 0;
  QLN_TAKE(in_.get_u16(count));
  // exp writes tables with large objects row by row even in a direct-path
  // export: their rows end with a mark like conventional ones.
  direct_ = direct_ && !has_lob_;
  if (count == n) {
    if (int rc = read_name_entries(count); rc != 0) return rc;
  } else if (count != 0) {
    if (has_lob_ || has_object) return corrupt();
    if (direct_) return find_first_row(false);
    // An older layout without the count: these are the first row's bytes.
    first_field_ = count;
    first_field_pending_ = true;
    return 0;
  }
  return find_first_row(true);
}

int RowReader::read_name_entries(std::uint16_t count) {
  for (int i = 0; i < count * 3; ++i) {
    unsigned char len = 0;
    QLN_TAKE(in_.get(len));
    QLN_TAKE(in_.skip(len));
  }
  return 0;
}

// Zero padding comes before the first row (or the end-of-table mark).
int RowReader::find_first_row(bool structured) {
  if (!structured) {
    // A direct-path export without the entry count has a few bytes of its
    // own here: the row starts at the first non-zero byte after at least
    // three zero bytes.
    int zeros = 0;
    unsigned char b = 0;
    for (;;) {
      QLN_TAKE(in_.get(b));
      if (b == 0) {
        ++zeros;
      } else if (zeros >= 3) {
        break;
      }
    }
    unsigned char hi = 0;
    QLN_TAKE(in_.get(hi));
    first_field_ = static_cast<std::uint16_t>(b | (hi << 8));
  } else {
    // Padding comes in whole 16-bit words, so a first length such as 0x0100
    // is not mistaken for padding.
    std::uint16_t v = 0;
    do {
      QLN_TAKE(in_.get_u16(v));
    } while (v == 0);
    first_field_ = v;
  }
  first_field_pending_ = true;
  return 0;
}

// One chunk of a large-object entry: to the column file when it is wanted.
int RowReader::lob_chunk(int column, std::uint16_t length) {
  if (lob_ == nullptr || !lob_->wants(column)) {
    QLN_TAKE(in_.skip(length));
    return 0;
  }
  if (chunk_.size() < length) chunk_.resize(65536);
  if (length > 0) QLN_TAKE(in_.read(chunk_.data(), length));
  return lob_->chunk(column, {chunk_.data(), length}).ok() ? 0 : -1;
}

int RowReader::read_lob_long_body(int column) {
  std::uint32_t total = 0;
  QLN_TAKE(in_.get_u32(total));
  QLN_TAKE(in_.skip(4));
  std::uint64_t got = 0;
  while (got < total) {
    std::uint16_t chunk = 0;
    QLN_TAKE(in_.get_u16(chunk));
    if (chunk == 0) break;
    if (lob_chunk(column, chunk) != 0) return -1;
    got += chunk;
  }
  return 0;
}

int RowReader::read_lob_entry(int column) {
  std::uint16_t len = 0;
  QLN_TAKE(in_.get_u16(len));
  if (len <= 0xFF00) return lob_chunk(column, len);
  return read_lob_long_body(column);
}

int RowReader::read_pending_lobs() {
  std::size_t entry = 0;
  auto column = [&]() {
    const std::size_t i = entry++;
    return i < lob_entry_columns_.size() ? lob_entry_columns_[i] : -1;
  };
  if (pending_long_first_) {
    pending_long_first_ = false;
    if (read_lob_long_body(column()) != 0) return -1;
  }
  for (; pending_lobs_ > 0; --pending_lobs_)
    if (read_lob_entry(column()) != 0) return -1;
  return 0;
}

int RowReader::finish_row() {
  if ((pending_lobs_ > 0 || pending_long_first_) && read_pending_lobs() != 0) return -1;
  if (lob_ == nullptr) return 0;
  return lob_->end_row().ok() ? 0 : -1;
}

// A LONG or LONG RAW value in chunks. The row keeps its first bytes (what
// CSV shows of it); a sink that wants the column gets every chunk, so the
// whole value reaches the output without the row buffer growing.
int RowReader::read_chunked_long(RowBuffer& row, int raw_length, bool keep) {
  std::size_t want = static_cast<std::size_t>(std::clamp(raw_length, 0, int{kMaxRowValueLen}));
  std::size_t at = row.used;
  if (keep) {
    if (at + 2 + want > kRecBuffSize) return fail(g_, MessageCode::kDumpBuffer, "rec_buff");
  }
  const int column = row.columns;
  const bool to_sink = keep && lob_ != nullptr && lob_->wants(column);
  std::size_t kept = 0;
  bool first = true;
  for (;;) {
    std::uint16_t chunk = 0;
    QLN_TAKE(in_.get_u16(chunk));
    if (chunk == 0) break;
    std::size_t take = first && keep ? std::min<std::size_t>(want, chunk) : 0;
    if (to_sink) {
      if (read_long_chunk(column, chunk) != 0) return -1;
      if (take > 0) std::memcpy(row.data.data() + at + 2, chunk_.data(), take);
    } else {
      if (take > 0) QLN_TAKE(in_.read(row.data.data() + at + 2, take));
      QLN_TAKE(in_.skip(chunk - static_cast<std::int64_t>(take)));
    }
    if (first) kept = take;
    first = false;
  }
  if (keep) {
    row.data[at] = static_cast<unsigned char>(kept & 0xFF);
    row.data[at + 1] = static_cast<unsigned char>(kept >> 8);
    row.used = at + 2 + kept;
  }
  ++row.columns;
  return 0;
}

// One chunk of a long value read whole into chunk_ and handed to the sink.
int RowReader::read_long_chunk(int column, std::uint16_t length) {
  if (chunk_.size() < length) chunk_.resize(65536);
  QLN_TAKE(in_.read(chunk_.data(), length));
  return lob_->chunk(column, {chunk_.data(), length}).ok() ? 0 : -1;
}

// A value too long for a 16-bit length inside the regular part of a row:
// the row keeps its first bytes, so the columns after it stay in place; a
// sink that wants the column gets all of it.
int RowReader::read_long_form_value(RowBuffer& row, bool keep) {
  std::uint32_t total = 0;
  QLN_TAKE(in_.get_u32(total));
  QLN_TAKE(in_.skip(4));
  std::size_t at = row.used;
  const int column = row.columns;
  const bool to_sink = keep && lob_ != nullptr && lob_->wants(column);
  std::size_t kept = 0;
  std::uint64_t got = 0;
  while (got < total) {
    std::uint16_t chunk = 0;
    QLN_TAKE(in_.get_u16(chunk));
    if (chunk == 0) break;
    std::size_t take = keep ? std::min<std::size_t>(kMaxRowValueLen - kept, chunk) : 0;
    if (take > 0 && at + 2 + kept + take > kRecBuffSize) return fail(g_, MessageCode::kDumpBuffer, "rec_buff");
    if (to_sink) {
      if (read_long_chunk(column, chunk) != 0) return -1;
      if (take > 0) std::memcpy(row.data.data() + at + 2 + kept, chunk_.data(), take);
    } else {
      if (take > 0) QLN_TAKE(in_.read(row.data.data() + at + 2 + kept, take));
      QLN_TAKE(in_.skip(chunk - static_cast<std::int64_t>(take)));
    }
    kept += take;
    got += chunk;
  }
  if (keep) {
    row.data[at] = static_cast<unsigned char>(kept & 0xFF);
    row.data[at + 1] = static_cast<unsigned char>(kept >> 8);
    row.used = at + 2 + kept;
  }
  ++row.columns;
  return 0;
}

void RowReader::scan_rows(ScannedRows& s, std::size_t max_rows) {
  s.begins.clear();
  s.ends.clear();
  s.used = 0;
  s.base = in_.window();
  if (!scannable_ || first_field_pending_) return;
  const unsigned char* const w = s.base;
  const std::size_t avail = in_.window_size();
  const int n = column_count();
  std::size_t pos = 0;  // after the last whole row
  while (s.ends.size() < max_rows) {
    std::size_t at = pos;
    // A stray end-of-row mark before a row is passed over, as next_row does.
    while (at + 2 <= avail && w[at] == 0 && w[at + 1] == 0) at += 2;
    const std::size_t begin = at;
    for (int col = 0; col < n; ++col) {
      if (at + 2 > avail) return;
      const std::size_t len = static_cast<std::size_t>(w[at] | (w[at + 1] << 8));
      at += 2;
      if (len == kNullLength) continue;
      // len - 1 wraps for 0: marks, long values and damage are next_row's.
      if (len - 1 >= kMaxRowValueLen) return;
      at += len;
    }
    if (at > avail) return;
    const std::size_t end = at;
    if (!direct_) {
      if (at + 2 > avail || w[at] != 0 || w[at + 1] != 0) return;
      at += 2;
    }
    s.begins.push_back(begin);
    s.ends.push_back(end);
    s.used = pos = at;
  }
}

int RowReader::next_row(RowBuffer& row, int raw_length, bool keep) {
  if ((lob_ != nullptr || pending_lobs_ > 0 || pending_long_first_) && finish_row() != 0) return -1;
  row.clear();
  lob_entry_columns_.clear();
  const int n = column_count();
  int lobs_in_row = 0;
  unsigned char* const out = row.data.data();
  for (;;) {
    // The common case, short values whose bytes are all in the buffer: the
    // row buffer keeps the dump's own framing, so field and value are copied
    // together, as many as the buffer holds, without a call per value.
    if (!first_field_pending_ && row.columns < n && !has_lob_) {
      const unsigned char* w = in_.window();
      const std::size_t avail = in_.window_size();
      std::size_t pos = 0;
      std::size_t used = row.used;
      int cols = row.columns;
      while (cols < n && pos + 2 <= avail) {
        const std::size_t len = static_cast<std::size_t>(w[pos] | (w[pos + 1] << 8));
        // len - 1 wraps for 0, so one test leaves out the marks and NULL.
        if (len - 1 >= kMaxRowValueLen || pos + 2 + len > avail) break;
        if (keep && used + pos + 2 + len > kRecBuffSize) return fail(g_, MessageCode::kDumpBuffer, "rec_buff");
        pos += 2 + len;
        ++cols;
      }
      // The values found lie one after the other, as in the row buffer.
      if (keep && pos != 0) {
        copy_value(out + used, w, pos, avail, kRecBuffSize + 1 - used);
        used += pos;
      }
      in_.consume(pos);
      row.used = used;
      row.columns = cols;
      if (direct_ && cols == n) return 1;
      if (pos != 0) continue;
    }
    std::uint16_t len = 0;
    if (first_field_pending_) {
      len = first_field_;
      first_field_pending_ = false;
    } else {
      QLN_TAKE(in_.get_u16(len));
    }
    if (len >= 1 && len <= kMaxRowValueLen) {
      if (row.columns == n) {
        // After the regular values of a table with large objects, a short
        // field opens the section of the non-NULL ones.
        if (!has_lob_) return corrupt();
        pending_lobs_ = lobs_in_row;
        return 1;
      }
      if (lob_column_[static_cast<std::size_t>(row.columns)]) {
        ++lobs_in_row;
        lob_entry_columns_.push_back(row.columns);
      }
      if (keep) {
        if (row.used + 2 + len > kRecBuffSize) return fail(g_, MessageCode::kDumpBuffer, "rec_buff");
        out[row.used] = static_cast<unsigned char>(len & 0xFF);
        out[row.used + 1] = static_cast<unsigned char>(len >> 8);
        QLN_TAKE(in_.read(out + row.used + 2, len));
        row.used += 2 + static_cast<std::size_t>(len);
      } else {
        QLN_TAKE(in_.skip(len));
      }
      ++row.columns;
      if (direct_ && row.columns == n) return 1;
      continue;
    }
    switch (len) {
      case 0x0000:
        if (row.columns == 0) continue;  // stray end-of-row before a row
        if (row.columns != n) return corrupt();
        return 1;
      case kNullLength:
        if (row.columns == n) return corrupt();
        if (keep) {
          if (row.used + 2 > kRecBuffSize) return fail(g_, MessageCode::kDumpBuffer, "rec_buff");
          out[row.used] = 0xFE;
          out[row.used + 1] = 0xFF;
          row.used += 2;
        }
        ++row.columns;
        if (direct_ && row.columns == n) return 1;
        continue;
      case 0xFFFD:
        if (row.columns == n) return corrupt();
        if (read_chunked_long(row, raw_length, keep) != 0) return -1;
        // A row that ends with a long column has no end mark; its large
        // objects, if any, follow at once.
        if (row.columns == n && lobs_in_row == 0) return 1;
        continue;
      case 0xFF00:
        if (row.columns == n) {
          if (!has_lob_ || lobs_in_row == 0) return corrupt();
          pending_long_first_ = true;
          pending_lobs_ = lobs_in_row - 1;
          return 1;
        }
        if (lob_column_[static_cast<std::size_t>(row.columns)]) {
          ++lobs_in_row;
          lob_entry_columns_.push_back(row.columns);
        }
        if (read_long_form_value(row, keep) != 0) return -1;
        if (direct_ && row.columns == n) return 1;
        continue;
      case 0xFFFF: {
        if (row.columns != 0) return corrupt();
        // The end-of-table mark is followed by a line feed: a damaged length
        // that reads as the mark must not end the table early.
        const int more = in_.fill();
        if (more < 0) return -1;
        if (more == 1 && in_.window()[0] != '\n') return corrupt();
        return 0;
      }
      default:
        return bad_length(len);
    }
  }
}

}  // namespace qln
