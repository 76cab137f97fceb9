#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qln {

// The SQL dialects INSERT statements are written for (DBMS=).
enum Dbms : std::int32_t {
  kDbmsOracle = 0,
  kDbmsDb2 = 3,
  kDbmsPostgres = 4,
  kDbmsMysql = 5,
  kDbmsSqlServer = 6,
};

// True when `name` (upper case as Oracle keeps it) is a word the dialect
// refuses as a bare column or table name.
bool is_reserved_word(std::int32_t dbms, std::string_view name);

// True when the name must be quoted in the dialect: a reserved word, a
// lower-case letter (the dialect would fold or lose the case), or a
// character other than a letter, digit or underscore ("$" and "#" are
// plain in Oracle).
bool needs_identifier_quotes(std::int32_t dbms, std::string_view name);

// The longest name the dialect accepts, in bytes (MySQL counts characters).
std::size_t identifier_limit(std::int32_t dbms) noexcept;

// The statement that opens a transaction in the dialect, empty where the
// file needs none (Oracle and DB2 open one with the first statement).
std::string_view begin_transaction(std::int32_t dbms) noexcept;

}  // namespace qln
