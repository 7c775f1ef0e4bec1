#include "launcher/folder_hardening.h"

#include "launcher/constants.h"
#include "launcher/path_helpers.h"
#include "launcher/payload_manifest.h"
#include "platform/exceptions.h"
#include "platform/os.h"

namespace launcher {

namespace {

void RefuseLinkedTarget(const std::string& folder, const std::string& file_name) {
  const std::string path = TargetPath(folder, file_name);
  if (IsReparsePoint(platform::CurrentOs().GetFileAttributes(path))) RefuseToWrite(path);
}

}  // namespace

bool IsReparsePoint(std::uint32_t attributes) {
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kAttributeReparsePoint) != 0;
}

void RefuseToWrite(const std::string& path) {
  throw platform::EFCreateError(platform::FormatText(platform::kFCreateErrorText, path));
}

HeldFile SecureWorkDirectory(const std::string& folder) {
  platform::Os& os = platform::CurrentOs();
  const std::uint32_t attributes = os.GetFileAttributes(folder);
  if (IsReparsePoint(attributes)) RefuseToWrite(folder);
  if (attributes == platform::kInvalidFileAttributes ||
      !(attributes & platform::kAttributeDirectory))
    return HeldFile();

  // From here on the name stays this folder: a link cannot take its place.
  HeldFile hold(os.HoldFolder(folder));
  if (!hold.IsOpen()) RefuseToWrite(folder);

  // A link under a name the launcher writes would be a plant: the run stops
  // before anything is written, and the link is left for the user to see.
  for (const PayloadRow& row : PayloadManifest) RefuseLinkedTarget(folder, row.TargetFileName);
  RefuseLinkedTarget(folder, kInnerSetupProgram);

  // Protected first, so that nobody can add anything while it is emptied;
  // then whatever an untrusted folder held (a planted DLL, say) goes.
  if (!os.IsFolderTrusted(folder)) {
    if (!os.ProtectFolder(folder)) RefuseToWrite(folder);
    if (!os.EmptyFolder(folder)) RefuseToWrite(folder);
  }
  return hold;
}

}  // namespace launcher
