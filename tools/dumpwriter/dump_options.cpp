#include "dumpwriter/dump_options.hpp"

namespace qln::dumpwriter {

namespace {

constexpr std::size_t kDateEnd = 128;  // the date text ends just before offset 128
constexpr std::size_t kLabelAt = 128;

const char* mode_word(ExportMode mode) {
  switch (mode) {
    case ExportMode::table: return "RTABLES";
    case ExportMode::user: return "RUSERS";
    case ExportMode::full: return "RENTIRE";
  }
  return "RUSERS";
}

bool has_line_break(const std::string& s) {
  return s.find('\n') != std::string::npos || s.find('\0') != std::string::npos;
}

}  // namespace

std::string build_header(const DumpOptions& o) {
  if (o.header_len < 256) throw DumpWriteError("header length below 256");
  if (has_line_break(o.version) || has_line_break(o.user) || has_line_break(o.date_text) ||
      has_line_break(o.file_label))
    throw DumpWriteError("header text with a line feed or NUL");
  if (o.date_text.empty() || o.date_text.back() == ' ' || o.date_text.find(' ') == std::string::npos)
    throw DumpWriteError("header date must hold a blank and end with a non-blank");

  std::string h;
  h.reserve(o.header_len);
  h += std::string("\x03\x00\x01", 3);
  if (o.direct_path) h += "D\n";
  h += "EXPORT:" + o.version + "\n";
  h += "D" + o.user + "\n";
  h += std::string(mode_word(o.mode)) + "\n";
  h += std::to_string(o.header_len) + "\n";
  h += "0\n72\n0\n";
  // Character-set field: the database id at index 2-3, the national id at 4-5.
  const char charsets[] = {0x00, 0x01,
                           static_cast<char>(o.db_charset_id >> 8), static_cast<char>(o.db_charset_id & 0xFF),
                           static_cast<char>(o.nchar_charset_id >> 8), static_cast<char>(o.nchar_charset_id & 0xFF),
                           0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0A, 0x00};
  h.append(charsets, sizeof charsets);
  if (h.size() + 1 + o.date_text.size() > kDateEnd)
    throw DumpWriteError("header fields too long for the date position");
  h.append(kDateEnd - o.date_text.size() - h.size(), ' ');
  h += o.date_text;
  if (kLabelAt + o.file_label.size() >= o.header_len) throw DumpWriteError("file label too long");
  h += o.file_label;
  h.resize(o.header_len, '\0');
  return h;
}

}  // namespace qln::dumpwriter
