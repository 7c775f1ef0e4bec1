#include "launcher/payload_manifest.h"

namespace launcher {

// payload_manifest.inc is generated from payload/manifest.tsv: one
// {"TestN", "file name"} per row.
const std::array<PayloadRow, kPayloadRowCount> PayloadManifest = {{
#include "payload_manifest.inc"
}};

}  // namespace launcher
