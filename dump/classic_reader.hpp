#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/table_definition.hpp"

namespace qln {

// One table (or partition, whose name starts with "+") met in a dump, with
// the rows its data held.
struct TableListEntry {
  std::string owner;
  std::string name;
  std::int64_t rows = 0;
  std::vector<ColumnDef> columns;  // only when the columns were asked for
};

// What a classic read hands back besides its result code.
struct ClassicReadResult {
  std::int64_t last_row_count = 0;   // rows of the last selected table
  std::int64_t rows_written = 0;     // rows given to the writers
  std::vector<TableListEntry> tables;
};

// Reads a classic export dump (o.exp_fname, every volume in turn) for
// o.read_step: 0 converts rows, 1 finds o.table_id and fills o.table (with
// its indexes), 2 prints the table list to g.out_stream, 3 collects the
// table list with columns. o.table_id names the table ("DUAL": the first
// one, "OWNER.NAME" in a full export, "+NAME" a partition). Returns 0 (with
// g.zulcode 3103, not yet reported, when the selected table is not in the
// dump), -1 after a reported failure (a per-table entry whose table is
// missing included), or -11 when an output file could not be opened.
int read_dmp(GlobalParams& g, ConvOptions& o, ClassicReadResult& result);
int read_dmp(GlobalParams& g, ConvOptions& o);

}  // namespace qln
