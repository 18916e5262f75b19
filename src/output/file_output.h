// Output files written in place (CSV export, bitmap export): created or
// truncated, written through and closed. Unlike the data file they are not
// replaced atomically: a failed write leaves what was written so far.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace qv {

enum class OutputFileResult {
  kWritten,     // every byte written and the file closed without error
  kNotCreated,  // the file could not be created or opened: nothing written
  kFailed,      // a write or the close failed: a partly written file stays
};

// Creates `path` (truncating an existing file, exclusive access while
// writing) and writes `parts` one after another.
OutputFileResult WriteOutputFile(const std::string& path,
                                 std::initializer_list<std::string_view> parts);

}  // namespace qv
