// Setup_Tolvex: writes the payload into its working folder and starts the inner
// setup from there.
#include "launcher/launch_sequence.h"
#include "platform/application.h"

int main() {
  platform::TApplication application;
  return platform::RunWithStandardReport(launcher::LaunchSetup);
}
