#pragma once
#include <string>
#include <vector>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"
#include "dump/datapump_dump.hpp"
#include "engine/row_decoder.hpp"

namespace qln::test_support {

// Collects the rows of one table as "v1|v2|..." lines (NULL empty), decoded
// the way the conversion decodes them.
class RowTexts : public DataPumpRowConsumer {
 public:
  RowTexts(GlobalParams& g, const DataPumpTable& table) : g_(g) {
    o_.table = table.definition;
    o_.out_charset = kCharsetUtf8;
  }
  bool rows(std::span<const unsigned char> bytes, std::span<const std::size_t> ends) override {
    std::size_t begin = 0;
    for (std::size_t end : ends) {
      bool rejected = false;
      if (decode_row(g_, o_, bytes.subspan(begin, end - begin), values_, rejected) != 0) {
        lines.push_back("##DECODE##");
      } else {
        std::string line;
        for (int i = 0; i < values_.size(); ++i) {
          if (i > 0) line += '|';
          line += values_[i].text;
        }
        lines.push_back(line);
      }
      begin = end;
    }
    return true;
  }
  std::vector<std::string> lines;

 private:
  GlobalParams& g_;
  ConvOptions o_;
  RowValues values_;
};

inline const DataPumpTableEntry* find_table(const DataPumpDump& d, std::string_view owner, std::string_view name) {
  for (const DataPumpTableEntry& t : d.tables())
    if (t.owner == owner && t.name == name) return &t;
  return nullptr;
}

inline std::size_t table_index(const DataPumpDump& d, const DataPumpTableEntry* t) {
  return static_cast<std::size_t>(t - d.tables().data());
}

}  // namespace qln::test_support
