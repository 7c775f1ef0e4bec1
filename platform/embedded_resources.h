// Resources linked into a non-Windows image: the build generates an assembler
// file that embeds each payload file with .incbin and lists it here. Programs
// without resources get an empty table.
#pragma once

#include <cstdint>

extern "C" {

struct EmbeddedResource {
  const char* type;  // e.g. "FILE"
  const char* name;  // e.g. "TEST1"
  const std::uint8_t* data;
  std::uint32_t size;
};

// Defined by the generated file of an image that carries resources; the posix
// backend refers to them weakly, so an image without any has none.
extern const EmbeddedResource platform_embedded_resources[];
extern const std::uint32_t platform_embedded_resource_count;
}
