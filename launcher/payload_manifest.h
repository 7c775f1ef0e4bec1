// Which resource goes to which file of the working folder, in the order the
// rows are written. The rows come from payload/manifest.tsv, from which the
// build also embeds the resources, so the two cannot drift apart.
#pragma once

#include <array>
#include <cstddef>

namespace launcher {

struct PayloadRow {
  const char* ResourceName;    // "Test1" .. "Test18"
  const char* TargetFileName;  // a plain name without folder parts
};

inline constexpr std::size_t kPayloadRowCount = 18;

extern const std::array<PayloadRow, kPayloadRowCount> PayloadManifest;

}  // namespace launcher
