#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::maker {

// PROJECT/.cache/outputs.txt: the fingerprint of everything the last make put
// into its outputs, and the size and modification time of each output as it
// was written. A make with the same fingerprint whose outputs are all still
// as written has nothing to pack.

// True when the record at `path` holds `fingerprint` and exactly `outputs`,
// each still of the size and time recorded.
bool OutputsCurrent(const std::string& path, uint64_t fingerprint,
                    const std::vector<std::string>& outputs);

// Records the outputs just written (temporary file, then rename). False when
// it cannot; the next make then packs again.
bool RecordOutputs(const std::string& path, uint64_t fingerprint,
                   const std::vector<std::string>& outputs);

// Removes the record (before outputs are replaced).
void ForgetOutputs(const std::string& path);

}  // namespace corvane::maker
