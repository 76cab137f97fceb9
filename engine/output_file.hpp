#pragma once
#include <cstdio>
#include <string>

#include "core/conv_options.hpp"

namespace qln {

// Opens `path` for writing, creating or truncating it. A regular file opened
// this way is recorded in o.out_fname, so that a failed run deletes exactly
// the files it wrote; anything else (a device such as /dev/null, a pipe) is
// opened but never recorded. nullptr when it cannot be opened.
std::FILE* open_output_file(ConvOptions& o, const std::string& path);

// Creates or truncates the column file of one row (binary), not recorded:
// the files of rows converted before a failure stay.
std::FILE* open_column_file(const std::string& path);

// Records `path` (a regular file this run created or truncated) once.
void record_output_file(ConvOptions& o, const std::string& path);

// Deletes the recorded files that are still regular files and forgets them.
// The caller closes its streams first; a file still open (Windows refuses to
// delete it) stays recorded for the clean-up after it is closed.
void remove_output_files(ConvOptions& o);

}  // namespace qln
