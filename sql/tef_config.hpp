#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/global_params.hpp"
#include "core/switch.hpp"

namespace qln {

// The analyser's configuration, initialised before every analysis.
struct TefConfig {
  std::int32_t analysis_mode = 0;
  std::vector<std::string> comment_words;        // size() is its count
  std::vector<std::string> comment_words_other;  // size() is its count
  Switch collect_comments = kNo;
  std::string default_schema;
  std::string csv_fname = "tef.csv";
  std::string separator = "    ";
};

// Resets `config` and sets the analyser's file names in `g` from TEF_CONF,
// TEF_LOG, TEF_DEBUG and TEF_TEMP. Always 0.
int init_tef_config(GlobalParams& g, TefConfig& config);

}  // namespace qln
