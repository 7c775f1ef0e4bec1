#include "launcher/expansion.h"

#include "launcher/constants.h"
#include "launcher/launch_sequence.h"
#include "launcher/path_helpers.h"
#include "lzh/file_driver.h"

namespace launcher {

void ExpandInnerSetup() {
  lzh::InputFileName = TargetPath(WorkDirectory, kCompressedInnerSetup);
  lzh::OutputFileName = TargetPath(WorkDirectory, kInnerSetupProgram);
  // The result is deliberately not looked at: the start is attempted anyway,
  // and an older "Setup.exe" that could not be replaced is started as it is.
  (void)lzh::DecompressFile();
}

}  // namespace launcher
