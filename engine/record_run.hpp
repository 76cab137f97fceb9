#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/table_definition.hpp"
#include "dump/format_reader.hpp"

namespace qln {

// One table (or partition, whose name starts with "+") met in a dump, with
// the rows its data held.
struct TableListEntry {
  std::string owner;
  std::string name;
  std::int64_t rows = 0;
  std::vector<ColumnDef> columns;  // only when the columns were asked for
};

// One table whose rows a conversion wrote, and where.
struct WrittenTable {
  std::string name;
  std::int64_t rows = 0;
  std::string file;  // empty: standard output
};

// What a read hands back besides its result code.
struct ReadResult {
  std::int64_t last_row_count = 0;   // rows of the last selected table
  std::int64_t rows_written = 0;     // rows given to the writers
  std::vector<TableListEntry> tables;
  std::vector<WrittenTable> written;  // in the order converted
  bool stopped = false;              // the stop request ended the read
  bool partial = false;  // tables of a batch were left out (named); the others' files are complete
};

// The reader's progress with what the run adds: the table being read and
// the rows written so far.
struct RunProgress : ReadProgress {
  std::string_view table;
  std::int64_t rows = 0;
};

// What a front end may watch and say during a read.
struct RunControl {
  std::function<void(const RunProgress&)> progress;
  const std::atomic<bool>* stop = nullptr;
};

// The conversion run as the records describe it, for o.read_step: 0
// converts rows, 1 finds the selected table and fills o.table (with its
// indexes), 2 prints the table list to g.out_stream, 3 collects the table
// list with columns. o.table_id names the table ("OWNER.NAME" in a full
// export, "+NAME" a partition); none and o.is_first: the first one. The dump is read by
// the format reader of o.dump_type. Returns 0 (with g.zulcode 3103, not yet
// reported, when the selected table is not in the dump), -1 after a
// reported failure, -11 when an output file could not be opened; a stop
// request ends it with -1 and message 3901, the table files it opened gone.
int run_records(GlobalParams& g, ConvOptions& o, ReadResult& result,
                const RunControl* control = nullptr);
int run_records(GlobalParams& g, ConvOptions& o);

// The dump's description as the header reader left it in the records.
DumpInfo dump_info_of(const GlobalParams& g, const ConvOptions& o);

}  // namespace qln
