#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qln {

// Oracle names may be up to 128 bytes since 12.2; every name field takes that.
inline constexpr std::size_t kMaxNameLen = 128;
inline constexpr int kMaxTableColumns = 1000;
inline constexpr int kMaxIndexes = 50;

// The engine's numbering of column types.
enum ColumnType : std::int32_t {
  kColUnset = 0,
  kColChar = 1,
  kColNchar = 2,
  kColVarchar2 = 3,
  kColNvarchar2 = 4,
  kColNumber = 5,
  kColDate = 6,
  kColTimestamp = 8,
  kColBlob = 9,
  kColClob = 10,
  kColNclob = 11,
  kColLong = 12,
  kColRaw = 13,
  kColLongRaw = 14,
  kColFloat = 15,
  kColTimestampTz = 16,    // TIMESTAMP WITH TIME ZONE
  kColTimestampLtz = 17,   // TIMESTAMP WITH LOCAL TIME ZONE
  kColBinaryFloat = 18,
  kColBinaryDouble = 19,
  kColRowid = 20,
  kColInterval = 21,       // an interval whose form is not known
  kColIntervalYm = 22,     // INTERVAL YEAR TO MONTH
  kColIntervalDs = 23,     // INTERVAL DAY TO SECOND
  kColOther = 99,
};

constexpr bool is_large_object_type(std::int32_t t) noexcept {
  return t == kColBlob || t == kColClob || t == kColNclob || t == kColOther;
}

struct ColumnDef {
  std::string name;
  std::int32_t type = kColUnset;
  std::int32_t length = 0;     // length, or precision of a NUMBER
  std::int32_t scale = 0;
  std::int32_t precision = 0;
  std::string type_text;       // display type such as "VARCHAR2(20)"
  std::string rest;            // what follows the type in the definition
  std::int32_t segment_col = 0;  // Data Pump segment column number
  bool nullable = true;
};

struct IndexDef {
  std::string name;
  std::vector<std::string> columns;
};

// The definition of the table the reader is working on.
struct TableDefinition {
  std::string owner;
  std::string table_name;
  std::vector<ColumnDef> columns;
  std::int32_t lob_count = 0;
  std::vector<IndexDef> indexes;
  // The zone the database keeps WITH LOCAL TIME ZONE values in ("+00:00",
  // "Europe/Paris"); empty where the dump does not say.
  std::string db_timezone;

  void clear() {
    owner.clear();
    table_name.clear();
    columns.clear();
    lob_count = 0;
    indexes.clear();
    db_timezone.clear();
  }
};

}  // namespace qln
