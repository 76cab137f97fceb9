#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/global_params.hpp"
#include "dump/datapump_header.hpp"
#include "dump/datapump_metadata.hpp"
#include "dump/datapump_rows.hpp"
#include "dump/datapump_segments.hpp"
#include "dump/dump_file.hpp"

namespace qln {

// Why a table's rows cannot be read.
enum class DataPumpRefusal : std::uint8_t { kNone, kCompressed, kEncrypted, kNoDescription };

// One table of a Data Pump dump: its description (from its data segment,
// or for a table without rows from the master table) and the segments that
// hold its rows (partitions included), in file order.
struct DataPumpTableEntry {
  std::string owner;
  std::string name;
  DataPumpTable table;             // empty columns when nothing describes it
  bool described = false;
  std::vector<std::size_t> segments;  // indices into DataPumpDump::segments()
  std::int64_t master_rows = -1;   // rows the export job counted, -1 unknown
  std::vector<std::string> partitions;  // named by the master table
  DataPumpRefusal refusal = DataPumpRefusal::kNone;
};

// Receives a table's rows in batches of the shared framing.
class DataPumpRowConsumer {
 public:
  virtual ~DataPumpRowConsumer() = default;
  // A segment's rows begin. false: pass them over.
  virtual bool begin_segment(const DataPumpSegment&) { return true; }
  // Rows one after another; `ends[i]` is the end of row i. false: stop the
  // read (cleanly, after the row's large objects). With large objects a
  // batch holds one row, and the row's wanted large-object bytes go to
  // lob_sink() right after. A sink's chunk() false ends the read with -1.
  virtual bool rows(std::span<const unsigned char> bytes, std::span<const std::size_t> ends) = 0;
  virtual DataPumpLobSink* lob_sink() { return nullptr; }
  // After each row's large objects (only when lob_sink() is set). false: a
  // failure the sink has reported; the read ends with -1.
  virtual bool lob_row_done() { return true; }
};

// A Data Pump dump of one or several files. open() reads each file's
// header, finds the table data segments, reads their descriptions and the
// export job's master table; rows are read on demand.
class DataPumpDump {
 public:
  static constexpr std::size_t kBatchRows = 1024;
  static constexpr std::size_t kBatchBytes = 262144;

  // 0, or -1 after a reported failure: 3100 a file that cannot be opened,
  // 3101 a file that is no Data Pump file, 3112 a read failure.
  int open(GlobalParams& g, const std::vector<std::string>& files);

  const DataPumpHeader& header() const noexcept { return header_; }
  const std::vector<DataPumpSegment>& segments() const noexcept { return segments_; }
  // The dump's tables in the order of their first segment, then the tables
  // only the master table names (no rows were written for them). The
  // master table itself is not among them.
  const std::vector<DataPumpTableEntry>& tables() const noexcept { return tables_; }
  bool master_found() const noexcept { return master_found_; }
  // Damage met while opening (a description cut by the end of a file):
  // reported by read_rows of the table, or by report_damage().
  const std::vector<std::string>& damage() const noexcept { return damage_; }

  // Reads every row of table `index`, segment after segment. 1 when the
  // consumer stopped the read, 0 at the end of the rows, -1 after a reported
  // failure: 2009 a compressed or encrypted table whose rows the consumer
  // wants (the dump is fine otherwise), 3112 damaged or cut rows (naming
  // the table and the place).
  // `rows_read` counts the rows framed.
  int read_rows(GlobalParams& g, std::size_t index, DataPumpRowConsumer& consumer,
                std::int64_t& rows_read);

  // Reports damage that belongs to no table's rows (3112 per damaged place).
  int report_damage(GlobalParams& g) const;

 private:
  int read_master(GlobalParams& g, const DataPumpTable& master, std::size_t segment);
  void refuse_unreadable(DataPumpTableEntry& t);
  bool is_described(std::string_view owner, std::string_view name) const;

  std::vector<std::string> files_;
  std::vector<std::unique_ptr<DumpFile>> volumes_;
  DataPumpHeader header_;
  std::vector<DataPumpSegment> segments_;
  std::vector<DataPumpTableEntry> tables_;
  DataPumpTable master_table_;
  std::vector<std::string> damage_;
  bool master_found_ = false;
};

// The table name as messages give it: OWNER.NAME.
std::string table_name_text(const DataPumpTableEntry& t);

}  // namespace qln
