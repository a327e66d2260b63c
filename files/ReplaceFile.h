#pragma once
// Writes a new file so that the target is either its old self or the complete new file:
// the bytes go to a temporary file in the same folder, which is then renamed over the
// target. A reader never sees a half-written firmware file, and a failed write leaves an
// existing target untouched.

#include <cstddef>
#include <cstdint>
#include <string>

// Writes `size` bytes to the file `name`, creating or replacing it. On failure returns
// false with the reason in `error`; the temporary file is removed.
bool WriteFileReplacing(const std::string& name, const uint8_t* data, size_t size,
                        std::string& error);
