// How a column of a written dump is declared and described to the reader:
// its descriptor (type code, length, character set) and the form of its values.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "dumpwriter/dump_options.hpp"

namespace qln::dumpwriter {

struct ColumnSpec {
  std::string name;
  // Type as CREATE TABLE shows it: "NUMBER(10, 2)", "VARCHAR2(20)", "CHAR(3)",
  // "NCHAR(2)", "NVARCHAR2(10)", "FLOAT(126)", "DATE", "TIMESTAMP (6)", "RAW(16)",
  // "LONG", "LONG RAW", "CLOB", "BLOB", "NCLOB", "ROWID", or an object type
  // such as "\"MDSYS\".\"SDO_GEOMETRY\"".
  std::string type;
  bool not_null = false;
  std::string default_text;  // written as DEFAULT <text> when not empty
  int oracle_type = 0;       // descriptor type code; 0 = derived from type
  int max_length = -1;       // descriptor length; -1 = derived from type

  ColumnSpec() = default;
  ColumnSpec(std::string n, std::string t, bool nn = false)
      : name(std::move(n)), type(std::move(t)), not_null(nn) {}
};

// How a column is written: its descriptor and the form its values take.
enum class ValueForm : std::uint8_t {
  text, ntext, number, date, timestamp, raw, long_text, long_raw,
  clob, nclob, blob, rowid, object, other
};

struct ColumnLayout {
  ValueForm form = ValueForm::other;
  std::uint8_t oracle_type = 0;   // descriptor byte 0
  std::uint16_t max_length = 0;   // descriptor bytes 2-3
  std::uint16_t charset_id = 0;   // only when has_charset
  std::uint16_t charset_form = 0; // 1 database, 2 national
  bool has_charset = false;       // descriptor carries 4 more bytes
  std::uint32_t declared_length = 0;  // CHAR/NCHAR length in characters (padding)
  std::string type_owner;         // object types: the post-descriptor entry
  std::string type_name;
  bool is_lob() const { return form == ValueForm::clob || form == ValueForm::nclob || form == ValueForm::blob; }
  // Large-object and object-type columns make the descriptor block carry
  // per-column name entries.
  bool needs_entries() const { return is_lob() || form == ValueForm::object; }
};

// Throws DumpWriteError for a type text it cannot place.
ColumnLayout describe_column(const ColumnSpec& column, const DumpOptions& options);

}  // namespace qln::dumpwriter
