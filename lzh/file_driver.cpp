#include "lzh/file_driver.h"

#include "lzh/memory.h"

namespace lzh {

std::string InputFileName;
std::string OutputFileName;

namespace {

DriverState g_driver;

[[noreturn]] void RaiseReadError() {
  throw ELzrw1Exception("Lzrw1 : ERROR READING FROM " + InputFileName + " !");
}

}  // namespace

DriverState& Driver() { return g_driver; }

void CheckRead(std::int32_t result, std::int32_t expected) {
  if (result != expected) RaiseReadError();
}

void CheckWritten(std::int32_t result, std::int32_t expected) {
  if (result != expected)
    throw ELzrw1Exception("Lzrw1 : ERROR WRITING TO " + OutputFileName + " !");
}

bool RefillInputBuffer(DriverState& d) {
  const std::int32_t unread =
      d.InputCount - static_cast<std::int32_t>(d.InputPosition) + 1;
  const std::int32_t kept = unread > 0 ? unread : 0;
  if (kept > 0) std::memmove(d.InputBuffer, d.InputBuffer + d.InputPosition - 1,
                             static_cast<std::size_t>(kept));
  const std::int32_t got =
      platform::CurrentOs().Read(d.InputHandle, d.InputBuffer + kept, IoBlockSize - kept);
  if (got < 0)
    throw ELzrw1Exception("Lzrw1/LZH : READ ERROR ON " + InputFileName + " !");
  d.InputCount = kept + got;
  if (d.InputCount == 0) return false;
  d.InputPosition = 1;
  return true;
}

void FlushOutputBuffer(DriverState& d) {
  const std::int32_t pending = static_cast<std::int32_t>(d.OutputPosition) - 1;
  CheckWritten(platform::CurrentOs().Write(d.OutputHandle, d.OutputBuffer, pending), pending);
  d.OutputPosition = 1;
}

void ExpandStream() {
  DriverState& d = g_driver;
  platform::Os& os = platform::CurrentOs();
  std::uint8_t length_bytes[4];
  CheckRead(os.Read(d.InputHandle, length_bytes, 4), 4);
  const std::int32_t length = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(length_bytes[0]) |
      (static_cast<std::uint32_t>(length_bytes[1]) << 8) |
      (static_cast<std::uint32_t>(length_bytes[2]) << 16) |
      (static_cast<std::uint32_t>(length_bytes[3]) << 24));
  d.InputPosition = 1;
  d.InputCount = 0;
  d.OutputPosition = 1;
  ReadBlock input{d};
  WriteBlock output{d};
  try {
    LzhDecode(d.Codec, length, input, output);
  } catch (const ELzhEndOfInput&) {
    throw ELzrw1Exception("Lzrw1 : " + InputFileName + " : UNEXPECTED END OF COMPRESSED DATA !");
  }
  std::uint16_t actual = 0;
  output(d.OutputBuffer, 0, actual);
}

std::int32_t ExpandFile() {
  DriverState& d = g_driver;
  platform::Os& os = platform::CurrentOs();
  const MemoryManager& mm = CurrentMemoryManager();

  d.InputBuffer = static_cast<std::uint8_t*>(mm.get(IoBufferSize));
  d.OutputBuffer = d.InputBuffer ? static_cast<std::uint8_t*>(mm.get(IoBufferSize)) : nullptr;
  if (d.OutputBuffer == nullptr) {
    if (d.InputBuffer) mm.release(d.InputBuffer);
    d.InputBuffer = nullptr;
    throw ELzrw1Exception("Lzrw1 : no memory for I/O Buffers !!");
  }

  d.InputHandle = 0;
  d.OutputHandle = 0;
  auto release_buffers = [&] {
    mm.release(d.InputBuffer);
    mm.release(d.OutputBuffer);
    d.InputBuffer = d.OutputBuffer = nullptr;
  };
  auto close_files = [&] {
    if (d.InputHandle > 0) os.Close(d.InputHandle);
    d.InputHandle = 0;
    if (d.OutputHandle > 0) {
      os.Flush(d.OutputHandle);
      os.Close(d.OutputHandle);
    }
    d.OutputHandle = 0;
  };

  try {
    try {
      d.InputHandle = os.OpenExisting(InputFileName);
      if (d.InputHandle < 0)
        throw ELzrw1Exception("Lzrw1 : Inputfile " + InputFileName + " not found !");
      d.OutputHandle = os.CreateAlways(OutputFileName);
      if (d.OutputHandle < 0)
        throw ELzrw1Exception("Lzrw1 : Outputfile " + OutputFileName + " can not be opened !");
      try {
        std::uint8_t magic[4];
        CheckRead(os.Read(d.InputHandle, magic, 4), 4);
        if (std::memcmp(magic, kMagic, 4) != 0)
          throw ELzrw1Exception("Lzrw1 : " + InputFileName + " : NOT A COMPRESSED FILE !");
        ExpandStream();
      } catch (...) {
        os.Close(d.OutputHandle);
        d.OutputHandle = 0;
        os.DeleteFile(OutputFileName);
        throw;
      }
    } catch (...) {
      close_files();
      throw;
    }
    close_files();
  } catch (...) {
    release_buffers();
    throw;
  }
  release_buffers();
  return 1;
}

std::int32_t DecompressFile() {
  try {
    return ExpandFile();
  } catch (...) {
    return -1;
  }
}

}  // namespace lzh
