#include "engine/conversion.hpp"

#include <cstdio>
#include <filesystem>
#include <string_view>

#include "core/messages.hpp"
#include "core/multibyte.hpp"
#include "core/options_init.hpp"
#include "core/platform.hpp"
#include "dump/dump_header.hpp"
#include "output/lob_files.hpp"
#include "engine/output_file.hpp"
#include "output/row_writer.hpp"
#include "values/charset.hpp"

namespace qln {

namespace {

constexpr int kReaderStop = -11;
constexpr std::size_t kNameWidth = 30;
constexpr std::size_t kTypeWidth = 17;

// The job's single output, opened by the run: OUT_FILE, or standard output.
class OutFile {
 public:
  OutFile(GlobalParams& g, ConvOptions& o) : g_(g), o_(o) {}
  ~OutFile() { close(); }
  OutFile(const OutFile&) = delete;
  OutFile& operator=(const OutFile&) = delete;

  Status open() {
    if (o_.out_file.empty()) return {};
    // Only a regular file this run created or truncated is recorded for the
    // clean-up of a failed run.
    file_ = open_output_file(o_, o_.out_file);
    if (file_ == nullptr) {
      fail(g_, MessageCode::kOpenFile, o_.out_file);
      return last_failure(g_);
    }
    saved_ = g_.out_stream;
    g_.out_stream = file_;
    return {};
  }

  // Bytes that could not be written make the job fail instead of passing
  // for a complete output.
  Status finish() {
    bool written = true;
    if (file_ != nullptr) {
      std::FILE* f = file_;
      file_ = nullptr;
      if (g_.out_stream == f) g_.out_stream = saved_;
      written = std::fflush(f) == 0 && std::ferror(f) == 0;
      written = std::fclose(f) == 0 && written;
      if (!written) fail(g_, MessageCode::kFileWrite, o_.out_file);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
      fail(g_, MessageCode::kStdoutWrite);
      written = false;
    }
    return written ? Status() : last_failure(g_);
  }

  void close() {
    if (file_ == nullptr) return;
    if (g_.out_stream == file_) g_.out_stream = saved_;
    std::fclose(file_);
    file_ = nullptr;
  }

 private:
  GlobalParams& g_;
  ConvOptions& o_;
  std::FILE* file_ = nullptr;
  std::FILE* saved_ = stdout;
};

// What the run's result code means. A failure the run did not put into
// words still ends with a message.
Status run_status(GlobalParams& g, const ConvOptions& o, int rc, Results& results) {
  if (rc == kReaderStop) {
    results.abort = true;
    return last_failure(g);
  }
  if (rc < 0) {
    if (g.message_count == 0) fail(g, MessageCode::kProcessing);
    return last_failure(g);
  }
  if (g.zulcode == code_number(MessageCode::kTableNotFound)) {
    fail(g, MessageCode::kTableNotFound, o.table_id);
    return last_failure(g);
  }
  if (g.zulcode != 0) {
    fail(g, MessageCode::kProcessing);
    return last_failure(g);
  }
  return {};
}

// A LOB_FILE pattern names files inside LOB_DIR: no absolute path, no "..".
bool lob_pattern_stays_inside(std::string_view pattern) {
  if (pattern.empty()) return true;
  if (pattern.front() == '/' || pattern.front() == '\\' ||
      (pattern.size() >= 2 && pattern[1] == ':'))
    return false;
  std::size_t start = 0;
  while (start <= pattern.size()) {
    std::size_t end = pattern.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = pattern.size();
    if (pattern.substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  return true;
}

// What the job will write must not be what it reads: checked before any
// output is opened.
Status check_output_paths(GlobalParams& g, const ConvOptions& o, Job job) {
  if (job != Job::kConvert) return {};
  if (!o.out_file.empty() && is_dump_volume(o, o.out_file)) {
    fail(g, MessageCode::kSameFile, o.out_file);
    return last_failure(g);
  }
  if (o.output_mode == kOutLobFiles && !lob_pattern_stays_inside(o.lob_fname)) {
    fail(g, MessageCode::kLobPattern, o.lob_fname);
    return last_failure(g);
  }
  return {};
}

// Renames the run's files over their targets.
Status commit_outputs(GlobalParams& g, ConvOptions& o) {
  std::string failed;
  if (commit_output_files(o, failed) == 0) return {};
  fail(g, MessageCode::kFileWrite, failed);
  remove_output_files(o);
  return last_failure(g);
}

// Padded by the columns the text takes on screen, not by its bytes.
void append_padded(std::string& out, std::string_view s, std::size_t width, int charset) {
  out += s;
  const std::size_t shown = display_width(charset, s);
  if (shown < width) out.append(width - shown, ' ');
  out += ' ';
}

bool lob_dir_exists(const std::string& dir) {
  std::error_code ec;
  return dir.empty() || std::filesystem::is_directory(native_path(dir), ec);
}

OutputMode output_mode_of(OutputKind k) {
  switch (k) {
    case OutputKind::kCsv: return kOutCsv;
    case OutputKind::kCsvBatch: return kOutCsvBatch;
    case OutputKind::kInsert: return kOutInsert;
    case OutputKind::kDdl: return kOutDdl;
    case OutputKind::kLobFiles: return kOutLobFiles;
  }
  return kOutCsv;
}

// The records a request stands for, as the command-line options would
// leave them.
void fill_options(const Request& r, GlobalParams& g, ConvOptions& o) {
  g.os_charset = r.user_charset;
  g.language = r.language;
  g.message_converter = static_cast<MessageConverter>(&utf8_to_os_charset);
  o.exp_fname = r.volumes;
  o.table_id = r.table.text();
  if (r.table.kind == TableSelector::Kind::kFirst) set_switch(o.is_first, true);
  o.output_mode = output_mode_of(r.output);
  o.dbms_type = static_cast<std::int32_t>(r.dialect);
  o.ddl_kinds = r.ddl_kinds;
  o.out_file = r.out_file;
  if (r.output == OutputKind::kCsvBatch && !r.out_dir.empty()) {
    o.log_fname = r.out_dir;
    if (o.log_fname.back() != '/') o.log_fname += '/';
    o.log_fname += "run";
  }
  set_switch(o.is_header, r.header);
  set_switch(o.is_output_bom, r.bom);
  set_switch(o.is_quote, r.quote);
  set_switch(o.is_trim, r.trim);
  o.delimiter = r.delimiter;
  set_switch(o.is_preview, r.preview);
  if (r.max_record >= 0) {
    o.max_record = r.max_record;
    set_switch(o.is_unlimited, false);
  } else if (r.preview) {
    o.max_record = 5;
    set_switch(o.is_unlimited, false);
  }
  if (!r.grep.empty()) {
    set_switch(o.is_grep, true);
    o.grep_text = r.grep;
  }
  for (const TableWhere& w : r.conditions) {
    TableCondition c;
    c.is_selected = w.selected ? 1 : 0;
    c.table_name = w.table;
    c.where_text = w.where;
    o.where_statement.push_back(std::move(c));
  }
  if (!r.conditions.empty()) {
    set_switch(o.is_condition, true);
    set_switch(o.is_first, false);
  }
  o.query = r.query;
  if (!r.columns.empty()) {
    set_switch(o.is_select_list, true);
    o.select_list = r.columns;
  }
  if (!r.date_format.empty()) o.date_format = r.date_format;
  o.out_charset = r.out_charset;
  o.db_charset_override = r.db_charset;
  o.raw_format = r.raw_format;
  o.raw_length = r.raw_length;
  o.threads = r.threads;
  if (r.output == OutputKind::kLobFiles) {
    o.lob_table_name = r.lob.table;
    o.lob_target_col_name = r.lob.column;
    o.lob_dir = r.lob.dir;
    if (!o.lob_dir.empty() && o.lob_dir.back() != '/') o.lob_dir += '/';
    if (split_lob_pattern(g, o, r.lob.file_pattern) == 0) o.lob_fname = r.lob.file_pattern;
  }
}

// Hands the queued messages to the sink, in order.
void forward_messages(GlobalParams& g, MessageSink* sink) {
  const int count = std::min<int>(g.message_count, kMaxMessages);
  for (int i = 0; i < count; ++i) {
    const std::string& line = g.messages[static_cast<std::size_t>(i)];
    GlobalParams one;
    one.messages[0] = line;
    one.message_count = 1;
    if (sink != nullptr) sink->message(last_failure(one).code(), line);
  }
  g.message_count = 0;
}

}  // namespace

std::string TableSelector::text() const {
  switch (kind) {
    case Kind::kFirst: return {};
    case Kind::kNamed: return owner.empty() ? name : owner + "." + name;
    case Kind::kPartition: return "+" + name;
  }
  return {};
}

Status run_job(GlobalParams& g, ConvOptions& o, Job job, Results& results, const RunControl* control) {
  if (o.dump_type != kDumpConventional && o.dump_type != kDumpDirect && o.dump_type != kDumpDataPump) {
    fail(g, MessageCode::kDumpFormat);
    return last_failure(g);
  }
  if (!has_format_reader(static_cast<DumpKind>(o.dump_type))) {
    fail(g, MessageCode::kNotSupported, user_text(g, {"データポンプ", "Data Pump"}));
    return last_failure(g);
  }
  if (Status s = check_output_paths(g, o, job); !s.ok()) return s;
  OutFile out(g, o);
  ReadResult read;
  int rc = 0;
  std::string typed_grep;
  switch (job) {
    case Job::kListTables:
      o.read_step = 2;
      break;
    case Job::kDescribeTable:
      o.read_step = 1;
      break;
    case Job::kTableColumns:
      o.read_step = 3;
      break;
    case Job::kReadHeader:
      results.dump = dump_info_of(g, o);
      return {};
    case Job::kConvert:
      if (o.output_mode == kOutLobFiles && !lob_dir_exists(o.lob_dir)) {
        fail(g, MessageCode::kLobDirMissing, o.lob_dir);
        return last_failure(g);
      }
      if (Status s = out.open(); !s.ok()) return s;
      o.read_step = 0;
      if (o.output_mode != kOutDdl) {
        o.row_format = o.output_mode == kOutInsert ? 2 : 1;
        // Column files take every byte; the text output stays empty, without
        // a BOM. SQL clients refuse a script that starts with one.
        if (o.output_mode == kOutLobFiles || o.output_mode == kOutInsert) o.is_output_bom = kNo;
        // The run converts the table it selects; a column-file target names it.
        if (!o.lob_target_col_name.empty() && !o.lob_table_name.empty() && is_on(o.is_first) &&
            o.table_id.empty())
          o.table_id = o.lob_table_name;
        // The keyword is typed in the user's set; the rows it is looked for
        // in are already in the output set.
        if (is_on(o.is_grep)) {
          typed_grep = o.grep_text;
          CharsetConverter cv;
          convert_charset(cv, g.os_charset, output_charset(o), o.grep_text);
        }
      }
      break;
  }
  rc = run_records(g, o, read, control);
  if (!typed_grep.empty()) o.grep_text = std::move(typed_grep);
  results.dump = dump_info_of(g, o);
  results.rows_written = read.rows_written;
  results.last_table_rows = read.last_row_count;
  results.tables = std::move(read.tables);
  results.written = std::move(read.written);
  results.stopped = read.stopped;
  results.partial = read.partial;
  Status s = run_status(g, o, rc, results);
  if (!s.ok()) {
    out.close();
    // (A batch has kept the files of the tables it converted whole.)
    remove_output_files(o);
    return s;
  }
  if (job == Job::kDescribeTable) {
    results.table = o.table;
    const std::string text = format_table_definition(g, o.table);
    std::fwrite(text.data(), 1, text.size(), g.out_stream);
  }
  s = out.finish();
  if (!s.ok()) {
    remove_output_files(o);
    return s;
  }
  return commit_outputs(g, o);
}

Status run_conversion(const Request& request, Results& results, const RunCallbacks& callbacks) {
  GlobalParams g;
  ConvOptions o;
  init_globals_and_options(g, o);
  o.start_time = start_time_text();
  fill_options(request, g, o);
  RunControl control{callbacks.progress, callbacks.stop};
  Status s;
  if (request.volumes.empty()) {
    fail(g, MessageCode::kBadArgument, "FILE");
    s = last_failure(g);
  } else if (read_dmp_header(g, o) != 0) {
    s = last_failure(g);
  } else {
    s = run_job(g, o, request.job, results, &control);
  }
  forward_messages(g, callbacks.messages);
  return s;
}

std::string format_table_definition(const GlobalParams& g, const TableDefinition& table) {
  std::string text;
  if (!table.columns.empty()) {
    text += user_text(g, {" カラム                        型\n", " COLUMN                        TYPE\n"});
    text += "------------------------------ -----------------\n";
    for (const ColumnDef& c : table.columns) {
      text += ' ';
      append_padded(text, c.name, kNameWidth, g.db_charset);
      if (c.rest.empty()) {
        text += c.type_text;
      } else {
        append_padded(text, c.type_text, kTypeWidth, g.db_charset);
        text += c.rest;
      }
      text += '\n';
    }
    text += '\n';
  }
  if (!table.indexes.empty()) {
    text += user_text(g, {"     索引名                         項目名\n",
                         "     INDEX_NAME                    COLUMN_NAME\n"});
    text += "     ------------------------------ ------------------------------\n";
    for (const IndexDef& index : table.indexes) {
      const std::size_t lines = index.columns.empty() ? 1 : index.columns.size();
      for (std::size_t i = 0; i < lines; ++i) {
        text += "     ";
        append_padded(text, i == 0 ? std::string_view(index.name) : std::string_view(), kNameWidth,
                      g.db_charset);
        if (i < index.columns.size()) text += index.columns[i];
        text += '\n';
      }
    }
  }
  return text;
}

}  // namespace qln
