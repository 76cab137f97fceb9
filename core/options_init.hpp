#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "core/conv_options.hpp"
#include "core/global_params.hpp"

namespace qln {

struct SqlAnalysisLimits {
  std::int32_t sql_limit = 30;
  std::int32_t cond_limit = 1000;
  std::int32_t sql_capacity = 0;
  std::int32_t cond_capacity = 0;
};

inline constexpr std::string_view kSettingsFileName = "Quillon.ini";

// Start-up defaults of both records; the settings file is the bare
// "Quillon.ini" (the command-line program).
int init_globals_and_options(GlobalParams& g, ConvOptions& o);
// The same with the settings file in `settings_dir` (the windowed program
// passes its executable's folder); an empty folder means the bare name.
int init_globals_and_options(GlobalParams& g, ConvOptions& o, std::string_view settings_dir);

int init_limits(GlobalParams& g, SqlAnalysisLimits& analysis, bool large);
int alloc_work_areas(GlobalParams& g, ConvOptions& o);
void free_work_areas(ConvOptions& o);
int dump_options(const GlobalParams& g, const ConvOptions& o);

// "YYYY/MM/DD HH:MM:SS" of the current local time.
std::string start_time_text();

}  // namespace qln
