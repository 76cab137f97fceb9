#pragma once
#include "core/global_params.hpp"
#include "dump/format_reader.hpp"

namespace qln {

// The reader of Data Pump dumps (one or more files of one export job): the
// table data segments are found by the file's structure, each table's
// description is read from its XML, and a table's segments (partitions)
// are handed over together, in file order, whatever lies between them.
// The job's own master table is read for the partitions and row counts it
// records, never handed over. Reports through `g`.
class DataPumpReader final : public FormatReader {
 public:
  DataPumpReader(GlobalParams& g, DumpInfo info, ReadSettings settings)
      : g_(g), info_(std::move(info)), settings_(settings) {}

  const DumpInfo& info() const noexcept override { return info_; }
  Status read(DumpVisitor& visitor) override;

 private:
  GlobalParams& g_;
  DumpInfo info_;
  ReadSettings settings_;
};

}  // namespace qln
