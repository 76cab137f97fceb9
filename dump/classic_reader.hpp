#pragma once
#include "core/global_params.hpp"
#include "dump/format_reader.hpp"

namespace qln {

// The reader of classic export dumps (conventional and direct path, one or
// more volumes): a stream of SQL statements, each table's definition
// followed by its rows. Reports through `g`.
class ClassicReader final : public FormatReader {
 public:
  ClassicReader(GlobalParams& g, DumpInfo info, ReadSettings settings)
      : g_(g), info_(std::move(info)), settings_(settings) {}

  const DumpInfo& info() const noexcept override { return info_; }
  Status read(DumpVisitor& visitor) override;

 private:
  GlobalParams& g_;
  DumpInfo info_;
  ReadSettings settings_;
};

}  // namespace qln
