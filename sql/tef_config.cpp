#include "sql/tef_config.hpp"

#include <cstdlib>

namespace qln {
namespace {

void set_from_env(std::string& target, const char* name) {
  if (const char* value = std::getenv(name)) target = value;
}

}  // namespace

int init_tef_config(GlobalParams& g, TefConfig& config) {
  config = TefConfig{};
  if (g.tef_conf_fname.empty()) set_from_env(g.tef_conf_fname, "TEF_CONF");
  g.tef_log_fname = "tef.log";
  set_from_env(g.tef_log_fname, "TEF_LOG");
  g.tef_log_switch = 1;
  g.tef_debug_fname.clear();
  set_from_env(g.tef_debug_fname, "TEF_DEBUG");
  g.tef_temp_fname = "tef.tmp";
  set_from_env(g.tef_temp_fname, "TEF_TEMP");
  return 0;
}

}  // namespace qln
