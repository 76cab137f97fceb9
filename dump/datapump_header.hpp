#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace qln {

// Data Pump files are made of 4096-byte blocks; numbers are big-endian.
inline constexpr std::size_t kDpBlockSize = 4096;

// What block 0 of a Data Pump file says.
struct DataPumpHeader {
  int format = 0;         // 4 for 12.1, 6 for 23.6
  int charset_id = 0;     // Oracle character-set id, 873 = AL32UTF8
  std::string master_owner;  // the export job's master table
  std::string master_name;
  std::string charset_name;
  std::string version_text;  // "12.01.00.02.00"
};

// Offsets of block 0.
inline constexpr std::size_t kDpCharsetIdAt = 0x27;
inline constexpr std::size_t kDpMasterAt = 0x43;
inline constexpr std::size_t kDpCharsetNameAt = 0x2A2;
inline constexpr std::size_t kDpVersionAt = 0x358;
inline constexpr std::size_t kDpHeaderTextLen = 0x40;

// Reads block 0; false when it is no Data Pump header (short, no master
// table named as "OWNER"."NAME").
bool parse_datapump_header(std::span<const std::uint8_t> block0, DataPumpHeader& out);

}  // namespace qln
