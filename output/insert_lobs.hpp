#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/table_definition.hpp"
#include "values/charset.hpp"
#include "values/value_format.hpp"

namespace qln {

// The most bytes one large-object value may take in an INSERT statement;
// a larger value is written as NULL with a warning (3128) naming its column.
inline constexpr std::size_t kMaxInsertLob = 16u << 20;
// The most bytes of LONG RAW an Oracle script can carry.
inline constexpr std::size_t kMaxOracleLongRaw = 32760;

// The large objects and long values of the row being written as INSERT: the
// reader hands their chunks with the row, they are gathered here (each bounded by
// kMaxInsertLob) and put into the row's values before it is written.
class InsertLobs {
 public:
  // Set-up for a table; active() says whether it has large-object, LONG or
  // LONG RAW columns.
  void begin_table(const GlobalParams& g, const ConvOptions& o, const TableDefinition& table);
  bool active() const noexcept { return !columns_.empty(); }
  bool wants(int column) const noexcept;
  void chunk(int column, std::span<const std::uint8_t> bytes);
  // Puts the gathered values into `row` (CLOB and NCLOB as text in the
  // output set, BLOB as "0x" and hex digits) and starts the next row. A
  // value over the bound becomes NULL, warned once per column.
  void fill(GlobalParams& g, const TableDefinition& table, RowValues& row);
  // Drops what was gathered for a row that is not written.
  void skip_row() noexcept;

 private:
  struct Column {
    int index = 0;
    int from = kCharsetUnknown;  // text: the stored set
    int to = kCharsetUnknown;
    bool binary = false;      // BLOB, LONG RAW: written as hex digits
    bool long_value = false;  // LONG, LONG RAW: the row holds their first bytes
    std::size_t bound = kMaxInsertLob;  // bytes gathered at most
    std::string bytes;
    bool seen = false;
    bool over = false;
    bool warned = false;
  };
  Column* find(int column) noexcept;
  std::vector<Column> columns_;
  CharsetConverter converter_;
};

}  // namespace qln
