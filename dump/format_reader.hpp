#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/global_params.hpp"
#include "core/status.hpp"
#include "core/table_definition.hpp"

namespace qln {

// A format reader knows the bytes and the structure of one kind of dump. It
// walks the dump once per read() and hands what it meets to a DumpVisitor,
// which the conversion run implements: the reader never decides what is
// converted, nor where it goes, and includes nothing of the writers.

enum class DumpKind : std::int32_t { kUnknown = -1, kConventional = 0, kDirect = 1, kDataPump = 2 };
enum class ExportMode : std::int32_t { kUnknown = -1, kTables = 0, kUsers = 1, kFull = 2 };

// What the header of the first volume says, and the volumes themselves.
struct DumpInfo {
  DumpKind kind = DumpKind::kUnknown;
  ExportMode mode = ExportMode::kUnknown;
  int version = 10;                 // major version of the export tool
  std::string version_text;         // as the header writes it
  std::string user;                 // the exporting user (owner in a user export)
  std::string date;
  std::int32_t db_charset = kCharsetUnknown;
  std::int32_t nls_charset = kCharsetUnknown;
  std::vector<std::string> volumes;         // the files, read as one dump
  std::vector<std::int64_t> volume_sizes;   // bytes of each volume
  std::int64_t total_size = 0;              // bytes of all volumes
};

// What a read needs besides the dump itself.
struct ReadSettings {
  int raw_length = 20;  // bytes kept of a LONG RAW value
};

// A table met in the dump, or one partition of the table met last.
struct TableInfo {
  std::string_view owner;
  std::string_view name;
  std::string_view partition;         // empty for the table itself
  const TableDefinition* definition;  // nullptr when it could not be read
};

// How the rows of one rows block lie: per value of the data, the table
// column it belongs to. Empty: one for one with the definition's columns.
// `placed` false: the data name a column the table lacks; asking for such
// rows makes the reader report the block as damaged.
struct RowLayout {
  std::span<const int> table_column;
  bool placed = true;
};

// Rows as framed raw values: per value a 16-bit little-endian length and
// that many bytes, a NULL the length 0xFFFE alone (the framing of
// RowBuffer). `ends[i]` is the end of row i in `bytes`; `begins[i]` its
// start, or, when `begins` is empty, the end of the row before (rows read
// in place keep the dump's marks between them).
struct RowBatch {
  std::span<const unsigned char> bytes;
  std::span<const std::size_t> ends;
  int values_per_row = 0;
  std::span<const std::size_t> begins;

  std::size_t size() const noexcept { return ends.size(); }
  std::size_t begin(std::size_t i) const noexcept {
    if (!begins.empty()) return begins[i];
    return i == 0 ? 0 : ends[i - 1];
  }
  std::span<const unsigned char> row(std::size_t i) const noexcept {
    const std::size_t b = begin(i);
    return bytes.subspan(b, ends[i] - b);
  }
};

// How a rows block ended: at its end mark, or cut by damage (the reader has
// reported why, and the read ends with a failure after this call).
struct TableEnd {
  std::int64_t rows = 0;  // rows read of this block, delivered or not
  bool complete = true;
};

// Bytes read so far over all volumes, and the volume being read (0-based).
struct ReadProgress {
  std::int64_t bytes_read = 0;
  std::int64_t total_bytes = 0;
  int volume = 0;
};

// What the visitor wants next. A visitor that failed keeps its failure
// itself and answers kStop.
enum class Walk : std::uint8_t {
  kContinue,  // on_table: deliver this table's rows; elsewhere: go on
  kSkipRows,  // pass over the rows (still counted) up to the next table
  kStop,      // end the read now, cleanly (read() then returns ok)
};

// After a piece of a stored text: more of it wanted, it ended, or stop.
enum class TextWalk : std::uint8_t { kMore, kEnded, kStop };

// Large-object values of the row handed over last, in chunks. A reader
// calls wants() before it copies a chunk; end_row() after the row's last
// large-object entry (also when no chunk was wanted).
class LobSink {
 public:
  virtual ~LobSink() = default;
  virtual bool wants(int table_column) const noexcept = 0;
  [[nodiscard]] virtual Status chunk(int table_column, std::span<const std::uint8_t> bytes) = 0;
  [[nodiscard]] virtual Status end_row() = 0;
};

// Implemented by the conversion run. Calls come in dump order on the thread
// that called read().
class DumpVisitor {
 public:
  virtual ~DumpVisitor() = default;

  // A table (or partition) begins; its rows, if any, come after. kContinue
  // asks for them, kSkipRows passes them over, kStop ends the read.
  virtual Walk on_table(const TableInfo& table) = 0;
  // An index of the table begun last.
  virtual Walk on_index(const IndexDef&) { return Walk::kContinue; }

  // A rows block of the table (or partition) begun last starts. kSkipRows:
  // pass them over after all. A reader that cannot place the data's
  // columns among the table's reports the block as cut.
  virtual Walk on_rows_begin(const RowLayout&) { return Walk::kContinue; }
  // Rows asked for. A table with large-object or LONG columns comes one row
  // per batch, its chunks go to lob_sink() before the next batch (and the
  // sink's end_row); other tables come many rows per batch, without sink
  // calls. kSkipRows
  // passes over the rest of the block; kStop ends the read after the row's
  // large objects.
  virtual Walk on_rows(const RowBatch& rows) = 0;
  virtual void on_table_end(const TableEnd&) {}
  virtual LobSink* lob_sink() { return nullptr; }

  // Object definitions for DDL output. A classic dump is a stream of SQL
  // statements: each one goes to on_statement when wants_statements(); true
  // from it means the stored text after the statement (view, package or
  // constraint text) is wanted, and the reader hands it to on_stored_text
  // piece by piece: `used` takes how many bytes belong to the text.
  // on_stored_text_end: the data ended inside a text. A reader of another
  // format hands its objects as CREATE statements composed from its
  // metadata (no stored text follows them).
  virtual bool wants_statements() const { return false; }
  virtual bool on_statement(std::string_view) { return false; }
  virtual TextWalk on_stored_text(std::span<const unsigned char> bytes, std::size_t& used) {
    used = bytes.size();
    return TextWalk::kEnded;
  }
  virtual void on_stored_text_end() {}

  // Called when at least a block of bytes has been read since the last
  // call, and between tables.
  virtual void on_progress(const ReadProgress&) {}
  // A stop request, checked between statements/tables and between row
  // batches; a reader that sees it ends the read at once and returns
  // Status::failure(MessageCode::kStopped) without reporting it (the run
  // does). on_rows ending the read with kStop is a clean end instead.
  virtual bool stop_requested() const { return false; }
};

class FormatReader {
 public:
  virtual ~FormatReader() = default;
  virtual const DumpInfo& info() const noexcept = 0;
  // One walk through the dump; may be called again for another walk.
  // Failures of the dump (open, format, damage) are reported through the
  // reporting record before the Status returns with their code.
  [[nodiscard]] virtual Status read(DumpVisitor& visitor) = 0;
};

// Whether this build has a reader for dumps of `kind`.
bool has_format_reader(DumpKind kind) noexcept;

// The reader for the dump `info` describes (kind chosen from its header);
// nullptr for a kind no reader handles. `g` is where the reader reports.
std::unique_ptr<FormatReader> make_format_reader(GlobalParams& g, const DumpInfo& info,
                                                 const ReadSettings& settings);

}  // namespace qln
