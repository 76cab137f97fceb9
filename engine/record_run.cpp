#include "engine/record_run.hpp"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <span>
#include <unordered_set>

#include "core/ascii.hpp"
#include "core/messages.hpp"
#include "core/options_init.hpp"
#include "dump/dump_file.hpp"
#include "dump/dump_header.hpp"
#include "engine/row_decoder.hpp"
#include "eval/row_conditions.hpp"
#include "engine/row_pipeline.hpp"
#include "output/ddl_writer.hpp"
#include "output/insert_lobs.hpp"
#include "output/lob_files.hpp"
#include "engine/output_file.hpp"
#include "output/row_writer.hpp"
#include "engine/table_output.hpp"
#include "values/value_format.hpp"

namespace qln {
namespace {

constexpr int kMaxListedTables = 999;
constexpr std::size_t kMaxListedColumns = 30000;
// Lines held before they are written, without writer threads.
constexpr std::size_t kHeldLines = std::size_t{1} << 20;

std::string_view trim_view(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// COLUMN=A,B or COLUMN=-C: the chosen columns, in the table's own order.
// Returns the first name that is no column of the table (empty when all are).
std::string_view apply_select_list(std::string_view list, const TableDefinition& table, ColumnOrder& order) {
  std::string_view unknown;
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
    bool known = false;
    for (std::size_t i = 0; i < n; ++i) {
      if (equals_nocase(table.columns[i].name, item)) {
        chosen[i] = !exclude;
        known = true;
      }
    }
    if (!known && unknown.empty()) unknown = item;
  }
  order.index.clear();
  for (std::size_t i = 0; i < n; ++i)
    if (chosen[i]) order.index.push_back(static_cast<std::int32_t>(i));
  order.width.assign(order.index.size(), 0);
  return unknown;
}

// The column-file writer as the reader sees it.
class LobTarget final : public LobSink {
 public:
  LobTarget(GlobalParams& g, LobFileWriter& lob) : g_(g), lob_(lob) {}
  bool wants(int column) const noexcept override { return lob_.wants(column); }
  Status chunk(int column, std::span<const std::uint8_t> bytes) override {
    return lob_.write_chunk(g_, column, bytes) == 0 ? Status() : last_failure(g_);
  }
  Status end_row() override { return lob_.end_row(g_) == 0 ? Status() : last_failure(g_); }

 private:
  GlobalParams& g_;
  LobFileWriter& lob_;
};

class RecordRun;

// INSERT output of a table with large objects: a row is written once its
// large objects have come.
class InsertLobTarget final : public LobSink {
 public:
  explicit InsertLobTarget(RecordRun& run) : run_(run) {}
  bool wants(int column) const noexcept override;
  Status chunk(int column, std::span<const std::uint8_t> bytes) override;
  Status end_row() override;

 private:
  RecordRun& run_;
};

// Decides what of the dump is converted and where it goes; the format
// reader only walks the dump.
class RecordRun final : public DumpVisitor {
 public:
  RecordRun(GlobalParams& g, ConvOptions& o, ReadResult& r, const RunControl* control)
      : g_(g), o_(o), r_(r), control_(control), writer_(g, o),
        lob_([this](const std::string& path) { return open_lob_file(path); }),
        lob_target_(g, lob_), insert_lob_target_(*this) {}

  int run();

  Walk on_table(const TableInfo& t) override;
  Walk on_index(const IndexDef& index) override;
  Walk on_rows_begin(const RowLayout& layout) override;
  Walk on_rows(const RowBatch& rows) override;
  void on_table_end(const TableEnd& end) override;
  LobSink* lob_sink() override {
    if (o_.output_mode == kOutLobFiles) return &lob_target_;
    // Asked once per read: the target answers for the table at hand.
    return o_.output_mode == kOutInsert && converting() ? &insert_lob_target_ : nullptr;
  }
  // The row held for its large objects, written (or dropped) now.
  int write_lob_row();
  bool wants_statements() const override { return ddl() && converting(); }
  bool on_statement(std::string_view s) override { return ddl_statement(g_, o_, ddl_, s) == 1; }
  TextWalk on_stored_text(std::span<const unsigned char> bytes, std::size_t& used) override;
  void on_stored_text_end() override { ddl_text_end(g_, ddl_); }
  void on_progress(const ReadProgress& p) override {
    if (control_ == nullptr || !control_->progress) return;
    RunProgress q;
    static_cast<ReadProgress&>(q) = p;
    q.table = current_table_;
    q.rows = r_.rows_written;
    control_->progress(q);
  }
  bool stop_requested() const override {
    return control_ != nullptr && control_->stop != nullptr &&
           control_->stop->load(std::memory_order_relaxed);
  }

 private:
  Walk on_partition(const TableInfo& t);
  void discard_table_output();
  Walk on_create_table(const TableInfo& t);
  Walk hand_over_row(std::span<const unsigned char> row, std::size_t readable = 0);
  int write_held_lines(bool more = false);
  int hand_over_decoded(std::span<const unsigned char> row);
  int finish(int rc);
  bool names_selected_table(std::string_view name, std::string_view owner) const;
  bool named_by_condition(std::string_view name) const;
  int prepare_table_output(bool write_heading);
  int select_table(const TableDefinition& def);
  void put_bom();
  Walk failed(int rc) {
    if (rc_ == 0) rc_ = rc;
    return Walk::kStop;
  }
  void add_list_entry(std::string_view owner, std::string name);
  std::FILE* open_lob_file(const std::string& path);
  void drop_table_output();
  int after_damage(bool read_ended);
  void note_written_rows() {
    if (writing_table_) r_.written.back().rows = table_written_;
  }

  // MAX_RECORD limits each table: it ends the read only when no other
  // table's rows can follow (a batch, a keyword search over every table and
  // per-table conditions write several).
  Walk limit_reached() const {
    const bool several = o_.output_mode == kOutCsvBatch || is_on(o_.is_grep) || is_on(o_.is_condition);
    return several ? Walk::kSkipRows : Walk::kStop;
  }
  bool converting() const { return o_.read_step == 0; }
  // Tables of several owners share a full export, and any Data Pump dump.
  bool owners_shown() const { return o_.exp_mode == 2 || o_.dump_type == kDumpDataPump; }
  bool ddl() const { return o_.output_mode == kOutDdl; }

  GlobalParams& g_;
  ConvOptions& o_;
  ReadResult& r_;
  const RunControl* control_;
  RowValues values_;
  DataColumns data_columns_;
  RowWriter writer_;
  ColumnOrder order_;
  DdlState ddl_;
  LobFileWriter lob_;
  LobTarget lob_target_;
  InsertLobs insert_lobs_;
  InsertLobTarget insert_lob_target_;
  bool lob_row_pending_ = false;
  friend class InsertLobTarget;
  RowConditions conditions_;  // the query's or the tables' WHERE
  std::unique_ptr<RowPipeline> pipe_;  // rows written on a second thread

  int rc_ = 0;  // the first failure met during the read
  std::string sel_name_;
  std::string sel_owner_;
  std::string sel_partition_;
  bool sel_first_ = false;      // no table named: the first one
  bool found_ = false;          // the selected table (or partition) was met
  bool selected_read_ = false;  // read_step 1: its definition is complete
  bool table_selected_ = false; // rows of the current table are wanted
  bool listed_header_ = false;
  bool bom_pending_ = false;  // the single output's UTF-8 signature
  std::size_t listed_columns_ = 0;
  std::int64_t table_rows_ = 0;
  std::int64_t table_written_ = 0;
  std::size_t list_entry_ = static_cast<std::size_t>(-1);
  bool damaged_ = false;          // a rows block was damaged (reported)
  bool damaged_wanted_ = false;   // ... of a table whose rows were being converted
  int lost_ = 0;                  // tables of a CSV batch left out, each named
  std::size_t own_outputs_ = 0;   // o.out_fname from here on: opened by this read
  std::unordered_set<std::string> lob_names_;  // column files written by this run
  std::string current_table_;   // the table being read, for progress
  bool writing_table_ = false;  // r_.written.back() is the current table
  bool straight_ = false;    // on_rows: rows go to the pipeline undecoded
  bool stored_ = false;      // without a pipeline: plain rows written from their bytes
  // A condition reads a few columns here; the rows it keeps go to the
  // pipeline undecoded, so the writer's side decodes them in parallel.
  bool filter_straight_ = false;
  std::vector<char> filter_columns_;  // per table column: the condition reads it
  std::int64_t limit_ = -1;  // MAX_RECORD of the current block, -1 none
};

bool RecordRun::named_by_condition(std::string_view name) const {
  if (!is_on(o_.is_condition)) return false;
  for (const TableCondition& w : o_.where_statement)
    if (w.is_selected && equals_nocase(w.table_name, name)) return true;
  return false;
}

bool RecordRun::names_selected_table(std::string_view name, std::string_view owner) const {
  return !sel_name_.empty() && equals_nocase(sel_name_, name) &&
         (sel_owner_.empty() || equals_nocase(sel_owner_, owner));
}

void RecordRun::add_list_entry(std::string_view owner, std::string name) {
  list_entry_ = static_cast<std::size_t>(-1);
  if (r_.tables.size() >= static_cast<std::size_t>(kMaxListedTables)) return;
  TableListEntry e;
  e.owner = std::string(owner);
  e.name = std::move(name);
  r_.tables.push_back(std::move(e));
  list_entry_ = r_.tables.size() - 1;
}

// The single output starts with the UTF-8 signature when the first table
// (or heading) goes to it, so a run that converts no table leaves it empty.
void RecordRun::put_bom() {
  if (!bom_pending_) return;
  bom_pending_ = false;
  std::fwrite("\xEF\xBB\xBF", 1, 3, g_.out_stream);
}

// Opens the table's own file (when the run has one per table) and writes the
// header line.
int RecordRun::prepare_table_output(bool write_heading) {
  // The opener decides whether the table gets a file of its own.
  if (open_table_output(g_, o_, o_.table.table_name) != 0) return -11;
  if (!ddl()) {
    WrittenTable w{o_.table.table_name, 0, o_.out_file};
    if (o_.table_out != nullptr && !o_.out_fname.empty()) w.file = o_.out_fname.back();
    if (o_.output_mode == kOutLobFiles) w.file = o_.lob_dir.empty() ? "." : o_.lob_dir;
    r_.written.push_back(std::move(w));
    writing_table_ = true;
  }
  if (o_.table_out == nullptr) put_bom();
  if (!write_heading) return 0;
  if (o_.output_mode == kOutInsert && !is_on(o_.is_grep))
    return begin_insert_table(writer_, o_.table, order_);
  if (ddl() && !is_on(o_.is_grep)) return 0;
  return write_header(writer_, o_.table, order_);
}

// The table whose rows are converted next: its definition, column order and
// column-file set-up.
int RecordRun::select_table(const TableDefinition& def) {
  o_.table = def;
  order_.set_identity(static_cast<int>(o_.table.columns.size()));
  const bool column_list = is_on(o_.is_select_list) && !o_.select_list.empty();
  if (column_list) {
    const std::string_view unknown = apply_select_list(o_.select_list, o_.table, order_);
    // A misspelt name would silently write other columns than asked for. Runs
    // over several tables leave out what a table does not have.
    const bool several = o_.output_mode == kOutCsvBatch || is_on(o_.is_preview) || is_on(o_.is_grep) ||
                         is_on(o_.is_condition);
    if (!unknown.empty() && converting() && !several) return fail(g_, MessageCode::kColumnNotFound, unknown);
  }
  if (converting()) {
    if (conditions_.start_table(g_, o_.table) != 0) return -1;
    // A query's select list names the output columns, unless COLUMN does.
    if (conditions_.has_query() && !conditions_.query().columns.empty() && !column_list) {
      std::vector<int> positions;
      if (resolve_query_columns(g_, conditions_.query(), o_.table, positions) != 0) return -1;
      order_.index.assign(positions.begin(), positions.end());
      order_.width.assign(positions.size(), 0);
    }
  }
  if (o_.output_mode == kOutInsert && converting())
    insert_lobs_.begin_table(g_, o_, o_.table);
  else
    insert_lobs_ = InsertLobs();
  lob_row_pending_ = false;
  return lob_.begin_table(g_, o_, o_.table);
}

int RecordRun::write_lob_row() {
  if (!lob_row_pending_) {
    insert_lobs_.skip_row();
    return 0;
  }
  lob_row_pending_ = false;
  insert_lobs_.fill(g_, o_.table, values_);
  if (pipe_) return pipe_->put(values_, o_.table, order_);
  return write_row(writer_, o_.table, order_, values_);
}

bool InsertLobTarget::wants(int column) const noexcept { return run_.insert_lobs_.wants(column); }

Status InsertLobTarget::chunk(int column, std::span<const std::uint8_t> bytes) {
  run_.insert_lobs_.chunk(column, bytes);
  return Status();
}

Status InsertLobTarget::end_row() {
  return run_.write_lob_row() == 0 ? Status() : last_failure(run_.g_);
}

Walk RecordRun::on_table(const TableInfo& t) {
  if (stop_requested()) return Walk::kStop;
  return t.partition.empty() ? on_create_table(t) : on_partition(t);
}

Walk RecordRun::on_partition(const TableInfo& t) {
  if (pipe_ && pipe_->drain() != 0) return failed(-1);
  add_list_entry(t.owner, "+" + std::string(t.partition));
  if (sel_partition_.empty()) return Walk::kSkipRows;
  // A table chosen by one of its partitions: only that partition's rows.
  const bool match = equals_nocase(sel_partition_, t.partition);
  table_selected_ = match;
  if (!match) return Walk::kSkipRows;
  found_ = true;
  if (t.definition == nullptr) return Walk::kSkipRows;
  if (select_table(*t.definition) != 0) return failed(-1);
  if (converting()) {
    if (int rc = prepare_table_output(true); rc != 0) return failed(rc);
    return Walk::kContinue;
  }
  selected_read_ = true;
  return Walk::kContinue;
}

Walk RecordRun::on_create_table(const TableInfo& t) {
  // What follows may change the output: the rows before must be out.
  if (pipe_ && pipe_->drain() != 0) return failed(-1);
  if (o_.read_step == 1 && selected_read_) return Walk::kStop;

  const TableDefinition* def = t.definition;
  const std::string name(t.name);
  const std::string_view owner = t.owner;
  if (sel_first_) {
    sel_first_ = false;
    sel_name_ = name;
  }
  note_written_rows();
  writing_table_ = false;
  current_table_ = name;
  table_rows_ = 0;
  table_written_ = 0;
  table_selected_ = false;
  lob_.clear_table();

  add_list_entry(owner, name);
  if (o_.read_step == 3 && def != nullptr && list_entry_ < r_.tables.size()) {
    listed_columns_ += def->columns.size();
    if (listed_columns_ > kMaxListedColumns) return failed(fail(g_, MessageCode::kTooManyColumns, "30000"));
    r_.tables[list_entry_].columns = def->columns;
  }

  if (o_.read_step == 2) {
    std::FILE* out = g_.out_stream;
    if (!listed_header_) {
      listed_header_ = true;
      if (owners_shown())
        std::fputs("OWNER                          TABLE_NAME\n"
                   "------------------------------ ------------------------------\n", out);
      else
        std::fputs("TABLE_NAME\n------------------------------\n", out);
    }
    if (owners_shown()) std::fprintf(out, "%-30s %-30s\n", std::string(owner).c_str(), name.c_str());
    else std::fprintf(out, "%s\n", name.c_str());
    return Walk::kSkipRows;
  }
  if (o_.read_step == 3) return Walk::kSkipRows;

  // A heading names the table in the one output; a batch file is its table.
  if (converting() && o_.output_mode != kOutCsvBatch &&
      (is_on(o_.is_grep) || (is_on(o_.is_preview) && !ddl()))) {
    put_bom();
    // Japanese users read the table's name between lenticular brackets.
    const bool ja = g_.language == Language::kJapanese;
    const char* open = ja ? "【" : "[";
    const char* close = ja ? "】" : "]";
    if (owners_shown())
      std::fprintf(g_.out_stream, "%s%-30s%s%s%-30s%s\n", open, std::string(owner).c_str(), close, open,
                   name.c_str(), close);
    else std::fprintf(g_.out_stream, "%s%s%s\n", open, name.c_str(), close);
  }

  // A table a condition names is there, whichever way it is converted.
  if (converting() && is_on(o_.is_condition) && def != nullptr && !def->columns.empty()) {
    for (TableCondition& w : o_.where_statement)
      if (equals_nocase(w.table_name, name)) w.not_found = 0;
  }
  const bool chosen = names_selected_table(name, owner) || (is_on(o_.is_preview) && converting());
  if (chosen) {
    if (def == nullptr) {
      // The reader tells why the definition cannot be read.
      rc_ = -1;
      return Walk::kContinue;
    }
    if (def->columns.empty()) {
      if (!is_on(o_.is_preview)) return failed(fail(g_, MessageCode::kTableWithoutColumns, name));
      return Walk::kSkipRows;  // a preview shows what it can read
    }
    found_ = true;
    table_selected_ = true;
    if (select_table(*def) != 0) return failed(-1);
    if (!converting()) {
      selected_read_ = true;
      return Walk::kContinue;
    }
    if (int rc = prepare_table_output(true); rc != 0) return failed(rc);
    return Walk::kContinue;
  }

  if (def == nullptr || def->columns.empty()) {
    // A batch converts every table: one it cannot read is named, not skipped.
    if (converting() && o_.output_mode == kOutCsvBatch) {
      fail(g_, MessageCode::kTableWithoutColumns, name);
      ++lost_;
    }
    return Walk::kSkipRows;
  }
  if (!converting()) return Walk::kSkipRows;
  table_selected_ = o_.output_mode == kOutCsvBatch || named_by_condition(name);
  if (table_selected_ || is_on(o_.is_grep)) {
    if (select_table(*def) != 0) return failed(-1);
    if (int rc = prepare_table_output(!ddl()); rc != 0) return failed(rc);
  }
  return Walk::kSkipRows;
}

Walk RecordRun::on_index(const IndexDef& index) {
  if (o_.read_step != 1 || !selected_read_) return Walk::kContinue;
  if (static_cast<int>(o_.table.indexes.size()) >= kMaxIndexes) return failed(-1);
  o_.table.indexes.push_back(index);
  return Walk::kContinue;
}

Walk RecordRun::on_rows_begin(const RowLayout& layout) {
  const bool keep = converting() && !ddl() &&
                    (table_selected_ || is_on(o_.is_preview) || is_on(o_.is_grep));
  if (!keep) return Walk::kSkipRows;
  data_columns_.clear();
  if (!layout.table_column.empty()) {
    data_columns_.table_col.assign(layout.table_column.begin(), layout.table_column.end());
    data_columns_.data_pos.assign(o_.table.columns.size(), -1);
    for (std::size_t i = 0; i < data_columns_.table_col.size(); ++i) {
      const auto col = static_cast<std::size_t>(data_columns_.table_col[i]);
      if (col < data_columns_.data_pos.size()) data_columns_.data_pos[col] = static_cast<int>(i);
    }
  }
  // Rows of a selected table that nothing here needs decoded: the same
  // decisions as hand_over_row, taken once per block.
  straight_ = pipe_ && table_selected_ && !is_on(o_.is_preview) && !is_on(o_.is_grep) &&
              data_columns_.table_col.empty() && lob_.target_column() < 0 &&
              !insert_lobs_.active() && !is_on(o_.is_condition) && o_.query.empty();
  stored_ = !pipe_ && table_selected_ && !is_on(o_.is_preview) && !is_on(o_.is_grep) &&
            data_columns_.table_col.empty() && lob_.target_column() < 0 && !insert_lobs_.active() &&
            !is_on(o_.is_condition) && o_.query.empty() && prepare_stored_rows(writer_, o_.table, order_);
  limit_ = found_ && !is_on(o_.is_unlimited) && o_.max_record > 0 ? o_.max_record : -1;
  if (limit_ >= 0 && table_written_ >= limit_) straight_ = false;
  filter_straight_ = pipe_ && table_selected_ && !is_on(o_.is_preview) && !is_on(o_.is_grep) &&
                     data_columns_.table_col.empty() && lob_.target_column() < 0 &&
                     !insert_lobs_.active() && conditions_.active();
  if (filter_straight_) {
    filter_columns_.assign(o_.table.columns.size(), 0);
    for (const std::int32_t col : conditions_.bound_columns())
      if (static_cast<std::size_t>(col) < filter_columns_.size()) filter_columns_[static_cast<std::size_t>(col)] = 1;
  }
  return Walk::kContinue;
}

// The table output of a batch table whose rows were damaged goes; the
// other tables' files stay.
void RecordRun::drop_table_output() {
  if (o_.table_out == nullptr || o_.out_fname.empty()) return;
  if (pipe_) (void)pipe_->drain();
  const std::string path = o_.out_fname.back();
  (void)close_table_output(g_, o_);
  remove_last_output_file(o_, path);
  // A dropped table is no table written: the summary must not list it.
  if (writing_table_) {
    r_.written.pop_back();
    writing_table_ = false;
  }
}

void RecordRun::on_table_end(const TableEnd& end) {
  if (!end.complete) {
    const MessageCode c = last_failure(g_).code();
    if (c == MessageCode::kDumpFormat || c == MessageCode::kUnsupportedType ||
        c == MessageCode::kDumpBuffer) {
      damaged_ = true;
      damaged_wanted_ = damaged_wanted_ || (table_selected_ && converting());
      if (table_selected_ && converting() && o_.output_mode == kOutCsvBatch) {
        drop_table_output();
        ++lost_;
      }
      table_selected_ = false;
    }
  }
  note_written_rows();
  table_rows_ += end.rows;
  if (list_entry_ < r_.tables.size()) r_.tables[list_entry_].rows += end.rows;
  if (table_selected_) r_.last_row_count = table_rows_;
  if (!end.complete && table_selected_ && converting()) discard_table_output();
}

// A selected table whose rows the reader could not give (it said why): its
// own file of a batch run goes, and the other tables go on; any other
// output would be incomplete, so the run fails.
void RecordRun::discard_table_output() {
  if (o_.output_mode != kOutCsvBatch || o_.table_out == nullptr || o_.out_fname.empty()) {
    failed(-1);
    return;
  }
  if (pipe_ && pipe_->drain() != 0) {
    failed(-1);
    return;
  }
  const std::string path = o_.out_fname.back();
  if (close_table_output(g_, o_) != 0) {
    failed(-1);
    return;
  }
  // What this run wrote goes; a file of that name from before stays.
  remove_last_output_file(o_, path);
}

Walk RecordRun::on_rows(const RowBatch& rows) {
  const std::size_t n = rows.size();
  if (straight_) {
    // The common case: the rows go to the writer threads as they are, up to
    // MAX_RECORD.
    std::size_t take = n;
    if (limit_ >= 0) take = std::min(n, static_cast<std::size_t>(limit_ - table_written_));
    if (pipe_->put_gathered(rows, take, order_) != 0) return failed(-1);
    table_written_ += static_cast<std::int64_t>(take);
    r_.rows_written += static_cast<std::int64_t>(take);
    return table_written_ == limit_ ? limit_reached() : Walk::kContinue;
  }
  // Without writer threads the lines of a batch are held and written a
  // megabyte or more at a time, not line by line through the stream's small
  // buffer. Nothing else writes to the output while rows are handed over.
  writer_.keep_lines = !pipe_;
  for (std::size_t i = 0; i < n; ++i) {
    const Walk w = hand_over_row(rows.row(i), rows.bytes.size() - rows.ends[i]);
    if (w != Walk::kContinue) {
      if (write_held_lines() != 0) return failed(-1);
      return w;
    }
    if (writer_.line.start >= kHeldLines && write_held_lines(true) != 0) return failed(-1);
  }
  return write_held_lines() == 0 ? Walk::kContinue : failed(-1);
}

// Writes the lines held so far; `more`: go on holding them.
int RecordRun::write_held_lines(bool more) {
  const bool held = writer_.keep_lines;
  writer_.keep_lines = more;
  LineBuffer& line = writer_.line;
  if (!held || line.start == 0) return 0;
  const std::string_view lines(line.data.data(), line.start);
  line.start = 0;
  line.clear();
  return write_text(writer_, lines);
}

Walk RecordRun::hand_over_row(std::span<const unsigned char> row, std::size_t readable) {
  const bool preview = is_on(o_.is_preview);
  const bool grep = is_on(o_.is_grep);
  const bool decode = (table_selected_ && !preview) ||
                      (preview && (o_.max_record < 0 || table_written_ < o_.max_record)) || grep;
  if (!decode) return Walk::kContinue;
  if (filter_straight_) {
    if (decode_row_columns(g_, o_, row, values_, filter_columns_) != 0) return failed(-1);
    bool keep = false;
    if (conditions_.keep(g_, std::span<const SqlValue>(values_.values.data(), static_cast<std::size_t>(values_.size())),
                         keep) != 0)
      return failed(fail(g_, MessageCode::kConditionFailed));
    if (!keep) return Walk::kContinue;
    if (pipe_->put_gathered(row, order_) != 0) return failed(-1);
    ++table_written_;
    ++r_.rows_written;
    return limit_ >= 0 && table_written_ >= limit_ ? Walk::kStop : Walk::kContinue;
  }
  // Rows nobody here needs decoded go to the writer thread as they are.
  if (pipe_ && !grep && data_columns_.table_col.empty() && lob_.target_column() < 0 &&
      !insert_lobs_.active() && !is_on(o_.is_condition) && o_.query.empty()) {
    if (pipe_->put_gathered(row, order_) != 0) return failed(-1);
    ++table_written_;
    ++r_.rows_written;
  } else if (const int direct = stored_ ? write_stored_row(writer_, row, readable) : 0; direct != 0) {
    if (direct < 0) return failed(-1);
    ++table_written_;
    ++r_.rows_written;
  } else if (int rc = hand_over_decoded(row); rc != 0) {
    return failed(rc);
  }
  if (found_ && !preview && !is_on(o_.is_unlimited) && o_.max_record > 0 &&
      table_written_ >= o_.max_record)
    return limit_reached();
  return Walk::kContinue;
}

int RecordRun::hand_over_decoded(std::span<const unsigned char> row) {
  bool rejected = false;
  if (decode_row(g_, o_, row, values_, rejected, &data_columns_) != 0) return -1;
  if (!rejected && conditions_.active()) {
    bool keep = false;
    if (conditions_.keep(g_, std::span<const SqlValue>(values_.values.data(), static_cast<std::size_t>(values_.size())),
                         keep) != 0)
      return fail(g_, MessageCode::kConditionFailed);
    rejected = !keep;
  }
  if (!rejected) {
    if (insert_lobs_.active()) {
      lob_row_pending_ = true;
    } else if (pipe_) {
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

TextWalk RecordRun::on_stored_text(std::span<const unsigned char> bytes, std::size_t& used) {
  const int rc = ddl_text(g_, o_, ddl_, bytes, used);
  if (rc < 0) {
    failed(-1);
    return TextWalk::kStop;
  }
  return rc == 1 ? TextWalk::kEnded : TextWalk::kMore;
}

// Where a rows block was damaged: whether what was asked for is complete
// all the same. `read_ended`: the damage was a cut at the end of the data,
// so no table after it was missed.
int RecordRun::after_damage(bool read_ended) {
  if (o_.read_step == 2 || o_.read_step == 3) return read_ended ? 0 : -1;
  if (o_.read_step == 1) return selected_read_ ? 0 : -1;
  if (o_.output_mode == kOutCsvBatch) {
    if (!read_ended) ++lost_;  // and the tables after it, unread
    return 0;
  }
  if (ddl()) return read_ended ? 0 : -1;
  // One output: complete only when the selected table was read whole.
  if (damaged_wanted_ || !found_ || is_on(o_.is_preview) || is_on(o_.is_grep)) return -1;
  return 0;
}

// Column files get the names their rows give them; a name met before in
// this run gets a number, so no file overwrites another.
std::FILE* RecordRun::open_lob_file(const std::string& path) {
  std::string name = path;
  if (!lob_names_.insert(name).second) {
    const std::size_t slash = path.find_last_of("/\\");
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
    for (int n = 2; !lob_names_.insert(name).second; ++n)
      name = path.substr(0, dot) + "_" + std::to_string(n) + path.substr(dot);
    fail(g_, MessageCode::kLobNameTaken, name);
  }
  if (is_dump_volume(o_, name) || (!o_.out_file.empty() && same_file(name, o_.out_file))) {
    fail(g_, MessageCode::kSameFile, name);
    return nullptr;
  }
  return open_output_file(o_, name, true);
}

int RecordRun::finish(int rc) {
  note_written_rows();
  if (pipe_) {
    if (pipe_->drain() != 0 && rc >= 0) rc = -1;
    pipe_.reset();
  }
  if (rc >= 0) {
    if (o_.output_mode == kOutInsert && (r_.rows_written > 0 || writer_.transaction_open))
      std::fputs("COMMIT;\n", g_.out_stream);
    if (converting() && is_on(o_.is_condition)) {
      for (const TableCondition& w : o_.where_statement)
        if (w.is_selected && w.not_found == -1) {
          fail(g_, MessageCode::kTableNotFound, w.table_name);
          rc = -1;
        }
    } else if (!found_ && o_.read_step != 2 && o_.read_step != 3 &&
               o_.output_mode != kOutCsvBatch && !ddl()) {
      g_.zulcode = code_number(MessageCode::kTableNotFound);
    }
  }
  if (o_.output_mode == kOutLobFiles && converting()) {
    if (rc >= 0 && lob_.finish(g_, o_) != 0) rc = -1;
    if (rc < 0) lob_.end_row(g_);
  }
  // The last table's own file is complete now.
  if (close_table_output(g_, o_) != 0 && rc >= 0) rc = -1;
  if (rc >= 0 && lost_ > 0) {
    fail(g_, MessageCode::kTablesLost, std::to_string(lost_));
    r_.partial = true;
  }
  // The files this read opened itself are complete: they take their names.
  // (OUT_FILE, opened before, is the job's to commit.)
  if (rc >= 0) {
    std::string failed;
    if (commit_output_files(o_, failed, own_outputs_) != 0) rc = fail(g_, MessageCode::kFileWrite, failed);
    else if (r_.partial) rc = -1;
  }
  if (debug_on(g_)) {
    char line[64];
    std::snprintf(line, sizeof line, "rc = %d", rc);
    debug_log(g_, std::string("out_path = |") + (o_.out_fname.empty() ? "" : o_.out_fname[0]) +
                      "| " + line);
    debug_log(g_, "read_dmp() return ----------------------------------------------------------");
  }
  return rc;
}

int RecordRun::run() {
  g_.zulcode = 0;
  r_ = ReadResult{};
  own_outputs_ = o_.out_fname.size();

  sel_name_ = o_.table_id;
  if (sel_name_.starts_with("+")) {
    sel_partition_ = sel_name_.substr(1);
    sel_name_.clear();
  } else if (std::size_t dot = sel_name_.find('.'); dot != std::string::npos) {
    sel_owner_ = sel_name_.substr(0, dot);
    sel_name_ = sel_name_.substr(dot + 1);
  }
  // The conditions are compiled, and statements no conversion can run
  // refused, before the dump is read. A query names its table.
  if (converting() && !ddl()) {
    if (conditions_.prepare(g_, o_) != 0) return finish(-1);
    conditions_.set_charsets(output_charset(o_), g_.os_charset, o_.date_format);
    if (conditions_.has_query()) {
      sel_name_ = conditions_.query().table;
      sel_owner_ = conditions_.query().schema;
      sel_partition_.clear();
      o_.table_id = conditions_.query().table;
      o_.is_condition = kNo;  // the query's WHERE replaces the tables' own
    }
  }
  // No table named: the first one, where a table is converted.
  sel_first_ = sel_name_.empty() && sel_partition_.empty() && is_on(o_.is_first) && !ddl();
  if (is_on(o_.is_condition)) {
    for (auto& w : o_.where_statement) {
      w.not_found = -1;
      if (w.is_selected) {
        sel_name_.clear();
        sel_first_ = false;
      }
    }
  }

  // The volumes' sizes, for progress and the debug log.
  if (o_.exp_fname.empty()) return finish(fail(g_, MessageCode::kDumpOpen, ""));
  if (o_.dump_sizes.size() != o_.exp_fname.size()) {
    o_.dump_sizes.clear();
    for (const auto& f : o_.exp_fname) {
      DumpFile file;
      if (file.open(f) != 0) return finish(fail(g_, MessageCode::kDumpOpen, f));
      o_.dump_sizes.push_back(file.size());
    }
  }
  const DumpInfo info = dump_info_of(g_, o_);
  std::unique_ptr<FormatReader> reader =
      make_format_reader(g_, info, ReadSettings{o_.raw_length});
  if (!reader) return finish(fail(g_, MessageCode::kDumpFormat, ""));
  if (RowPipeline::suits(o_)) pipe_ = std::make_unique<RowPipeline>(g_, o_);
  if (debug_on(g_)) {
    debug_log(g_, "read_dmp() start -----------------------------------------------------------");
    char line[64];
    std::snprintf(line, sizeof line, "| size = %lld", static_cast<long long>(info.total_size));
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

  const Status s = reader->read(*this);
  o_.dump_sizes = reader->info().volume_sizes;
  o_.dump_total_size = reader->info().total_size;
  if (s.code() == MessageCode::kStopped) {
    r_.stopped = true;
    if (pipe_) {
      (void)pipe_->drain();
      pipe_.reset();
    }
    close_table_output(g_, o_);
    lob_.end_row(g_);
    remove_output_files(o_);
    fail(g_, MessageCode::kStopped);
    return -1;
  }
  if (damaged_ && (s.ok() || rc_ == 0)) return finish(after_damage(s.ok()));
  if (!s.ok()) return finish(-1);
  return finish(rc_);
}

}  // namespace

DumpInfo dump_info_of(const GlobalParams& g, const ConvOptions& o) {
  DumpInfo info;
  info.kind = static_cast<DumpKind>(o.dump_type);
  info.mode = static_cast<ExportMode>(o.exp_mode);
  info.version = o.exp_version;
  info.version_text = o.exp_version_str;
  info.user = o.exp_user;
  info.date = o.exp_date;
  info.db_charset = g.db_charset;
  info.nls_charset = g.nls_charset;
  info.volumes = o.exp_fname;
  info.volume_sizes = o.dump_sizes;
  for (auto s : info.volume_sizes) info.total_size += s;
  return info;
}

int run_records(GlobalParams& g, ConvOptions& o, ReadResult& result, const RunControl* control) {
  RecordRun run(g, o, result, control);
  return run.run();
}

int run_records(GlobalParams& g, ConvOptions& o) {
  ReadResult result;
  return run_records(g, o, result);
}

}  // namespace qln
