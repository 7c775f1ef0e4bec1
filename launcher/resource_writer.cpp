#include "launcher/resource_writer.h"

#include "platform/streams.h"

namespace launcher {

bool ExtractResourceToFile(const std::string& type, const std::string& name,
                           const std::string& path) {
  // The resource is looked up first, so a missing one leaves no file behind.
  // The streams are released in reverse order, also when a step raises.
  platform::TResourceStream resource(name, type);
  platform::TFileStream file(path);
  file.WriteBuffer(resource.Memory(), resource.Size());
  return true;
}

}  // namespace launcher
