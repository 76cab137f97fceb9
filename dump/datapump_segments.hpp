#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dump/dump_file.hpp"

namespace qln {

// One table data segment of a Data Pump file: a block beginning
// ff ff 24 24, the table's XML description, then its rows.
struct DataPumpSegment {
  int volume = 0;
  std::int64_t block = 0;        // file offset of the segment's first block
  std::int64_t xml_offset = 0;   // of the XML text, after its 2-byte prefix
  std::int64_t xml_length = 0;
  std::int64_t rows_offset = 0;
  std::int64_t rows_length = -1;  // -1: not given; rows end where no row starts
  bool cut = false;  // the file ends inside the description or the rows
};

// The largest XML description read (real ones are tens of KB).
inline constexpr std::int64_t kMaxDpXmlLength = std::int64_t{16} << 20;

// Finds the data segments of one file, block by block from block 1. A block
// that begins with the mark but whose first pair does not lead to "<?xml"
// (such as a header copy) is no segment. A segment whose length is given
// is passed over whole; otherwise the search goes on after its XML. Stops
// after `limit` segments. -1 on a read failure.
int find_datapump_segments(const DumpFile& file, int volume, std::vector<DataPumpSegment>& out,
                           std::size_t limit = SIZE_MAX);

// Reads a segment's XML text. False when it cannot be read whole.
bool read_segment_xml(const DumpFile& file, const DataPumpSegment& s, std::string& xml);

}  // namespace qln
