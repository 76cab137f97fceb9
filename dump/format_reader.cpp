#include "dump/format_reader.hpp"

#include "dump/classic_reader.hpp"
#include "dump/datapump_reader.hpp"

namespace qln {

bool has_format_reader(DumpKind kind) noexcept {
  return kind == DumpKind::kConventional || kind == DumpKind::kDirect || kind == DumpKind::kUnknown ||
         kind == DumpKind::kDataPump;
}

std::unique_ptr<FormatReader> make_format_reader(GlobalParams& g, const DumpInfo& info,
                                                 const ReadSettings& settings) {
  switch (info.kind) {
    // A classic header without a date leaves the kind unknown.
    case DumpKind::kUnknown:
    case DumpKind::kConventional:
    case DumpKind::kDirect:
      return std::make_unique<ClassicReader>(g, info, settings);
    case DumpKind::kDataPump:
      return std::make_unique<DataPumpReader>(g, info, settings);
    default:
      return nullptr;
  }
}

}  // namespace qln
