#include "dump/classic_reader.hpp"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/ascii.hpp"
#include "core/messages.hpp"
#include "dump/create_table_parser.hpp"
#include "dump/dump_file.hpp"
#include "dump/row_reader.hpp"
#include "dump/volume_reader.hpp"

namespace qln {
namespace {

// Statements (and the words before the record stream) may not reach this.
constexpr std::size_t kWordLimit = 1048576;
// Progress and the stop request are looked at after this many bytes.
constexpr std::int64_t kProgressStep = 1 << 20;

// Where a statement read from `w` ends: its first zero byte or newline, or
// `n`. Two memchr passes beat a loop testing both bytes one at a time.
std::size_t statement_end(const unsigned char* w, std::size_t n) {
  const void* nl = std::memchr(w, '\n', n);
  const std::size_t line = nl ? static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - w) : n;
  const void* zero = std::memchr(w, 0, line);
  return zero ? static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - w) : line;
}

// The name between the first pair of double quotes of a statement.
std::string quoted_name(std::string_view s) {
  std::size_t open = s.find('"');
  if (open == std::string_view::npos) return {};
  std::size_t close = s.find('"', open + 1);
  if (close == std::string_view::npos) return {};
  return std::string(s.substr(open + 1, std::min(close - open - 1, kMaxNameLen)));
}

std::string_view trim_view(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The column names an INSERT INTO statement lists for the data that follow:
// INSERT INTO "T" [PARTITION ("P")] ("A", "B") VALUES (:1, :2).
std::vector<std::string> insert_columns(std::string_view s) {
  std::vector<std::string> names;
  std::size_t q = s.find('"');
  if (q == std::string_view::npos) return names;
  q = s.find('"', q + 1);
  if (q == std::string_view::npos) return names;
  std::size_t open = s.find('(', q + 1);
  std::size_t values = s.find(") VALUES", q + 1);
  if (open == std::string_view::npos || values == std::string_view::npos) return names;
  std::string_view head = s.substr(q + 1, open - q - 1);
  if (head.find("PARTITION") != std::string_view::npos) {
    std::size_t close = s.find(')', open);
    if (close == std::string_view::npos) return names;
    open = s.find('(', close);
    if (open == std::string_view::npos || open > values) return names;
  }
  std::size_t at = open + 1;
  while (at < values) {
    std::size_t a = s.find('"', at);
    if (a == std::string_view::npos || a > values) break;
    std::size_t b = s.find('"', a + 1);
    if (b == std::string_view::npos) break;
    names.emplace_back(s.substr(a + 1, b - a - 1));
    at = b + 1;
  }
  return names;
}

// One walk through the statements of a classic dump.
class ClassicWalk {
 public:
  ClassicWalk(GlobalParams& g, DumpInfo& info, const ReadSettings& settings, DumpVisitor& v)
      : g_(g), info_(info), settings_(settings), v_(v), rows_(g, in_) {}

  Status run();

 private:
  int open_dump();
  int find_stream_start();
  int read_statement();
  int skip_stored_text();
  int read_stored_text();
  int on_statement();
  int on_partition();
  int on_create_table();
  int on_create_index();
  int on_insert();
  int place_columns();
  int walk_result(Walk w);
  int rows_damaged(std::int64_t rows);
  bool rest_is_padding();
  int resume_at_next_table();
  bool looks_like_data() const;
  std::string table_label() const;
  bool stop_now();
  void report_progress();

  GlobalParams& g_;
  DumpInfo& info_;
  const ReadSettings& settings_;
  DumpVisitor& v_;
  VolumeReader in_;
  RowReader rows_;
  RowBuffer rec_;

  int mode_ = -1;
  std::int64_t header_len_ = 0;
  std::int64_t next_progress_ = kProgressStep;
  std::string stmt_;
  std::string resumed_;  // the start of the statement a resumed walk found
  std::string owner_;
  std::string table_;      // from the last TABLE statement
  std::string partition_;  // from the last PARTITION statement
  bool saw_exit_ = false;  // the export's closing EXIT line was read
  bool stopped_ = false;   // the visitor asked to stop
  bool stop_request_ = false;
  bool def_ok_ = false;    // def_ holds the current table
  bool table_open_ = false;  // a table was begun (its rows may follow)
  bool rows_due_ = false;    // its INSERT INTO may come next
  bool after_default_ = false;  // the statement before was ALTER ... MODIFY DEFAULT
  bool ended_cut_ = false;   // the data end inside a table's rows
  TableDefinition def_;
  std::vector<int> table_col_;
  bool placed_ = true;
};

int ClassicWalk::open_dump() {
  const auto& files = info_.volumes;
  if (files.empty()) return fail(g_, MessageCode::kDumpOpen, "");
  if (info_.volume_sizes.size() != files.size()) {
    info_.volume_sizes.clear();
    for (const auto& f : files) {
      DumpFile file;
      if (file.open(f) != 0) return fail(g_, MessageCode::kDumpOpen, f);
      info_.volume_sizes.push_back(file.size());
    }
  }
  info_.total_size = 0;
  for (auto s : info_.volume_sizes) info_.total_size += s;

  DumpFile first;
  if (first.open(files[0]) != 0) return fail(g_, MessageCode::kDumpOpen, files[0]);
  unsigned char head[kHeaderScanLen];
  std::int64_t got = first.read_at(0, head, sizeof head);
  if (got <= 0 || scan_volume_header(head, static_cast<std::size_t>(got), mode_, header_len_) != 0)
    return fail(g_, MessageCode::kDumpHeader, "");
  if (header_len_ >= 65536) return fail(g_, MessageCode::kDumpBuffer, "header_buffer");
  return in_.open(g_, files, info_.volume_sizes, header_len_);
}

// Before the statements: words of capitals until the stream's first mark.
int ClassicWalk::find_stream_start() {
  std::string word;
  const bool old_version = info_.version >= 1 && info_.version <= 8;
  unsigned char c = 0;
  for (;;) {
    int rc = in_.get(c);
    if (rc != 1) return rc;
    if (c == 0 || c == '\n') {
      if (word.empty()) continue;
      if (old_version) {
        if (!word.empty() && word[0] == static_cast<char>('0' + info_.version)) return 1;
      } else if ((word == "METRICST" && mode_ == 0) ||
                 ((word == "METRICSU" || word == "METRICEU") && mode_ == 1) ||
                 (word == "METRICEE" && mode_ == 2) || word == "INTERPRETED") {
        return 1;
      }
      word.clear();
      continue;
    }
    if ((c >= 'A' && c <= 'Z') || (old_version && ((c >= '0' && c <= '9') || c == '.'))) {
      if (word.size() + 1 >= kWordLimit) return fail(g_, MessageCode::kDumpBuffer, "word");
      word.push_back(static_cast<char>(c));
    }
  }
}

// One statement: the bytes up to the next NUL or line feed.
int ClassicWalk::read_statement() {
  stmt_.swap(resumed_);
  resumed_.clear();
  for (;;) {
    int rc = in_.fill();
    if (rc != 1) return rc == 0 && !stmt_.empty() ? 1 : rc;
    const unsigned char* w = in_.window();
    std::size_t n = in_.window_size();
    // Empty statements (zero padding, blank lines) say nothing: passed over
    // here at memory speed rather than one call each.
    if (stmt_.empty()) {
      std::size_t lead = 0;
      while (lead < n && (w[lead] == 0 || w[lead] == '\n')) ++lead;
      in_.consume(lead);
      if (lead == n) continue;
      w += lead;
      n -= lead;
    }
    const std::size_t i = statement_end(w, n);
    if (stmt_.size() + i >= kWordLimit) return fail(g_, MessageCode::kDumpBuffer, "word");
    stmt_.append(reinterpret_cast<const char*>(w), i);
    if (i < n) {
      in_.consume(i + 1);
      return 1;
    }
    in_.consume(n);
  }
}

// Stored source text and constraint text end with two NUL bytes in a row.
int ClassicWalk::skip_stored_text() {
  bool nul = false;  // the bytes before ended with a NUL
  for (;;) {
    const int rc = in_.fill();
    if (rc != 1) return rc;
    const unsigned char* w = in_.window();
    const std::size_t n = in_.window_size();
    if (nul && w[0] == 0) {
      in_.consume(1);
      return 1;
    }
    nul = false;
    std::size_t from = 0;
    while (const void* z = std::memchr(w + from, 0, n - from)) {
      const std::size_t at = static_cast<std::size_t>(static_cast<const unsigned char*>(z) - w);
      if (at + 1 == n) {
        nul = true;
        break;
      }
      if (w[at + 1] == 0) {
        in_.consume(at + 2);
        return 1;
      }
      from = at + 1;
    }
    in_.consume(n);
  }
}

// A stored text the visitor wants, piece by piece as the buffer holds it.
int ClassicWalk::read_stored_text() {
  for (;;) {
    int rc = in_.fill();
    if (rc != 1) {
      if (rc == 0) v_.on_stored_text_end();
      return rc;
    }
    std::size_t used = 0;
    const TextWalk w = v_.on_stored_text({in_.window(), in_.window_size()}, used);
    in_.consume(used);
    if (w == TextWalk::kEnded) return 1;
    if (w == TextWalk::kStop) {
      stopped_ = true;
      return 1;
    }
  }
}

// Progress goes out after every step of bytes; the stop request is looked
// at then, too.
void ClassicWalk::report_progress() {
  const std::int64_t done = in_.consumed();
  next_progress_ = done + kProgressStep;
  v_.on_progress({done, info_.total_size, in_.volume_index()});
  if (v_.stop_requested()) stop_request_ = true;
}

bool ClassicWalk::stop_now() {
  if (in_.consumed() >= next_progress_) report_progress();
  return stop_request_;
}

// 1 ends the walk (the visitor stopped it), 0 goes on.
int ClassicWalk::walk_result(Walk w) {
  if (w != Walk::kStop) return 0;
  stopped_ = true;
  return 1;
}

int ClassicWalk::on_partition() {
  partition_ = quoted_name(stmt_);
  table_open_ = true;
  rows_due_ = true;
  const std::string_view name = def_ok_ ? std::string_view(def_.table_name) : table_;
  TableInfo t{owner_, name, partition_, def_ok_ ? &def_ : nullptr};
  return walk_result(v_.on_table(t));
}

int ClassicWalk::on_create_table() {
  partition_.clear();
  // The definition, read quietly: a table the run does not want may hold
  // text this reader does not know.
  const int queued = g_.message_count;
  def_ok_ = parse_create_table(g_, stmt_, def_) == 0;
  if (!def_ok_) {
    g_.message_count = queued;
    g_.zulcode = 0;
  }
  def_.owner = owner_;
  table_open_ = true;
  rows_due_ = true;
  const std::string name = def_ok_ ? def_.table_name : table_;
  TableInfo t{owner_, name, {}, def_ok_ ? &def_ : nullptr};
  const Walk w = v_.on_table(t);
  // Rows wanted of a table that cannot be read: now the reason is told.
  if (w == Walk::kContinue && !def_ok_) return parse_create_table(g_, stmt_, def_) == 0 ? 0 : -1;
  return walk_result(w);
}

int ClassicWalk::on_create_index() {
  if (!table_open_ || !def_ok_) return 0;
  IndexDef index;
  if (parse_create_index(stmt_, def_.table_name, index) != 1) return 0;
  return walk_result(v_.on_index(index));
}

// Places the data's columns, named by the INSERT INTO statement, among the
// table's. One for one in the common case; a name the table does not have
// means the data cannot be read as this table's rows.
int ClassicWalk::place_columns() {
  table_col_.clear();
  placed_ = true;
  const std::vector<std::string> names = insert_columns(stmt_);
  const auto& cols = def_.columns;
  if (names.empty()) return 0;
  bool one_for_one = names.size() == cols.size();
  std::vector<int> table_col;
  std::vector<bool> taken(cols.size(), false);
  for (std::size_t i = 0; i < names.size(); ++i) {
    int found = -1;
    for (std::size_t j = 0; j < cols.size() && found < 0; ++j)
      if (cols[j].name == names[i] && !taken[j]) found = static_cast<int>(j);
    if (found < 0) {
      placed_ = false;
      return 0;
    }
    taken[static_cast<std::size_t>(found)] = true;
    table_col.push_back(found);
    one_for_one = one_for_one && found == static_cast<int>(i);
  }
  if (!one_for_one) table_col_ = std::move(table_col);
  return 0;
}

// After the bytes of a damaged rows block only zero bytes, or nothing: the
// export stopped there.
bool ClassicWalk::rest_is_padding() {
  for (;;) {
    const int rc = in_.fill();
    if (rc == 0) return true;
    if (rc < 0) return false;
    const unsigned char* w = in_.window();
    const std::size_t n = in_.window_size();
    for (std::size_t i = 0; i < n; ++i)
      if (w[i] != 0) return false;
    in_.consume(n);
  }
}

// After damage inside a table's rows: moves on to the next table (its TABLE
// line) or the next user's (CONNECT), whose statement read_statement() then
// returns. 1 when one was found, 0 at the end of the data, -1 on error.
int ClassicWalk::resume_at_next_table() {
  static constexpr std::string_view kStarts[] = {"\nTABLE \"", "\nCONNECT "};
  static constexpr std::size_t kLongest = 9;
  // The window's bytes after the last ones of the window before, so that a
  // start cut by the window's end is still found.
  std::string seen;
  for (;;) {
    const int rc = in_.fill();
    if (rc != 1) return rc;
    const std::size_t carried = seen.size();
    const std::size_t n = in_.window_size();
    seen.append(reinterpret_cast<const char*>(in_.window()), n);
    std::size_t first_end = std::string::npos;
    std::string_view found;
    for (std::string_view start : kStarts) {
      const std::size_t at = seen.find(start);
      if (at != std::string::npos && at + start.size() < first_end) {
        first_end = at + start.size();
        found = start;
      }
    }
    if (found.empty()) {
      in_.consume(n);
      seen.erase(0, seen.size() - std::min(seen.size(), kLongest - 1));
      continue;
    }
    // The carried bytes held no whole start, so the match ends in this window.
    in_.consume(first_end - carried);
    resumed_ = std::string(found.substr(1));
    return 1;
  }
}

// The rows block of the table begun last is damaged (reported already). A
// cut at the end of the data ends the walk cleanly: every table before it
// is complete. Otherwise the walk goes on with the next table, so that
// only this one is lost. 1 when the walk ends, 0 when it goes on, else -1.
int ClassicWalk::rows_damaged(std::int64_t rows) {
  TableEnd end;
  end.rows = rows;
  end.complete = false;
  v_.on_table_end(end);
  rows_due_ = false;
  if (last_failure(g_).code() != MessageCode::kDumpFormat) return -1;
  if (!rest_is_padding()) return resume_at_next_table() == 1 ? 0 : -1;
  // The missing end is said first, the cut table last: the table's message
  // is what a run that wanted it fails with.
  ended_cut_ = true;
  --g_.message_count;
  fail(g_, MessageCode::kDumpEndsEarly);
  fail(g_, MessageCode::kDumpFormat, "(\"" + table_label() + "\")");
  return 1;
}

// The table whose rows are read, as messages name it.
std::string ClassicWalk::table_label() const {
  const std::string& name = def_ok_ ? def_.table_name : table_;
  return partition_.empty() ? name : name + ":" + partition_;
}

// A statement where the table's data may begin that is no statement: the
// rows of a data block whose INSERT INTO line is damaged.
bool ClassicWalk::looks_like_data() const {
  if (!rows_due_ || after_default_ || stmt_.empty()) return false;
  if (stmt_.starts_with("INSERT INTO \"")) return false;  // on_insert looks at its name
  if (stmt_.starts_with("INSERT")) return true;
  return std::any_of(stmt_.begin(), stmt_.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 && b != '\t' && b != '\r';
  });
}

int ClassicWalk::on_insert() {
  if (table_.empty() && partition_.empty()) return 0;
  // Only the data of the table just defined; an INSERT INTO line inside
  // other text is not a data block.
  std::string into = quoted_name(stmt_);
  if (!equals_nocase(into, table_) && !(def_ok_ && equals_nocase(into, def_.table_name))) {
    if (!rows_due_) return 0;
    // Where the table's data begin: a damaged name, the rows unreadable.
    fail(g_, MessageCode::kDumpFormat, "(\"" + (def_ok_ ? def_.table_name : table_) + "\")");
    return rows_damaged(0);
  }
  rows_due_ = false;
  const std::string name = def_ok_ ? def_.table_name : table_;
  rows_.set_table(table_label());

  place_columns();
  const Walk w = v_.on_rows_begin(RowLayout{table_col_, placed_});
  if (w == Walk::kStop) return walk_result(w);
  bool keep = w == Walk::kContinue;
  int expected = -1;
  if (keep) {
    if (!placed_) {
      fail(g_, MessageCode::kDumpFormat, "(\"" + name + "\")");
      return rows_damaged(0);
    }
    expected = table_col_.empty() ? static_cast<int>(def_.columns.size())
                                  : static_cast<int>(table_col_.size());
  }
  if (rows_.read_descriptors(static_cast<int>(info_.kind), expected) != 0) return rows_damaged(0);
  TableEnd end;
  std::size_t row_end = 0;
  for (;;) {
    int rc = rows_.next_row(rec_, settings_.raw_length, keep);
    if (rc == 0) break;
    if (rc < 0) return rows_damaged(end.rows);
    ++end.rows;
    if (keep) {
      row_end = rec_.used;
      RowBatch batch{{rec_.data.data(), rec_.used}, {&row_end, 1}, rec_.columns};
      const Walk r = v_.on_rows(batch);
      if (r == Walk::kStop) {
        v_.on_table_end(end);
        stopped_ = true;
        return rows_.finish_row() == 0 ? 1 : -1;
      }
      if (r == Walk::kSkipRows) keep = false;
    }
    if (stop_now()) {
      v_.on_table_end(end);
      return 1;
    }
  }
  v_.on_table_end(end);
  return 0;
}

int ClassicWalk::on_statement() {
  std::string_view s = stmt_;
  // Between statements and in zero padding: nothing to look at.
  if (s.empty()) return 0;
  int rc = 0;
  if (looks_like_data()) {
    fail(g_, MessageCode::kDumpFormat, "(\"" + (def_ok_ ? def_.table_name : table_) + "\")");
    return rows_damaged(0);
  }
  after_default_ = s.ends_with("MODIFY DEFAULT");
  const bool text_wanted = v_.wants_statements() && v_.on_statement(s);
  if (s == "EXIT") {
    saw_exit_ = true;
  } else if (s.starts_with("CONNECT ")) {
    // The owner of the tables that follow (a full-database export).
    std::string_view who = trim_view(s.substr(8));
    who = who.substr(0, who.find(' '));
    if (!who.empty() && who.size() <= kMaxNameLen) owner_ = std::string(who);
  } else if (s.starts_with("PARTITION \"") || s.starts_with("SUBPARTITION \"")) {
    rc = on_partition();
  } else if (s.starts_with("TABLE \"")) {
    table_ = quoted_name(stmt_);
    rows_due_ = false;
  } else if (s.starts_with("CREATE TABLE \"")) {
    rc = on_create_table();
  } else if (s.starts_with("CREATE INDEX \"") || s.starts_with("CREATE UNIQUE INDEX \"")) {
    rc = on_create_index();
  } else if (s.starts_with("CREATE GLOBAL TEMPORARY TABLE \"") ||
             s.starts_with("CREATE SEQUENCE \"") || s.starts_with("CREATE SYNONYM \"") ||
             s.starts_with("CREATE LIBRARY \"") || s.starts_with("CREATE OPERATOR \"") ||
             s.starts_with("CREATE TYPE") || s.starts_with("CREATE FORMAT")) {
    rc = 0;
  } else if (s.starts_with("CREATE ") || s.starts_with("CALTER TABLE")) {
    rc = text_wanted ? read_stored_text() : skip_stored_text();
    if (rc == 0) return 0;  // the data end inside the text
    if (rc == 1) rc = stopped_ ? 1 : 0;
  } else if (s.starts_with("INSERT INTO \"")) {
    rc = on_insert();
  }
  return rc;
}

Status ClassicWalk::run() {
  g_.zulcode = 0;
  g_.maxp.buffer_long_len = static_cast<std::int32_t>(kWordLimit);
  // A user-mode export names its owner once, in the header.
  owner_ = info_.user;
  rows_.set_lob_sink(v_.lob_sink());

  if (open_dump() != 0) return last_failure(g_);
  report_progress();
  if (stop_request_) return Status::failure(MessageCode::kStopped);
  int rc = find_stream_start();
  if (rc < 0) return last_failure(g_);
  // A dump cut right after its header holds nothing, which is no empty export.
  if (rc == 0) {
    fail(g_, MessageCode::kDumpFormat);
    return last_failure(g_);
  }
  for (;;) {
    rc = read_statement();
    if (rc == 0) break;
    if (rc < 0) return last_failure(g_);
    rc = on_statement();
    if (rc < 0) return last_failure(g_);
    if (stop_request_ || (rc == 0 && stop_now())) return Status::failure(MessageCode::kStopped);
    if (rc == 1) break;
  }
  if (rc == 1 && !ended_cut_) return {};
  // Every export ends with EXIT. An export that stopped early (an error, a
  // full disk) leaves its tables before the end intact: they are read, and
  // the missing end is said. Without a single table there is nothing.
  if (saw_exit_ || ended_cut_) return {};
  if (!table_open_) {
    fail(g_, MessageCode::kDumpFormat);
    return last_failure(g_);
  }
  fail(g_, MessageCode::kDumpEndsEarly);
  return {};
}

}  // namespace

Status ClassicReader::read(DumpVisitor& visitor) {
  ClassicWalk walk(g_, info_, settings_, visitor);
  Status s = walk.run();
  return s;
}

}  // namespace qln
