#pragma once
#include "core/conv_options.hpp"
#include "core/global_params.hpp"

namespace qln {

struct SqlAnalysisLimits {
  std::int32_t sql_limit = 30;
  std::int32_t cond_limit = 1000;
  std::int32_t sql_capacity = 0;
  std::int32_t cond_capacity = 0;
};

int init_globals_and_options(GlobalParams& g, ConvOptions& o);
int init_limits(GlobalParams& g, SqlAnalysisLimits& analysis, bool large);
int alloc_work_areas(GlobalParams& g, ConvOptions& o);
void free_work_areas(ConvOptions& o);
int dump_options(const GlobalParams& g, const ConvOptions& o);

}  // namespace qln
