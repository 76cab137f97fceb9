#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/message_sink.hpp"
#include "core/status.hpp"
#include "core/table_definition.hpp"
#include "dump/format_reader.hpp"
#include "engine/record_run.hpp"

namespace qln {

// What a front end asks of the engine: one job on one dump.
// kTableColumns lists every table with its columns and prints nothing (the
// windowed program's lists); kReadHeader reads the header only.
enum class Job : std::uint8_t { kConvert, kListTables, kDescribeTable, kTableColumns, kReadHeader };
enum class OutputKind : std::uint8_t { kCsv, kCsvBatch, kInsert, kDdl, kLobFiles };
enum class SqlDialect : std::int32_t { kOracle = 0, kDb2 = 3, kPostgreSql = 4, kMySql = 5, kSqlServer = 6 };

// Which table a job is about.
struct TableSelector {
  enum class Kind : std::uint8_t { kFirst, kNamed, kPartition };
  Kind kind = Kind::kFirst;
  std::string owner;  // kNamed in a full export; empty: any owner
  std::string name;   // the table, or the partition

  static TableSelector first() { return {}; }
  static TableSelector named(std::string name, std::string owner = {}) {
    return {Kind::kNamed, std::move(owner), std::move(name)};
  }
  static TableSelector partition(std::string name) { return {Kind::kPartition, {}, std::move(name)}; }
  // As a user writes it: NAME, OWNER.NAME or +PARTITION (empty for the first).
  std::string text() const;
};

struct LobRequest {
  std::string table;         // empty: the selected table
  std::string column;        // the large-object column whose values go to files
  std::string dir;           // folder of the files
  std::string file_pattern;  // e.g. "IMG_%ID%.jpg"; empty: named after the first column
};

// A table's own WHERE condition (the text after WHERE). A selected table is
// converted; an unselected one keeps its condition for when it is.
struct TableWhere {
  std::string table;
  std::string where;
  bool selected = true;
};

struct Request {
  std::vector<std::string> volumes;  // the dump's files, read as one
  Job job = Job::kConvert;
  TableSelector table;
  OutputKind output = OutputKind::kCsv;
  SqlDialect dialect = SqlDialect::kOracle;
  std::uint8_t ddl_kinds = kDdlAll;
  std::string out_file;  // empty: standard output
  std::string out_dir;   // CSV_BATCH: the folder of the table files (empty: the current one)
  bool header = false;
  bool bom = true;
  bool quote = false;
  bool trim = false;
  char delimiter = ',';
  std::int32_t max_record = -1;  // rows per table; -1 no limit
  bool preview = false;          // the first rows of every table
  std::string grep;              // rows holding this text; empty: every row
  std::vector<TableWhere> conditions;  // per-table WHERE; they name the tables converted
  std::string query;             // a whole SELECT: its table, its columns, its WHERE
  std::string columns;           // "A,B" chooses, "-C" leaves out
  std::string date_format;       // empty: the default
  int out_charset = kCharsetUtf8;
  int db_charset = kCharsetUnknown;  // overrides the dump's declared set (an Oracle set's id)
  int user_charset = kCharsetUtf8;  // messages and file names
  Language language = Language::kJapanese;  // of the messages; front ends ask detect_language()
  RawFormat raw_format = kRawHex;
  int raw_length = 20;
  int threads = 0;  // rows decoded and formatted on at most this many threads; 0 = all cores
  LobRequest lob;
};

struct Results {
  DumpInfo dump;
  std::int64_t rows_written = 0;
  std::int64_t last_table_rows = 0;
  std::vector<TableListEntry> tables;  // every table and partition met
  std::vector<WrittenTable> written;   // kConvert: the tables written, with their rows
  TableDefinition table;               // kDescribeTable: with its indexes
  bool stopped = false;
  bool abort = false;  // an output could not be opened: end the program
  bool partial = false;  // CSV batch: tables were left out (named); the others' files were written
};

struct RunCallbacks {
  MessageSink* messages = nullptr;
  std::function<void(const RunProgress&)> progress;  // every block read
  const std::atomic<bool>* stop = nullptr;             // set to stop the read
};

// Runs one request from start to end: reads the dump's header, converts,
// writes its outputs (removed again when the run fails or is stopped), and
// hands every message to the sink.
[[nodiscard]] Status run_conversion(const Request& request, Results& results,
                                    const RunCallbacks& callbacks = {});

// The same job on records a front end filled already (the command-line
// program's options): the header was read, messages stay queued in `g`.
// Opens OUT_FILE (o.out_file) when the job writes one.
[[nodiscard]] Status run_job(GlobalParams& g, ConvOptions& o, Job job, Results& results,
                             const RunControl* control = nullptr);

// The description of one table as LIST=Y TABLE=X prints it: its columns with
// their types (and constraint texts), then its indexes with their columns.
// Labels are given in the user's character set.
std::string format_table_definition(const GlobalParams& g, const TableDefinition& table);

}  // namespace qln
