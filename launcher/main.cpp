// Setup_Tolvex: writes the payload into its working folder and starts the inner
// setup from there.
#include "launcher/launch_sequence.h"

int main() { return launcher::RunLauncher(); }
