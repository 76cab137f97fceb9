#include "dump/classic_reader.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/ascii.hpp"
#include "core/messages.hpp"
#include "core/options_init.hpp"
#include "dump/create_table_parser.hpp"
#include "dump/dump_header.hpp"
#include "dump/ddl_writer.hpp"
#include "dump/row_decoder.hpp"
#include "dump/row_pipeline.hpp"
#include "dump/row_reader.hpp"
#include "dump/volume_reader.hpp"
#include "output/lob_files.hpp"
#include "output/row_writer.hpp"
#include "output/value_format.hpp"

namespace qln {
namespace {

// Statements (and the words before the record stream) may not reach this.
constexpr std::size_t kWordLimit = 1048576;
constexpr int kMaxListedTables = 999;
constexpr std::size_t kMaxListedColumns = 30000;


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

// COLUMN=A,B or COLUMN=-C: the chosen columns, in the table's own order.
void apply_select_list(std::string_view list, const TableDefinition& table, ColumnOrder& order) {
  const std::size_t n = table.columns.size();
  std::vector<bool> chosen(n, true);
  bool first_include = true;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    if (comma == std::string_view::npos) comma = list.size();
    std::string_view item = trim_view(list.substr(start, comma - start));
    start = comma + 1;
    if (item.empty()) continue;
    bool exclude = item.front() == '-';
    if (exclude) item = trim_view(item.substr(1));
    if (item.size() >= 2 && item.front() == '"' && item.back() == '"')
      item = item.substr(1, item.size() - 2);
    if (!exclude && first_include) {
      std::fill(chosen.begin(), chosen.end(), false);
      first_include = false;
    }
    for (std::size_t i = 0; i < n; ++i)
      if (equals_nocase(table.columns[i].name, item)) chosen[i] = !exclude;
  }
  order.index.clear();
  for (std::size_t i = 0; i < n; ++i)
    if (chosen[i]) order.index.push_back(static_cast<std::int32_t>(i));
  order.width.assign(order.index.size(), 0);
}

class ClassicReader {
 public:
  ClassicReader(GlobalParams& g, ConvOptions& o, ClassicReadResult& r)
      : g_(g), o_(o), r_(r), rows_(g, in_), writer_(g, o) {
    if (o.output_mode == kOutLobFiles) rows_.set_lob_sink(&lob_);
  }

  int run();

 private:
  int open_dump();
  int find_stream_start();
  int read_statement();
  int skip_stored_text();
  int read_ddl_text();
  int on_statement();
  int on_partition();
  int on_table();
  int on_create_table();
  int on_create_index();
  int on_insert();
  int map_columns();
  int hand_over_row(bool& stop);
  int hand_over_decoded();
  int finish(int rc);
  bool names_selected_table(std::string_view name) const;
  bool named_by_condition(std::string_view name) const;
  int prepare_table_output(bool write_heading);
  void put_bom();

  bool converting() const { return o_.read_step == 0; }
  bool ddl() const { return o_.output_mode == kOutDdl; }

  GlobalParams& g_;
  ConvOptions& o_;
  ClassicReadResult& r_;
  VolumeReader in_;
  RowReader rows_;
  RowBuffer rec_;
  RowValues values_;
  DataColumns data_columns_;
  RowWriter writer_;
  ColumnOrder order_;
  DdlState ddl_;
  LobFileWriter lob_;
  std::unique_ptr<RowPipeline> pipe_;  // rows written on a second thread

  int mode_ = -1;
  std::int64_t header_len_ = 0;
  std::string stmt_;
  std::string owner_;
  std::string table_;      // from the last TABLE statement
  std::string partition_;  // from the last PARTITION statement
  std::string sel_name_;
  std::string sel_owner_;
  std::string sel_partition_;
  bool sel_dual_ = false;
  bool found_ = false;          // the selected table (or partition) was met
  bool saw_exit_ = false;       // the export's closing EXIT line was read
  bool selected_read_ = false;  // read_step 1: its definition is complete
  bool table_selected_ = false; // rows of the current table are wanted
  bool def_ok_ = false;         // def_ holds the current table
  TableDefinition def_;
  bool listed_header_ = false;
  bool bom_pending_ = false;  // the single output's UTF-8 signature
  std::size_t listed_columns_ = 0;
  std::int64_t table_rows_ = 0;
  std::int64_t table_written_ = 0;
  std::size_t list_entry_ = static_cast<std::size_t>(-1);
};

int ClassicReader::open_dump() {
  const auto& files = o_.exp_fname;
  if (files.empty()) return fail(g_, 3100, "");
  if (o_.dump_sizes.size() != files.size()) {
    o_.dump_sizes.clear();
    for (const auto& f : files) {
      DumpFile file;
      if (file.open(f) != 0) return fail(g_, 3100, f);
      o_.dump_sizes.push_back(file.size());
    }
  }
  o_.dump_total_size = 0;
  for (auto s : o_.dump_sizes) o_.dump_total_size += s;

  DumpFile first;
  if (first.open(files[0]) != 0) return fail(g_, 3100, files[0]);
  unsigned char head[kHeaderScanLen];
  std::int64_t got = first.read_at(0, head, sizeof head);
  if (got <= 0 || scan_volume_header(head, static_cast<std::size_t>(got), mode_, header_len_) != 0)
    return fail(g_, 3101, "");
  if (header_len_ >= 65536) return fail(g_, 3109, "header_buffer");
  return in_.open(g_, files, o_.dump_sizes, header_len_);
}

// Before the statements: words of capitals until the stream's first mark.
int ClassicReader::find_stream_start() {
  std::string word;
  const bool old_version = o_.exp_version >= 1 && o_.exp_version <= 8;
  unsigned char c = 0;
  for (;;) {
    int rc = in_.get(c);
    if (rc != 1) return rc;
    if (c == 0 || c == '\n') {
      if (old_version) {
        if (!word.empty() && word[0] == static_cast<char>('0' + o_.exp_version)) return 1;
      } else if ((word == "METRICST" && mode_ == 0) ||
                 ((word == "METRICSU" || word == "METRICEU") && mode_ == 1) ||
                 (word == "METRICEE" && mode_ == 2) || word == "INTERPRETED") {
        return 1;
      }
      word.clear();
      continue;
    }
    if ((c >= 'A' && c <= 'Z') || (old_version && ((c >= '0' && c <= '9') || c == '.'))) {
      if (word.size() + 1 >= kWordLimit) return fail(g_, 3109, "word");
      word.push_back(static_cast<char>(c));
    }
  }
}

// One statement: the bytes up to the next NUL or line feed.
int ClassicReader::read_statement() {
  stmt_.clear();
  for (;;) {
    int rc = in_.fill();
    if (rc != 1) return rc == 0 && !stmt_.empty() ? 1 : rc;
    const unsigned char* w = in_.window();
    std::size_t n = in_.window_size();
    std::size_t i = 0;
    while (i < n && w[i] != 0 && w[i] != '\n') ++i;
    if (stmt_.size() + i >= kWordLimit) return fail(g_, 3109, "word");
    stmt_.append(reinterpret_cast<const char*>(w), i);
    if (i < n) {
      in_.consume(i + 1);
      return 1;
    }
    in_.consume(n);
  }
}

// Stored source text and constraint text end with two NUL bytes in a row.
int ClassicReader::skip_stored_text() {
  bool nul = false;
  unsigned char c = 0;
  for (;;) {
    int rc = in_.get(c);
    if (rc != 1) return rc;
    if (c == 0 && nul) return 1;
    nul = c == 0;
  }
}

// In DDL output the stored and constraint texts go to the DDL writer.
int ClassicReader::read_ddl_text() {
  for (;;) {
    int rc = in_.fill();
    if (rc != 1) {
      if (rc == 0) ddl_text_end(g_, ddl_);
      return rc;
    }
    std::size_t used = 0;
    rc = ddl_text(g_, o_, ddl_, {in_.window(), in_.window_size()}, used);
    in_.consume(used);
    if (rc != 0) return rc;
  }
}

// A per-table condition that is chosen for the run names the table.
bool ClassicReader::named_by_condition(std::string_view name) const {
  if (!is_on(o_.is_condition)) return false;
  for (const TableCondition& w : o_.where_statement)
    if (w.is_selected && equals_nocase(w.table_name, name)) return true;
  return false;
}

bool ClassicReader::names_selected_table(std::string_view name) const {
  return !sel_name_.empty() && equals_nocase(sel_name_, name) &&
         (sel_owner_.empty() || equals_nocase(sel_owner_, owner_));
}

int ClassicReader::on_partition() {
  if (pipe_ && pipe_->drain() != 0) return -1;
  partition_ = quoted_name(stmt_);
  if (r_.tables.size() < static_cast<std::size_t>(kMaxListedTables)) {
    TableListEntry e;
    e.owner = owner_;
    e.name = "+" + partition_;
    r_.tables.push_back(std::move(e));
    list_entry_ = r_.tables.size() - 1;
  }
  if (sel_partition_.empty()) return 0;
  // A table chosen by one of its partitions: only that partition's rows.
  bool match = equals_nocase(sel_partition_, partition_);
  table_selected_ = match;
  if (!match) return 0;
  found_ = true;
  if (!def_ok_) return 0;
  o_.table = def_;
  order_.set_identity(static_cast<int>(o_.table.columns.size()));
  if (is_on(o_.is_select_list) && !o_.select_list.empty())
    apply_select_list(o_.select_list, o_.table, order_);
  if (lob_.begin_table(g_, o_, o_.table) != 0) return -1;
  if (converting()) return prepare_table_output(true);
  selected_read_ = true;
  return 0;
}

int ClassicReader::on_table() {
  table_ = quoted_name(stmt_);
  if (sel_dual_ && sel_name_ == "DUAL" && !ddl() && sel_partition_.empty()) {
    sel_name_ = table_;
    // The windowed program only asks which table comes first.
    if (windowed(g_) && is_on(o_.is_first) && !o_.err_fname.empty()) {
      std::fprintf(g_.err_stream, "TABLE_NAME=%s\n", table_.c_str());
      return 1;
    }
  }
  return 0;
}

// The single output starts with the UTF-8 signature once something is
// written to it, so a run that finds nothing leaves its output empty.
void ClassicReader::put_bom() {
  if (!bom_pending_) return;
  bom_pending_ = false;
  std::fwrite("\xEF\xBB\xBF", 1, 3, g_.out_stream);
}

// Opens the table's own file (when the run has one per table) and writes the
// header line.
int ClassicReader::prepare_table_output(bool write_heading) {
  // The opener decides whether the table gets a file of its own.
  if (open_table_output(g_, o_, o_.table.table_name) != 0) return -11;
  if (o_.table_out == nullptr) put_bom();
  if (!write_heading) return 0;
  if ((o_.output_mode == kOutInsert || ddl()) && !is_on(o_.is_grep)) return 0;
  return write_header(writer_, o_.table, order_);
}

int ClassicReader::on_create_table() {
  // What follows may change the output: the rows before must be out.
  if (pipe_ && pipe_->drain() != 0) return -1;
  partition_.clear();
  if (o_.read_step == 1 && selected_read_) return 1;

  // The definition, read quietly: a table the run does not want may hold
  // text this reader does not know.
  const int queued = g_.message_count;
  def_ok_ = parse_create_table(g_, stmt_, def_) == 0;
  if (!def_ok_) {
    g_.message_count = queued;
    g_.zulcode = 0;
  }
  std::string name = def_ok_ ? def_.table_name : table_;
  def_.owner = owner_;
  table_rows_ = 0;
  table_written_ = 0;
  table_selected_ = false;
  lob_.clear_table();

  list_entry_ = static_cast<std::size_t>(-1);
  if (r_.tables.size() < static_cast<std::size_t>(kMaxListedTables)) {
    TableListEntry e;
    e.owner = owner_;
    e.name = name;
    if (o_.read_step == 3 && def_ok_) {
      listed_columns_ += def_.columns.size();
      if (listed_columns_ > kMaxListedColumns) return fail(g_, 2139, "30000");
      e.columns = def_.columns;
    }
    r_.tables.push_back(std::move(e));
    list_entry_ = r_.tables.size() - 1;
  }

  if (o_.read_step == 2) {
    std::FILE* out = g_.out_stream;
    if (!listed_header_) {
      listed_header_ = true;
      if (o_.exp_mode == 2)
        std::fputs("OWNER                          TABLE_NAME\n"
                   "------------------------------ ------------------------------\n", out);
      else
        std::fputs("TABLE_NAME\n------------------------------\n", out);
    }
    if (o_.exp_mode == 2) std::fprintf(out, "%-30s %-30s\n", owner_.c_str(), name.c_str());
    else std::fprintf(out, "%s\n", name.c_str());
    return 0;
  }
  if (o_.read_step == 3) return 0;

  if (converting() && (is_on(o_.is_grep) || (is_on(o_.is_preview) &&
                                              o_.output_mode != kOutCsvBatch && !ddl()))) {
    put_bom();
    if (o_.exp_mode == 2) std::fprintf(g_.out_stream, "【%-30s】【%-30s】\n", owner_.c_str(), name.c_str());
    else std::fprintf(g_.out_stream, "【%s】\n", name.c_str());
  }

  bool chosen = names_selected_table(name) || (is_on(o_.is_preview) && converting());
  if (chosen) {
    if (!def_ok_) return parse_create_table(g_, stmt_, def_);  // reports the failure
    if (def_.columns.empty()) {
      if (!is_on(o_.is_preview)) return fail(g_, 2215, name);
      return 0;  // a preview shows what it can read
    }
    found_ = true;
    table_selected_ = true;
    o_.table = def_;
    order_.set_identity(static_cast<int>(o_.table.columns.size()));
    if (is_on(o_.is_select_list) && !o_.select_list.empty())
      apply_select_list(o_.select_list, o_.table, order_);
    if (lob_.begin_table(g_, o_, o_.table) != 0) return -1;
    if (!converting()) {
      selected_read_ = true;
      return 0;
    }
    return prepare_table_output(true);
  }

  if (!def_ok_ || def_.columns.empty()) return 0;
  if (!converting()) return 0;
  if (is_on(o_.is_condition)) {
    for (TableCondition& w : o_.where_statement)
      if (equals_nocase(w.table_name, name)) w.not_found = 0;
  }
  table_selected_ = o_.output_mode == kOutCsvBatch || named_by_condition(name);
  if (table_selected_ || is_on(o_.is_grep)) {
    o_.table = def_;
    order_.set_identity(static_cast<int>(o_.table.columns.size()));
    if (is_on(o_.is_select_list) && !o_.select_list.empty())
      apply_select_list(o_.select_list, o_.table, order_);
    if (lob_.begin_table(g_, o_, o_.table) != 0) return -1;
    return prepare_table_output(!ddl());
  }
  return 0;
}

int ClassicReader::on_create_index() {
  if (o_.read_step != 1 || !selected_read_) return 0;
  IndexDef index;
  if (parse_create_index(stmt_, o_.table.table_name, index) != 1) return 0;
  if (static_cast<int>(o_.table.indexes.size()) >= kMaxIndexes) return -1;
  o_.table.indexes.push_back(std::move(index));
  return 0;
}

int ClassicReader::hand_over_row(bool& stop) {
  const bool preview = is_on(o_.is_preview);
  const bool grep = is_on(o_.is_grep);
  bool decode = !ddl() && converting() &&
                ((table_selected_ && !preview) ||
                 (preview && (o_.max_record < 0 || table_written_ < o_.max_record)) || grep);
  if (!decode) return 0;
  // Rows nobody here needs decoded go to the writer thread as they are.
  if (pipe_ && !grep && data_columns_.table_col.empty() && lob_.target_column() < 0 &&
      !is_on(o_.is_condition) && o_.query.empty()) {
    if (pipe_->put_gathered(std::span<const unsigned char>(rec_.data.data(), rec_.used),
                            order_) != 0)
      return -1;
    ++table_written_;
    ++r_.rows_written;
  } else if (int rc = hand_over_decoded(); rc != 0) {
    return rc;
  }
  if (o_.read_step != 2 && found_ && !preview && !is_on(o_.is_unlimited) && o_.max_record > 0 &&
      !ddl() && table_written_ >= o_.max_record)
    stop = true;
  return 0;
}

int ClassicReader::hand_over_decoded() {
  bool rejected = false;
  if (decode_row(g_, o_, rec_, values_, rejected, &data_columns_) != 0) return -1;
  if (!rejected) {
    if (pipe_) {
      if (pipe_->put(values_, o_.table, order_) != 0) return -1;
    } else if (write_row(writer_, o_.table, order_, values_) != 0) {
      return -1;
    }
    ++table_written_;
    ++r_.rows_written;
  }
  // The row's large objects come next; the target's chunks go to its file.
  if (lob_.target_column() >= 0 && lob_.begin_row(g_, o_, values_, !rejected) != 0) return -1;
  return 0;
}

// Places the data's columns, named by the INSERT INTO statement, among the
// table's. One for one in the common case; a name the table does not have
// means the data cannot be read as this table's rows.
int ClassicReader::map_columns() {
  data_columns_.clear();
  const std::vector<std::string> names = insert_columns(stmt_);
  const auto& cols = o_.table.columns;
  if (names.empty()) return 0;
  bool one_for_one = names.size() == cols.size();
  std::vector<int> table_col;
  std::vector<int> data_pos(cols.size(), -1);
  for (std::size_t i = 0; i < names.size(); ++i) {
    int found = -1;
    for (std::size_t j = 0; j < cols.size() && found < 0; ++j)
      if (cols[j].name == names[i] && data_pos[j] < 0) found = static_cast<int>(j);
    if (found < 0) return fail(g_, 3102, "");
    data_pos[static_cast<std::size_t>(found)] = static_cast<int>(i);
    table_col.push_back(found);
    one_for_one = one_for_one && found == static_cast<int>(i);
  }
  if (one_for_one) return 0;
  data_columns_.table_col = std::move(table_col);
  data_columns_.data_pos = std::move(data_pos);
  return 0;
}

int ClassicReader::on_insert() {
  if (table_.empty() && partition_.empty()) return 0;
  // Only the data of the table just defined; an INSERT INTO line inside
  // other text is not a data block.
  std::string into = quoted_name(stmt_);
  if (!equals_nocase(into, table_) && !(def_ok_ && equals_nocase(into, def_.table_name))) return 0;

  const bool keep = converting() && !ddl() &&
                    (table_selected_ || is_on(o_.is_preview) || is_on(o_.is_grep));
  int expected = -1;
  if (keep) {
    if (map_columns() != 0) return -1;
    expected = data_columns_.table_col.empty() ? static_cast<int>(o_.table.columns.size())
                                               : static_cast<int>(data_columns_.table_col.size());
  }
  if (rows_.read_descriptors(o_.dump_type, expected) != 0) return -1;
  for (;;) {
    int rc = rows_.next_row(rec_, o_.raw_length, keep);
    if (rc == 0) break;
    if (rc < 0) return -1;
    ++table_rows_;
    if (list_entry_ < r_.tables.size()) ++r_.tables[list_entry_].rows;
    if (table_selected_) r_.last_row_count = table_rows_;
    bool stop = false;
    if (keep && hand_over_row(stop) != 0) return -1;
    if (stop) return rows_.finish_row() == 0 ? 1 : -1;
  }
  return 0;
}

int ClassicReader::on_statement() {
  std::string_view s = stmt_;
  int rc = 0;
  const bool ddl_text_follows = ddl() && converting() && ddl_statement(g_, o_, ddl_, s) == 1;
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
    rc = on_table();
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
    rc = ddl_text_follows ? read_ddl_text() : skip_stored_text();
    if (rc == 0) return 0;  // the data end inside the text
    if (rc == 1) rc = 0;
  } else if (s.starts_with("INSERT INTO \"")) {
    rc = on_insert();
  }
  return rc;
}

int ClassicReader::finish(int rc) {
  if (pipe_) {
    if (pipe_->drain() != 0 && rc >= 0) rc = -1;
    pipe_.reset();
  }
  if (rc >= 0) {
    if (o_.output_mode == kOutInsert && r_.rows_written > 0) std::fputs("COMMIT;\n", g_.out_stream);
    if (converting() && is_on(o_.is_condition)) {
      for (const TableCondition& w : o_.where_statement)
        if (w.is_selected && w.not_found == -1) {
          fail(g_, 3103, w.table_name);
          rc = -1;
        }
    } else if (!found_ && o_.read_step != 2 && o_.read_step != 3 &&
               o_.output_mode != kOutCsvBatch && !ddl()) {
      g_.zulcode = 3103;
    }
  }
  if (o_.output_mode == kOutLobFiles && converting()) {
    if (rc >= 0 && lob_.finish(g_, o_) != 0) rc = -1;
    if (rc < 0) lob_.end_row(g_);
  }
  // The last table's own file is complete now.
  if (close_table_output(g_, o_) != 0 && rc >= 0) rc = -1;
  if (sel_dual_) o_.table_id = "DUAL";
  in_.close();
  if (debug_on(g_)) {
    char line[64];
    std::snprintf(line, sizeof line, "rc = %d", rc);
    debug_log(g_, std::string("out_path = |") + (o_.out_fname.empty() ? "" : o_.out_fname[0]) +
                      "| " + line);
    debug_log(g_, "read_dmp() return ----------------------------------------------------------");
  }
  return rc;
}

int ClassicReader::run() {
  g_.zulcode = 0;
  g_.maxp.buffer_long_len = static_cast<std::int32_t>(kWordLimit);
  r_ = ClassicReadResult{};

  // A user-mode export names its owner once, in the header.
  owner_ = o_.exp_user;
  sel_name_ = o_.table_id;
  if (sel_name_.starts_with("+")) {
    sel_partition_ = sel_name_.substr(1);
    sel_name_.clear();
  } else if (std::size_t dot = sel_name_.find('.'); dot != std::string::npos) {
    sel_owner_ = sel_name_.substr(0, dot);
    sel_name_ = sel_name_.substr(dot + 1);
  }
  sel_dual_ = sel_name_ == "DUAL";
  if (is_on(o_.is_condition)) {
    for (auto& w : o_.where_statement) {
      w.not_found = -1;
      if (w.is_selected) sel_name_ = "%%%%%%%%";
    }
  }

  if (int rc = open_dump(); rc != 0) return finish(rc);
  if (RowPipeline::suits(o_)) pipe_ = std::make_unique<RowPipeline>(g_, o_);
  if (debug_on(g_)) {
    debug_log(g_, "read_dmp() start -----------------------------------------------------------");
    char line[64];
    std::snprintf(line, sizeof line, "| size = %lld", static_cast<long long>(o_.dump_total_size));
    debug_log(g_, "path = |" + o_.exp_fname[0] + line);
    dump_options(g_, o_);
    debug_header_block(g_, o_.exp_fname[0]);
  }
  if (converting() && !ddl()) {
    if (compile_date_format(g_, o_) != 0 && g_.zulcode != 0) return finish(-1);
    g_.zulcode = 0;
    bom_pending_ = o_.output_mode != kOutCsvBatch && is_on(o_.is_output_bom) &&
                   output_charset(o_) == kCharsetUtf8;
  }

  int rc = find_stream_start();
  if (rc <= 0) return finish(rc == 0 ? 0 : -1);
  for (;;) {
    rc = read_statement();
    if (rc == 0) {
      // Every export ends with EXIT; data that stop before it were cut short,
      // and tables after the cut would be missing without a word.
      if (!saw_exit_) return finish(fail(g_, 3102, ""));
      break;
    }
    if (rc < 0) return finish(-1);
    rc = on_statement();
    if (rc == 1) break;
    if (rc < 0) return finish(rc);
  }
  return finish(0);
}

}  // namespace

int read_dmp(GlobalParams& g, ConvOptions& o, ClassicReadResult& result) {
  ClassicReader reader(g, o, result);
  return reader.run();
}

int read_dmp(GlobalParams& g, ConvOptions& o) {
  ClassicReadResult result;
  return read_dmp(g, o, result);
}

}  // namespace qln
