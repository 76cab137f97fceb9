#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/table_definition.hpp"

namespace qln {

// Oracle's internal type numbers as a Data Pump table description gives them.
enum OracleTypeNum : int {
  kOraVarchar2 = 1,
  kOraNumber = 2,
  kOraLong = 8,
  kOraDate = 12,
  kOraRaw = 23,
  kOraLongRaw = 24,
  kOraXmlType = 58,
  kOraRowid = 69,
  kOraChar = 96,
  kOraBinaryFloat = 100,
  kOraBinaryDouble = 101,
  kOraClob = 112,
  kOraBlob = 113,
  kOraBfile = 114,
  kOraJson = 119,
  kOraObject = 121,
  kOraNestedTable = 122,
  kOraVarray = 123,
  kOraTimestamp = 180,
  kOraTimestampTz = 181,
  kOraIntervalYm = 182,
  kOraIntervalDs = 183,
  kOraUrowid = 208,
  kOraTimestampLtz = 231,
  kOraBoolean = 252,
};

// One COL_LIST_ITEM of a table description.
struct DataPumpColumn {
  std::string name;
  int type_num = 0;
  int col_num = 0;
  int segcol = 0;     // position in the stored row; 0: not stored
  std::uint64_t property = 0;
  int charset_form = 0;  // 2: national character set
  int length = 0;
  int char_length = 0;
  int precision = -1;  // -1: not given
  int scale = -1;
  bool not_null = false;
  bool lob_stored = false;  // its value comes with the large objects
};

// A table as one data segment's XML describes it, and how the values of
// its rows map to the columns shown.
struct DataPumpTable {
  std::string owner;
  std::string name;
  std::string charset;   // CHARSET, e.g. AL32UTF8
  std::string ncharset;
  std::string db_timezone;
  std::vector<DataPumpColumn> columns;  // as the description lists them
  TableDefinition definition;           // the columns shown, in column order
  std::vector<std::string> sql_types;   // per definition column: its type in CREATE TABLE
  // Per value of a stored row, in the order values arrive: the definition
  // column it fills, or -1 for a value that is passed over.
  std::vector<int> value_column;
  std::vector<std::uint8_t> value_is_lob;
  // Values that may follow the listed ones (XMLTYPE storage) and are passed over.
  int extra_values = 0;
  bool encrypted = false;   // an ENCRYPT... element with a value other than 0
};

// Reads the STRMTABLE_T description of one data segment (the XML without
// its prefix), or a TABLE_T description the master table keeps. False, with `why` set, when the text is no usable
// description: damaged XML, no owner or name, a name over 128 bytes, no
// stored column, a segment column number given twice, more columns than a
// table may have.
bool parse_table_metadata(std::string_view xml, DataPumpTable& out, std::string& why);

// CREATE TABLE "OWNER"."NAME" ( "COL" TYPE [NOT NULL ENABLE], ... ) from the
// description, with Oracle's own type names.
std::string create_table_statement(const DataPumpTable& table);

}  // namespace qln
