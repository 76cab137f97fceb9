#pragma once
#include <cstdio>
#include <string>

#include "core/conv_options.hpp"

namespace qln {

// The run's output files. A regular file (or a path where none exists yet)
// is written under a temporary name in the same folder and recorded in
// o.out_fname; commit_output_files renames it over the target when the run
// succeeds, remove_output_files deletes it when the run fails, so a failed
// run leaves every existing file exactly as it was. Anything else (a device
// such as /dev/null, a pipe) is written directly and never recorded.

// Flags of o.out_fname_flags.
inline constexpr std::int32_t kOutputDirect = 0;   // written under its own name by this run
inline constexpr std::int32_t kOutputPending = 1;  // written under temporary_name_of(path)

// The temporary name `path` is written under until the run commits it.
std::string temporary_name_of(const std::string& path);

// Whether two paths name the same file (the same file of a link included);
// paths of files that do not exist yet are compared as absolute paths.
bool same_file(const std::string& a, const std::string& b);

// Whether `path` is one of the dump's volumes.
bool is_dump_volume(const ConvOptions& o, const std::string& path);

// Opens `path` for writing (binary when `binary`), as described above.
// nullptr when it cannot be opened, or when it is a folder.
std::FILE* open_output_file(ConvOptions& o, const std::string& path, bool binary = false);

// Records `path`, a file this run created under its own name, once.
void record_output_file(ConvOptions& o, const std::string& path);

// Renames the recorded files (from the `from`th on) over their targets and
// forgets them. The caller closes their streams first. The path that could
// not be renamed is left in `failed` and -1 returned; it and the files after
// it stay recorded.
int commit_output_files(ConvOptions& o, std::string& failed, std::size_t from = 0);

// Deletes what this run wrote of the recorded files (the temporary files,
// and files it created under their own name) and forgets them; the targets
// of temporary files stay untouched. The caller closes its streams first; a
// file still open (Windows refuses to delete it) stays recorded for the
// clean-up after it is closed.
void remove_output_files(ConvOptions& o);

// The same for the file recorded last, when it is `path` (a table output
// given up while the others go on).
void remove_last_output_file(ConvOptions& o, const std::string& path);

}  // namespace qln
