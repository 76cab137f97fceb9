#include "output/lob_files.hpp"

#include "core/ascii.hpp"

#include <cctype>

#include "core/ascii.hpp"
#include "core/messages.hpp"
#include "core/multibyte.hpp"

namespace qln {
namespace {

constexpr int kMsgLobNotFound = 3113;
constexpr int kMsgOpen = 3131;
constexpr int kMsgWrite = 3133;


// The column called `name`: an exact match first, else one that differs
// only in letter case. -1 when there is none.
int column_named(const TableDefinition& table, std::string_view name) {
  if (name.empty()) return -1;
  const int n = static_cast<int>(table.columns.size());
  for (int i = 0; i < n; ++i)
    if (table.columns[static_cast<std::size_t>(i)].name == name) return i;
  for (int i = 0; i < n; ++i)
    if (equals_nocase(table.columns[static_cast<std::size_t>(i)].name, name)) return i;
  return -1;
}

// The value text as a file-name part that cannot leave the folder: path
// separators, the drive colon and ".." become "_".
void append_safe_name(std::string& out, std::string_view text, int charset) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t len = 1 + static_cast<std::size_t>(mb_char_length(charset, c));
    if (len > 1) {
      out.append(text.substr(i, len));
      i += len;
      continue;
    }
    if (c == '/' || c == '\\' || c == ':' || c == 0) {
      out.push_back('_');
    } else if (c == '.' && i + 1 < text.size() && text[i + 1] == '.') {
      out.append("__");
      ++i;
    } else {
      out.push_back(static_cast<char>(c));
    }
    ++i;
  }
}

std::string_view trim_blanks(std::string_view s) noexcept {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

int split_lob_pattern(GlobalParams& g, ConvOptions& o, std::string_view pattern) {
  o.lob_fname1.clear();
  o.lob_fname2.clear();
  o.lob_name_col.clear();
  std::size_t marks[2] = {std::string_view::npos, std::string_view::npos};
  int found = 0;
  for (std::size_t i = 0; i < pattern.size() && found < 2;) {
    const auto c = static_cast<unsigned char>(pattern[i]);
    if (c == '%') marks[found++] = i;
    i += 1 + static_cast<std::size_t>(mb_char_length(g.os_charset, c));
  }
  if (found == 0) return 0;
  const std::size_t name_end = found == 2 ? marks[1] : pattern.size();
  const std::string_view name = pattern.substr(marks[0] + 1, name_end - marks[0] - 1);
  if (name.size() > kMaxNameLen) return -1;
  o.lob_fname1 = std::string(pattern.substr(0, marks[0]));
  o.lob_name_col = std::string(name);
  if (found == 2) o.lob_fname2 = std::string(pattern.substr(marks[1] + 1));
  return 0;
}

int find_lob_columns(GlobalParams& g, ConvOptions& o, const TableDefinition& table,
                     std::string_view table_name, int& eligible_count, int& target_pos) {
  eligible_count = 0;
  target_pos = -1;
  o.lob_name_col_idx = -1;
  if (o.output_mode != kOutLobFiles || o.lob_target_col_name.empty()) return 0;
  const bool named_table = !o.lob_table_name.empty();
  if (named_table && !equals_nocase(o.lob_table_name, table_name)) return 0;

  const int target = column_named(table, o.lob_target_col_name);
  o.lob_name_col_idx = column_named(table, o.lob_name_col);
  const int n = static_cast<int>(table.columns.size());
  for (int i = 0; i < n; ++i) {
    if (!is_lob_section_type(table.columns[static_cast<std::size_t>(i)].type)) continue;
    if (i == target) target_pos = eligible_count;
    ++eligible_count;
  }
  // Only a table that is the one asked for, or that holds the target,
  // must be able to name its files.
  const bool lob_table = named_table || target_pos >= 0;
  if (!o.lob_name_col.empty() && o.lob_name_col_idx < 0 && lob_table)
    return fail(g, kMsgLobNotFound, o.lob_name_col);
  // The target is there but its values are not in the large-object section
  // (LONG RAW, VARCHAR2, ...): nothing of it could reach a file.
  if (named_table && target >= 0 && target_pos < 0)
    return fail(g, kMsgLobNotFound, o.lob_target_col_name);
  return 0;
}

int make_lob_path(const ConvOptions& o, const RowValues& row, std::string& path) {
  int idx = o.lob_name_col_idx;
  if (idx < 0 || idx > kMaxTableColumns) idx = 0;
  std::string_view text;
  if (idx < row.size()) text = trim_blanks(row[idx].view());
  path.clear();
  path += o.lob_dir;
  path += o.lob_fname1;
  append_safe_name(path, text, output_charset(o));
  path += o.lob_fname2;
  return path.size() > kMaxPathLen ? -1 : 0;
}

int LobFileWriter::begin_table(GlobalParams& g, ConvOptions& o, const TableDefinition& table) {
  if (close_file(g) != 0) return -1;
  row_write_ = false;
  target_column_ = -1;
  int count = 0;
  const int rc = find_lob_columns(g, o, table, table.table_name, count, target_pos_);
  o.lob_target_col_idx = target_pos_;
  if (rc != 0) return -1;
  if (target_pos_ < 0) return 0;
  target_found_ = true;
  int seen = 0;
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    if (!is_lob_section_type(table.columns[i].type)) continue;
    if (seen++ == target_pos_) {
      target_column_ = static_cast<int>(i);
      break;
    }
  }
  const std::int32_t type = table.columns[static_cast<std::size_t>(target_column_)].type;
  from_charset_ = kCharsetUnknown;
  to_charset_ = kCharsetUnknown;
  if (type == kColClob || type == kColNclob) {
    to_charset_ = output_charset(o);
    from_charset_ = stored_lob_charset(type, g.db_charset, g.nls_charset);
    // Nothing to convert: the bytes go out as stored.
    if (from_charset_ == to_charset_ || !has_conversion(from_charset_) ||
        !has_conversion(to_charset_))
      to_charset_ = kCharsetUnknown;
  }
  return 0;
}

int LobFileWriter::begin_row(GlobalParams& g, const ConvOptions& o, const RowValues& row,
                             bool write) {
  if (close_file(g) != 0) return -1;
  pending_.clear();
  row_write_ = write && target_column_ >= 0;
  if (!row_write_) return 0;
  if (make_lob_path(o, row, path_) != 0) {
    row_write_ = false;
    return fail(g, kMsgOpen, path_);
  }
  return 0;
}

int LobFileWriter::put(GlobalParams& g, std::string_view bytes) {
  if (bytes.empty()) return 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size())
    return fail(g, kMsgWrite, path_);
  return 0;
}

int LobFileWriter::write_chunk(GlobalParams& g, int column, std::span<const std::uint8_t> bytes) {
  if (!wants(column)) return 0;
  if (!file_) {
    file_.reset(open_ ? open_(path_) : nullptr);
    if (!file_) {
      row_write_ = false;
      return fail(g, kMsgOpen, path_);
    }
    written_ = true;
  }
  const std::string_view chunk(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (to_charset_ == kCharsetUnknown) return put(g, chunk);

  // A character cut by the chunk's end waits for the rest of it.
  text_.assign(pending_);
  text_.append(chunk);
  std::size_t whole = 0;
  while (whole < text_.size()) {
    const std::size_t len =
        1 + static_cast<std::size_t>(mb_char_length(from_charset_, static_cast<unsigned char>(text_[whole])));
    if (whole + len > text_.size()) break;
    whole += len;
  }
  pending_.assign(text_, whole, std::string::npos);
  text_.resize(whole);
  convert_charset(converter_, from_charset_, to_charset_, text_);
  return put(g, text_);
}

int LobFileWriter::close_file(GlobalParams& g) {
  if (!file_) return 0;
  int rc = 0;
  if (!pending_.empty() && to_charset_ != kCharsetUnknown) {
    // An incomplete last character: the converter makes it a replacement.
    text_.assign(pending_);
    pending_.clear();
    convert_charset(converter_, from_charset_, to_charset_, text_);
    rc = put(g, text_);
  }
  std::FILE* f = file_.release();
  if (std::fclose(f) != 0 && rc == 0) rc = fail(g, kMsgWrite, path_);
  return rc;
}

int LobFileWriter::end_row(GlobalParams& g) {
  row_write_ = false;
  const int rc = close_file(g);
  pending_.clear();
  return rc;
}

int LobFileWriter::finish(GlobalParams& g, const ConvOptions& o) {
  row_write_ = false;
  if (close_file(g) != 0) return -1;
  // A table that has the column but no rows gives no files, and no failure.
  if (o.output_mode == kOutLobFiles && !written_ && !target_found_)
    return fail(g, kMsgLobNotFound, o.lob_target_col_name);
  return 0;
}

}  // namespace qln
