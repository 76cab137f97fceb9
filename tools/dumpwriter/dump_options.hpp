// Settings of one written dump and the file header they produce.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qln::dumpwriter {

// Misuse of the writer, values that do not fit their column, I/O failures.
class DumpWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class ExportMode { table = 0, user = 1, full = 2 };

struct DumpOptions {
  std::string version = "V12.01.00";  // the header's version field, after "EXPORT:"
  std::string user = "QUILLON";       // exporting user
  ExportMode mode = ExportMode::user;
  std::uint32_t header_len = 8192;    // record length: the stream starts here
  std::uint16_t db_charset_id = 873;      // Oracle id: 873 AL32UTF8, 178 WE8MSWIN1252, 832 JA16SJIS
  std::uint16_t nchar_charset_id = 2000;  // 2000 AL16UTF16, 871 UTF8
  bool direct_path = false;
  // Creation time as the header shows it (right-aligned to offset 127).
  std::string date_text = "Mon Dec 7 04:00:00 2026";
  std::string file_label = "expdat.dmp";

  // Largest size of one volume file in bytes, header included; 0 = one file.
  std::uint64_t volume_size = 0;
  // Chunk sizes of chunked LONG / LONG RAW values and of large objects.
  std::uint32_t long_chunk = 4096;
  std::uint32_t lob_chunk = 32768;
  // Pad the last volume with zeros to a whole number of records, as exp does.
  bool pad_last_record = true;
};

// The header_len bytes that start every volume: 0x03, the "EXPORT:" line,
// user, mode, record length, the binary character-set field, the date and
// the file label, zero-filled. Throws DumpWriteError on options
// that do not fit (header_len below 256, over-long texts).
std::string build_header(const DumpOptions& options);

}  // namespace qln::dumpwriter
