#include "dump/datapump_rows.hpp"

#include <algorithm>
#include <cstdio>

#include "dump/row_reader.hpp"

namespace qln {

void SegmentInput::start(std::int64_t pos, std::int64_t limit) noexcept {
  base_ = pos;
  pos_ = end_ = 0;
  limit_ = limit;
  failed_ = false;
}

void SegmentInput::seek(std::int64_t pos) noexcept {
  if (pos >= base_ && pos <= base_ + static_cast<std::int64_t>(end_)) {
    pos_ = static_cast<std::size_t>(pos - base_);
  } else {
    base_ = pos;
    pos_ = end_ = 0;
  }
}

bool SegmentInput::refill(std::size_t n) {
  if (failed_) return false;
  const std::size_t keep = end_ - pos_;
  if (pos_ > 0) {
    std::memmove(buf_.get(), buf_.get() + pos_, keep);
    base_ += static_cast<std::int64_t>(pos_);
    pos_ = 0;
    end_ = keep;
  }
  const std::int64_t at = base_ + static_cast<std::int64_t>(end_);
  const std::int64_t room = std::min<std::int64_t>(static_cast<std::int64_t>(kBufferSize - end_), limit_ - at);
  if (room > 0) {
    const std::int64_t got = file_.read_at(at, buf_.get() + end_, static_cast<std::size_t>(room));
    if (got < 0) {
      failed_ = true;
      return false;
    }
    end_ += static_cast<std::size_t>(got);
  }
  return end_ - pos_ >= n;
}

namespace {

constexpr std::uint8_t kFirstPiece = 0x08;
constexpr std::uint8_t kLastPiece = 0x04;
constexpr std::uint8_t kContinues = 0x02;
constexpr std::uint8_t kGoesOn = 0x01;
constexpr std::uint8_t kHasLength = 0x30;
constexpr std::uint8_t kUnknownBits = 0xC0;
constexpr std::uint8_t kNullValue = 0xFF;
constexpr std::uint8_t kLongLength = 0xFE;
constexpr std::uint8_t kMaxShortLength = 250;
constexpr std::size_t kMaxFramedValue = 0xFFFD;
constexpr std::size_t kCopySlack = 16;

inline std::size_t be16(const std::uint8_t* p) noexcept { return (std::size_t{p[0]} << 8) | p[1]; }

inline void put_length(std::vector<unsigned char>& out, std::size_t at, std::size_t len) noexcept {
  out[at] = static_cast<unsigned char>(len & 0xFF);
  out[at + 1] = static_cast<unsigned char>(len >> 8);
}

inline void append_null(std::vector<unsigned char>& out) {
  out.push_back(static_cast<unsigned char>(kNullLength & 0xFF));
  out.push_back(static_cast<unsigned char>(kNullLength >> 8));
}

}  // namespace

RowFramer::RowFramer(const DataPumpTable& table, SegmentInput& in, std::int64_t rows_end,
                     bool length_known)
    : table_(table), in_(in), rows_end_(rows_end), length_known_(length_known) {
  const std::size_t n = table.value_column.size();
  kept_index_.assign(n, -1);
  cut_long_.assign(n, 0);
  for (std::size_t v = 0; v < n; ++v) {
    const int col = table.value_column[v];
    if (col < 0) continue;
    kept_index_[v] = static_cast<int>(kept_columns_.size());
    kept_columns_.push_back(col);
    const std::int32_t type = table.definition.columns[static_cast<std::size_t>(col)].type;
    cut_long_[v] = type == kColLong || type == kColLongRaw;
    // A LONG is kept short in the row and streamed whole like a large object.
    if (table.value_is_lob[v] != 0 || cut_long_[v] != 0) has_lobs_ = true;
  }
  const std::size_t ncols = table.definition.columns.size();
  kept_of_column_.assign(ncols, -1);
  for (std::size_t k = 0; k < kept_columns_.size(); ++k)
    kept_of_column_[static_cast<std::size_t>(kept_columns_[k])] = static_cast<int>(k);
  reorder_ = kept_columns_.size() != ncols;
  for (std::size_t k = 0; k < kept_columns_.size() && !reorder_; ++k)
    reorder_ = kept_columns_[k] != static_cast<int>(k);
  simple_ = !reorder_ && !has_lobs_ && table.extra_values == 0 && kept_columns_.size() == n &&
            std::none_of(cut_long_.begin(), cut_long_.end(), [](std::uint8_t c) { return c != 0; });
}

int RowFramer::damaged(const char* what, std::int64_t at) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s at 0x%llx", in_.read_failed() ? "read failure" : what,
                static_cast<unsigned long long>(at));
  why_ = buf;
  return -1;
}

template <bool kStream>
int RowFramer::walk_row(std::vector<unsigned char>* out, DataPumpLobSink* sink) {
  const std::size_t values = table_.value_column.size();
  const std::size_t max_values = values + static_cast<std::size_t>(table_.extra_values);
  std::size_t next_value = 0;
  std::size_t kept = 0;
  std::size_t open_entry = 0;  // where the length of the value being built is
  std::size_t open_len = 0;
  std::size_t current = 0;
  bool open = false;
  bool first = true;
  // Values out of column order are gathered apart and put in order at the end.
  std::vector<unsigned char>& target = reorder_ || out == nullptr ? scratch_ : *out;
  if constexpr (!kStream) {
    if (reorder_) {
      scratch_.clear();
      entry_at_.clear();
    }
  }
  while (true) {
    const std::int64_t piece_at = in_.position();
    if (!in_.ensure(2)) return damaged("row piece cut", piece_at);
    const std::uint8_t flag = in_.data()[0];
    if ((flag & kUnknownBits) != 0 || first != ((flag & kFirstPiece) != 0) ||
        ((flag & kContinues) != 0) != open || (flag & (kLastPiece | kGoesOn)) == (kLastPiece | kGoesOn))
      return damaged("row piece flag", piece_at);
    std::size_t head = 1;
    std::int64_t piece_len = -1;
    if ((flag & kHasLength) != 0) {
      if (!in_.ensure(4)) return damaged("row piece cut", piece_at);
      piece_len = static_cast<std::int64_t>(be16(in_.data() + 1));
      head = 3;
    }
    const unsigned count = in_.data()[head];
    in_.consume(head + 1);
    if (count == 0 && (flag & (kContinues | kGoesOn)) != 0) return damaged("row piece count", piece_at);
    for (unsigned k = 0; k < count; ++k) {
      const std::int64_t value_at = in_.position();
      if (!in_.ensure(1)) return damaged("row value cut", value_at);
      const std::uint8_t lead = in_.data()[0];
      std::size_t hl = 1;
      std::size_t len = 0;
      const bool is_null = lead == kNullValue;
      if (lead == kLongLength) {
        if (!in_.ensure(3)) return damaged("row value cut", value_at);
        len = be16(in_.data() + 1);
        hl = 3;
      } else if (lead <= kMaxShortLength) {
        len = lead;
      } else if (!is_null) {
        return damaged("row value length", value_at);
      }
      const bool continued = k == 0 && open;
      if (continued && is_null) return damaged("row value split", value_at);
      if (!continued) {
        if (next_value >= max_values) return damaged("row with more values than columns", value_at);
        current = next_value++;
      }
      if (!in_.ensure(hl + len)) return damaged("row value cut", value_at);
      const std::uint8_t* bytes = in_.data() + hl;
      if (current < values && kept_index_[current] >= 0) {
        const bool lob = table_.value_is_lob[current] != 0;
        if constexpr (kStream) {
          const int col = table_.value_column[current];
          if ((lob || cut_long_[current] != 0) && !is_null && len > 0 && sink->wants(col) &&
              !sink->chunk(col, std::span<const std::uint8_t>(bytes, len))) {
            why_.clear();
            return -1;
          }
        } else if (lob) {
          if (!continued) {
            new_entry(target);
            if (is_null) {
              append_null(target);
            } else {
              target.push_back(0);
              target.push_back(0);
            }
            ++kept;
          }
        } else if (is_null) {
          new_entry(target);
          append_null(target);
          ++kept;
        } else {
          if (!continued) {
            new_entry(target);
            open_entry = target.size();
            target.push_back(0);
            target.push_back(0);
            open_len = 0;
            ++kept;
          }
          std::size_t take = len;
          if (cut_long_[current] != 0)
            take = std::min(len, std::size_t{kMaxRowValueLen} - std::min<std::size_t>(open_len, kMaxRowValueLen));
          if (open_len + take > kMaxFramedValue) return damaged("row value too long", value_at);
          target.insert(target.end(), bytes, bytes + take);
          open_len += take;
          put_length(target, open_entry, open_len);
        }
      }
      in_.consume(hl + len);
    }
    open = (flag & kGoesOn) != 0;
    if (piece_len >= 0 && in_.position() - piece_at != piece_len) return damaged("row piece length", piece_at);
    first = false;
    if ((flag & kLastPiece) != 0) break;
  }
  if constexpr (!kStream) {
    for (; kept < kept_columns_.size(); ++kept) {
      new_entry(target);
      append_null(target);
    }
    if (reorder_) put_in_column_order(*out);
  }
  return 1;
}

// The common row: one piece with its length, wholly in the buffer, of a
// table whose values are its columns in order. False leaves everything as
// it was for the general walk (which also names any damage).
bool RowFramer::frame_whole_row(std::vector<unsigned char>& out) {
  if (!in_.ensure(4)) return false;
  const std::uint8_t* p = in_.data();
  if (p[0] != (kHasLength | kFirstPiece | kLastPiece)) return false;
  const std::size_t piece_len = be16(p + 1);
  const std::size_t count = p[3];
  const std::size_t values = kept_columns_.size();
  if (piece_len < 4 || count > values || !in_.ensure(piece_len)) return false;
  p = in_.data();
  const std::uint8_t* q = p + 4;
  const std::uint8_t* const end = p + piece_len;
  const std::size_t mark = out.size();
  // 16 bytes of slack: short values are moved 16 bytes at a time.
  out.resize(mark + piece_len + 2 * values + kCopySlack);
  unsigned char* o = out.data() + mark;
  for (std::size_t k = 0; k < count; ++k) {
    if (q >= end) break;
    const std::uint8_t lead = *q;
    std::size_t len;
    if (lead <= kMaxShortLength) {
      len = lead;
      ++q;
    } else if (lead == kNullValue) {
      o[0] = static_cast<unsigned char>(kNullLength & 0xFF);
      o[1] = static_cast<unsigned char>(kNullLength >> 8);
      o += 2;
      ++q;
      continue;
    } else if (lead == kLongLength && end - q >= 3) {
      len = be16(q + 1);
      q += 3;
    } else {
      break;
    }
    if (static_cast<std::size_t>(end - q) < len || len > kMaxFramedValue) {
      q = end + 1;  // damaged: the general walk says where
      break;
    }
    o[0] = static_cast<unsigned char>(len & 0xFF);
    o[1] = static_cast<unsigned char>(len >> 8);
    if (len <= kCopySlack) std::memcpy(o + 2, q, kCopySlack);
    else std::memcpy(o + 2, q, len);
    o += 2 + len;
    q += len;
  }
  if (q != end || static_cast<std::size_t>(o - (out.data() + mark)) > piece_len + 2 * values) {
    out.resize(mark);
    return false;
  }
  for (std::size_t k = count; k < values; ++k) {
    o[0] = static_cast<unsigned char>(kNullLength & 0xFF);
    o[1] = static_cast<unsigned char>(kNullLength >> 8);
    o += 2;
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  in_.consume(piece_len);
  return true;
}

void RowFramer::put_in_column_order(std::vector<unsigned char>& out) const {
  for (int k : kept_of_column_) {
    if (k < 0) {
      // An object whose attributes are stored apart: its placeholder.
      out.push_back(0);
      out.push_back(0);
      continue;
    }
    const std::size_t from = entry_at_[static_cast<std::size_t>(k)];
    const std::size_t to = static_cast<std::size_t>(k) + 1 < entry_at_.size() ? entry_at_[static_cast<std::size_t>(k) + 1]
                                                                               : scratch_.size();
    out.insert(out.end(), scratch_.begin() + static_cast<std::ptrdiff_t>(from),
               scratch_.begin() + static_cast<std::ptrdiff_t>(to));
  }
}

int RowFramer::next_row(std::vector<unsigned char>& out) {
  const std::int64_t at = in_.position();
  if (length_known_) {
    if (at == rows_end_) return 0;
    if (at > rows_end_) return damaged("rows past their length", at);
  } else {
    if (!in_.ensure(1)) return in_.read_failed() ? damaged("row piece cut", at) : 0;
    if ((in_.data()[0] & kFirstPiece) == 0) return 0;
  }
  const std::size_t mark = out.size();
  row_start_ = at;
  if (simple_ && frame_whole_row(out)) {
    row_end_ = in_.position();
    ++rows_;
    return 1;
  }
  const int rc = walk_row<false>(&out, nullptr);
  if (rc != 1) {
    out.resize(mark);
    return rc;
  }
  row_end_ = in_.position();
  ++rows_;
  return 1;
}

int RowFramer::stream_lobs(DataPumpLobSink& sink) {
  const std::int64_t end = in_.position();
  in_.seek(row_start_);
  const int rc = walk_row<true>(nullptr, &sink);
  in_.seek(end);
  return rc == 1 ? 0 : -1;
}

}  // namespace qln
