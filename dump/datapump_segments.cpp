#include "dump/datapump_segments.hpp"

#include <array>
#include <cstring>

#include "dump/datapump_header.hpp"

namespace qln {
namespace {

constexpr std::array<std::uint8_t, 4> kSegmentMark = {0xFF, 0xFF, 0x24, 0x24};
constexpr std::size_t kPairsAt = 6;
constexpr std::size_t kPairSize = 16;

std::uint64_t be64(const std::uint8_t* p) noexcept {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
  return v;
}

std::int64_t align_up(std::int64_t v, std::int64_t to) noexcept { return (v + to - 1) / to * to; }

}  // namespace

int find_datapump_segments(const DumpFile& file, int volume, std::vector<DataPumpSegment>& out,
                           std::size_t limit) {
  const std::int64_t size = file.size();
  if (size < 0) return -1;
  constexpr auto kBlock = static_cast<std::int64_t>(kDpBlockSize);
  std::array<std::uint8_t, kDpBlockSize> block{};
  std::int64_t pos = kBlock;
  const std::size_t first = out.size();
  while (out.size() - first < limit && pos + static_cast<std::int64_t>(kPairsAt + kPairSize) <= size) {
    std::int64_t got = file.read_at(pos, block.data(), 4);
    if (got < 0) return -1;
    if (std::memcmp(block.data(), kSegmentMark.data(), kSegmentMark.size()) != 0) {
      pos += kBlock;
      continue;
    }
    got = file.read_at(pos, block.data(), block.size());
    if (got < 0) return -1;
    const auto have = static_cast<std::size_t>(got);
    // Pair 1: the XML; pair 2: the rows. Offsets count from the block.
    if (have < kPairsAt + 2 * kPairSize) {
      pos += kBlock;
      continue;
    }
    const std::uint64_t xml_len = be64(block.data() + kPairsAt);
    const std::uint64_t xml_off = be64(block.data() + kPairsAt + 8);
    const std::uint64_t rows_len = be64(block.data() + kPairsAt + kPairSize);
    const std::uint64_t rows_off = be64(block.data() + kPairsAt + kPairSize + 8);
    std::array<char, 7> head{};
    bool is_segment = xml_len > 2 && xml_len - 2 <= static_cast<std::uint64_t>(kMaxDpXmlLength) &&
                      xml_off >= kDpBlockSize && xml_off < (std::uint64_t{1} << 40) &&
                      file.read_at(pos + static_cast<std::int64_t>(xml_off), head.data(), head.size()) ==
                          static_cast<std::int64_t>(head.size()) &&
                      std::memcmp(head.data() + 2, "<?xml", 5) == 0;
    if (!is_segment) {
      pos += kBlock;
      continue;
    }
    DataPumpSegment s;
    s.volume = volume;
    s.block = pos;
    s.xml_offset = pos + static_cast<std::int64_t>(xml_off) + 2;
    s.xml_length = static_cast<std::int64_t>(xml_len) - 2;
    const std::int64_t xml_end = s.xml_offset + s.xml_length;
    s.rows_offset = rows_off != 0 && rows_off < (std::uint64_t{1} << 40)
                        ? pos + static_cast<std::int64_t>(rows_off)
                        : align_up(xml_end, 8);
    if (rows_len != 0 && rows_len < (std::uint64_t{1} << 48)) s.rows_length = static_cast<std::int64_t>(rows_len);
    if (s.rows_offset < xml_end) s.rows_offset = align_up(xml_end, 8);
    const std::int64_t rows_end = s.rows_length >= 0 ? s.rows_offset + s.rows_length : s.rows_offset;
    s.cut = xml_end > size || rows_end > size;
    out.push_back(s);
    if (xml_end > size) break;
    // Rows said to run past the end: the search goes on after the XML, so
    // that segments behind a damaged length are still found.
    pos = std::max(pos + kBlock, align_up(s.rows_length >= 0 && !s.cut ? rows_end : xml_end, kBlock));
  }
  return 0;
}

bool read_segment_xml(const DumpFile& file, const DataPumpSegment& s, std::string& xml) {
  if (s.xml_length <= 0 || s.xml_length > kMaxDpXmlLength) return false;
  xml.resize(static_cast<std::size_t>(s.xml_length));
  std::int64_t got = file.read_at(s.xml_offset, xml.data(), xml.size());
  if (got < 0) {
    xml.clear();
    return false;
  }
  xml.resize(static_cast<std::size_t>(got));
  return got == s.xml_length;
}

}  // namespace qln
