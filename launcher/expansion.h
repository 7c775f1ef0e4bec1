// Expands the compressed inner setup that the payload has just written.
#pragma once

namespace launcher {

// Sets the decompressor's input to the working folder's "Setup.ex_" and its
// output to "Setup.exe" and expands. Silent: whatever happens inside, nothing is
// raised and nothing is shown (a failed expansion removes its partial output).
void ExpandInnerSetup();

}  // namespace launcher
