#pragma once
// Shared set-up of the fuzz targets: a private scratch folder that every run
// works in and leaves empty, so a target never writes outside it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qln::fuzz {

// The scratch folder (created once, made the working directory).
const std::string& scratch_dir();

// Writes `bytes` to a file of the scratch folder and returns its path.
std::string write_scratch_file(std::string_view name, std::string_view bytes);

// Removes every file of the scratch folder but `keep`.
void clear_scratch(std::string_view keep = {});

// Sends standard output to /dev/null: the programs print what they convert.
void silence_stdout();

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace qln::fuzz
