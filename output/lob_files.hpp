#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "core/table_definition.hpp"
#include "values/charset.hpp"
#include "values/value_format.hpp"

namespace qln {

// Binary column output (output_mode 40): the value of one large-object
// column is written to files, one file per row, named after another
// column's value: o.lob_dir + o.lob_fname1 + value + o.lob_fname2.

// Takes the file-name pattern IMG_%ID%.jpg apart into o.lob_fname1 ("IMG_"),
// o.lob_name_col ("ID") and o.lob_fname2 (".jpg"); a pattern without "%"
// leaves all three empty (files are named after the first column). 0, or -1
// when the column name is longer than a name may be.
int split_lob_pattern(GlobalParams& g, ConvOptions& o, std::string_view pattern);

// Whether a column of this type has its value in the row's large-object
// section (the only columns whose values can go to files).
constexpr bool is_lob_section_type(std::int32_t t) noexcept {
  return t == kColBlob || t == kColClob || t == kColNclob;
}

// Character sets whose CLOB values the database keeps as UTF-16.
inline bool varying_width(int charset) noexcept {
  return charset == kCharsetSjis || charset == kCharsetEucJp || charset == kCharsetUtf8 ||
         is_multibyte_set(charset);
}

// The set a CLOB or NCLOB is stored in: UTF-16 for a varying-width set (the
// national UTF8 too), else the column's own set.
inline int stored_lob_charset(std::int32_t type, int db_charset, int nls_charset) noexcept {
  const int set = type == kColNclob ? nls_charset : db_charset;
  return varying_width(set) || (type == kColNclob && !has_conversion(set)) ? kCharsetUtf16 : set;
}

// Finds the target column o.lob_target_col_name and the naming column
// o.lob_name_col in `table` (named `table_name`) when the run writes column
// files and the table is o.lob_table_name (or that is empty).
// `eligible_count` receives the number of large-object-section columns,
// `target_pos` the target's position among them (-1 when none);
// o.lob_name_col_idx the naming column's index. 0, or -1 after message 3113
// (naming column missing, or the named table's target is no large-object
// column).
int find_lob_columns(GlobalParams& g, ConvOptions& o, const TableDefinition& table,
                     std::string_view table_name, int& eligible_count, int& target_pos);

// The file path of the current row: the naming column's value text (the
// first column's when o.lob_name_col_idx is not a column), blanks trimmed,
// with path separators and ".." replaced so the file stays inside
// o.lob_dir. -1 when the path would be longer than kMaxPathLen bytes.
int make_lob_path(const ConvOptions& o, const RowValues& row, std::string& path);

// The per-read state of binary column output. The reader calls begin_table
// at each selected table's set-up, begin_row after handing a row over, then
// write_chunk for each chunk of each large-object entry of that row (with
// the table column the entry belongs to), end_row after the row's
// large-object section, and finish at the end of the read.
class LobFileWriter {
 public:
  // Creates the file of one row for writing (nullptr when it cannot): the
  // run opens the files, the writer only names and fills them.
  using FileOpener = std::function<std::FILE*(const std::string& path)>;

  explicit LobFileWriter(FileOpener opener) : open_(std::move(opener)) {}
  LobFileWriter(const LobFileWriter&) = delete;
  LobFileWriter& operator=(const LobFileWriter&) = delete;

  // 0, or -1 after message 3113 (see find_lob_columns).
  int begin_table(GlobalParams& g, ConvOptions& o, const TableDefinition& table);

  // A table that is not set up for column files (rows of other tables
  // never reach a file).
  void clear_table() noexcept {
    target_column_ = -1;
    row_write_ = false;
  }

  // The table column whose values go to files, -1 for none.
  int target_column() const noexcept { return target_column_; }
  // Whether chunks of `column` are wanted for the current row.
  bool wants(int column) const noexcept { return row_write_ && column == target_column_; }

  // `write`: rows are being converted and the row was not rejected.
  // 0, or -1 after 3131 when the path cannot be built.
  int begin_row(GlobalParams& g, const ConvOptions& o, const RowValues& row, bool write);

  // One chunk of the entry of `column` (an empty chunk for an empty value
  // still creates the file). The row's first chunk creates the file, later
  // ones append. 0, or -1 after 3131 / 3133.
  int write_chunk(GlobalParams& g, int column, std::span<const std::uint8_t> bytes);

  // Completes the row's file. 0, or -1 after 3133.
  int end_row(GlobalParams& g);

  bool any_written() const noexcept { return written_; }
  const std::string& row_path() const noexcept { return path_; }

  // End of the read: closes an open file; in column-file output when no
  // table had the target column, message 3113 with o.lob_target_col_name and -1.
  int finish(GlobalParams& g, const ConvOptions& o);

 private:
  struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
  };
  int put(GlobalParams& g, std::string_view bytes);
  int close_file(GlobalParams& g);

  FileOpener open_;
  int target_column_ = -1;
  int target_pos_ = -1;
  int from_charset_ = kCharsetUnknown;  // text large objects: stored set
  int to_charset_ = kCharsetUnknown;    // -1: bytes as stored
  bool row_write_ = false;
  bool written_ = false;
  bool target_found_ = false;
  std::string path_;
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::string pending_;  // bytes of a character cut by the chunk end
  std::string text_;     // conversion scratch
  CharsetConverter converter_;
};

}  // namespace qln
