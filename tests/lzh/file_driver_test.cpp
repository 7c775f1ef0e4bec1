// The file driver on real files: every failure with its class, its message
// and what is left on disk; the block sizes of reads and writes; the order of
// closing, deleting and releasing.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>
#include <ostream>
#include <string>
#include <vector>

#include "lzh/file_driver.h"
#include "support/counting_memory.h"
#include "support/fault_os.h"
#include "support/reference_lzh.h"
#include "support/seed.h"
#include "support/temp_dir.h"

namespace {

using testing_lzh::FaultOs;
using testing_lzh::FileExists;
using testing_lzh::MakeFile;
using testing_lzh::ReadFile;
using testing_lzh::StreamBuilder;
using testing_lzh::WriteFile;
using Bytes = std::vector<std::uint8_t>;

const Bytes kOldOutput = {'o', 'l', 'd', ' ', 'o', 'u', 't', 'p', 'u', 't'};

// The driver is handed Windows paths, as the launcher does.
std::string WindowsPath(const std::string& path) {
  std::string out = path;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

std::string Replace(std::string text, const std::string& key, const std::string& value) {
  for (std::size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
  return text;
}

// A stream of n bytes: literals of a pattern, then matches that repeat it.
Bytes PatternStream(std::int32_t n) {
  StreamBuilder b;
  std::int32_t produced = 0;
  while (produced < n && produced < 200) {
    b.Literal(static_cast<std::uint8_t>(produced * 7 + 1));
    ++produced;
  }
  while (produced < n) {
    const int len = std::min<std::int32_t>(60, std::max<std::int32_t>(3, n - produced));
    b.Match(len, 199);
    produced += len;
  }
  return b.Bytes();
}

Bytes PatternOutput(std::int32_t n) {
  Bytes out;
  for (std::int32_t i = 0; i < n; ++i)
    out.push_back(static_cast<std::uint8_t>((i % 200) * 7 + 1));
  return out;
}

// One expansion in a fresh directory, with a FaultOs and the counting memory.
class DriverRun {
 public:
  DriverRun()
      : in_path_(dir_.Path("Setup.ex_")),
        out_path_(dir_.Path("Setup.exe")),
        scoped_os_(&os_) {
    lzh::InputFileName = WindowsPath(in_path_);
    lzh::OutputFileName = WindowsPath(out_path_);
    os_.timeline = &memory_->events;
  }

  FaultOs& Os() { return os_; }
  testing_lzh::MemoryLog& Memory() { return *memory_; }
  const std::string& InPath() const { return in_path_; }
  const std::string& OutPath() const { return out_path_; }
  testing_lzh::TempDir& Dir() { return dir_; }

  // Runs ExpandFile; returns "" or "Class: message".
  std::string Expand() {
    try {
      EXPECT_EQ(lzh::ExpandFile(), 1);
      return "";
    } catch (const platform::Exception& e) {
      return std::string(e.ClassName()) + ": " + e.Message();
    }
  }

 private:
  testing_lzh::TempDir dir_;
  std::string in_path_, out_path_;
  FaultOs os_;
  testing_lzh::ScopedOs scoped_os_;
  testing_lzh::ScopedCountingMemory memory_;
};

struct FailureCase {
  const char* name;
  std::optional<Bytes> input;  // nullopt: there is no input file
  bool output_before;          // an output file exists before the run
  std::function<void(DriverRun&)> fault;
  std::string error;  // {in} and {out} stand for the two file names
  bool output_removed;  // the output was created, so it must be gone afterwards
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

std::string Expected(const std::string& error) {
  return Replace(Replace(error, "{in}", lzh::InputFileName), "{out}", lzh::OutputFileName);
}

class DriverFailure : public ::testing::TestWithParam<FailureCase> {
 protected:
  // Runs the case once through ExpandFile and once through DecompressFile.
  void Check(bool through_decompress) {
    const FailureCase& c = GetParam();
    DriverRun run;
    if (c.input) WriteFile(run.InPath(), *c.input);
    if (c.output_before) WriteFile(run.OutPath(), kOldOutput);
    if (c.fault) c.fault(run);

    if (through_decompress) {
      EXPECT_EQ(lzh::DecompressFile(), -1);
    } else {
      EXPECT_EQ(run.Expand(), Expected(c.error));
    }

    const auto& events = run.Os().events;
    if (c.output_removed) {
      EXPECT_FALSE(FileExists(run.OutPath())) << "a failed expansion leaves no output";
      // The output is never flushed on failure; it is closed, then deleted.
      EXPECT_EQ(std::count(events.begin(), events.end(), "flush out"), 0);
      auto close_out = std::find(events.begin(), events.end(), "close out");
      auto del = std::find(events.begin(), events.end(), "delete");
      EXPECT_TRUE(close_out < del && del != events.end());
    } else if (c.output_before) {
      EXPECT_EQ(ReadFile(run.OutPath()), kOldOutput) << "an existing output is untouched";
    } else {
      EXPECT_FALSE(FileExists(run.OutPath()));
    }
    if (c.input) {
      EXPECT_EQ(ReadFile(run.InPath()), *c.input) << "the input is never changed";
    }
    EXPECT_EQ(run.Os().open_handles, 0) << "a file was left open";
    EXPECT_TRUE(run.Memory().live.empty()) << "a block was not released";
  }
};

TEST_P(DriverFailure, RaisesItsMessageAndCleansUp) { Check(false); }
TEST_P(DriverFailure, DecompressFileReturnsMinusOne) { Check(true); }

Bytes WellFormed() { return MakeFile(3000, PatternStream(3000)); }

Bytes WithoutLastByte(Bytes b) {
  b.pop_back();
  return b;
}

// A stream whose output passes several 32768-byte blocks before the input
// needs its second block.
Bytes LongOutput() { return MakeFile(200000, PatternStream(200000)); }

INSTANTIATE_TEST_SUITE_P(
    Rows, DriverFailure,
    ::testing::Values(
        FailureCase{"input_buffer_not_obtained", WellFormed(), true,
                    [](DriverRun& r) { r.Memory().fail_get_call = 1; },
                    "ELzrw1Exception: Lzrw1 : no memory for I/O Buffers !!", false},
        FailureCase{"output_buffer_not_obtained", WellFormed(), true,
                    [](DriverRun& r) { r.Memory().fail_get_call = 2; },
                    "ELzrw1Exception: Lzrw1 : no memory for I/O Buffers !!", false},
        FailureCase{"input_missing_output_existing", std::nullopt, true, nullptr,
                    "ELzrw1Exception: Lzrw1 : Inputfile {in} not found !", false},
        FailureCase{"input_missing_no_output", std::nullopt, false, nullptr,
                    "ELzrw1Exception: Lzrw1 : Inputfile {in} not found !", false},
        FailureCase{"input_cannot_be_opened", WellFormed(), true,
                    [](DriverRun& r) { r.Os().fail_open = true; },
                    "ELzrw1Exception: Lzrw1 : Inputfile {in} not found !", false},
        FailureCase{"output_cannot_be_created", WellFormed(), true,
                    [](DriverRun& r) { r.Os().fail_create = true; },
                    "ELzrw1Exception: Lzrw1 : Outputfile {out} can not be opened !", false},
        FailureCase{"output_folder_missing", WellFormed(), false,
                    [](DriverRun& r) {
                      lzh::OutputFileName = WindowsPath(r.Dir().Path("no-such-dir/Setup.exe"));
                    },
                    "ELzrw1Exception: Lzrw1 : Outputfile {out} can not be opened !", false},
        FailureCase{"input_empty", Bytes{}, true, nullptr,
                    "ELzrw1Exception: Lzrw1 : ERROR READING FROM {in} !", true},
        FailureCase{"input_of_3_bytes", Bytes{'!', 'H', 'Z'}, true, nullptr,
                    "ELzrw1Exception: Lzrw1 : ERROR READING FROM {in} !", true},
        FailureCase{"magic_only", Bytes{'!', 'H', 'Z', 'L'}, true, nullptr,
                    "ELzrw1Exception: Lzrw1 : ERROR READING FROM {in} !", true},
        FailureCase{"length_of_3_bytes", Bytes{'!', 'H', 'Z', 'L', 5, 0, 0}, false, nullptr,
                    "ELzrw1Exception: Lzrw1 : ERROR READING FROM {in} !", true},
        FailureCase{"wrong_magic", Bytes{'!', 'H', 'Z', 'l', 0, 0, 0, 0}, true, nullptr,
                    "ELzrw1Exception: Lzrw1 : {in} : NOT A COMPRESSED FILE !", true},
        FailureCase{"plain_text", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'},
                    false, nullptr, "ELzrw1Exception: Lzrw1 : {in} : NOT A COMPRESSED FILE !",
                    true},
        FailureCase{"magic_read_fails", WellFormed(), true,
                    [](DriverRun& r) { r.Os().fail_read_call = 1; },
                    "ELzrw1Exception: Lzrw1 : ERROR READING FROM {in} !", true},
        FailureCase{"length_read_fails", WellFormed(), true,
                    [](DriverRun& r) { r.Os().fail_read_call = 2; },
                    "ELzrw1Exception: Lzrw1 : ERROR READING FROM {in} !", true},
        FailureCase{"first_block_read_fails", WellFormed(), true,
                    [](DriverRun& r) { r.Os().fail_read_call = 3; },
                    "ELzrw1Exception: Lzrw1/LZH : READ ERROR ON {in} !", true},
        FailureCase{"block_read_fails_after_blocks_were_written", LongOutput(), false,
                    [](DriverRun& r) { r.Os().fail_read_call = 4; },
                    "ELzrw1Exception: Lzrw1/LZH : READ ERROR ON {in} !", true},
        FailureCase{"final_write_fails", WellFormed(), true,
                    [](DriverRun& r) { r.Os().fail_write_call = 1; },
                    "ELzrw1Exception: Lzrw1 : ERROR WRITING TO {out} !", true},
        FailureCase{"final_write_of_nothing_fails", MakeFile(0, {}), true,
                    [](DriverRun& r) { r.Os().fail_write_call = 1; },
                    "ELzrw1Exception: Lzrw1 : ERROR WRITING TO {out} !", true},
        FailureCase{"block_write_fails_after_a_block", LongOutput(), true,
                    [](DriverRun& r) { r.Os().fail_write_call = 3; },
                    "ELzrw1Exception: Lzrw1 : ERROR WRITING TO {out} !", true},
        FailureCase{"short_block_write", LongOutput(), true,
                    [](DriverRun& r) { r.Os().short_write_call = 2; },
                    "ELzrw1Exception: Lzrw1 : ERROR WRITING TO {out} !", true},
        FailureCase{"short_final_write", WellFormed(), false,
                    [](DriverRun& r) { r.Os().short_write_call = 1; },
                    "ELzrw1Exception: Lzrw1 : ERROR WRITING TO {out} !", true},
        FailureCase{"table_memory_not_obtained", WellFormed(), true,
                    [](DriverRun& r) { r.Memory().fail_get_call = 4; },
                    "ElzhException: LZH : Cannot get memory for dictionary tables", true},
        FailureCase{"table_memory_not_released", WellFormed(), true,
                    [](DriverRun& r) { r.Memory().fail_release_call = 2; },
                    "ElzhException: LZH : Error freeing memory for dictionary tables", true},
        FailureCase{"declared_1_without_stream", MakeFile(1, {}), true, nullptr,
                    "ELzrw1Exception: Lzrw1 : {in} : UNEXPECTED END OF COMPRESSED DATA !", true},
        FailureCase{"declared_5_with_three_zero_bytes", MakeFile(5, Bytes(3, 0)), true, nullptr,
                    "ELzrw1Exception: Lzrw1 : {in} : UNEXPECTED END OF COMPRESSED DATA !", true},
        FailureCase{"well_formed_without_its_last_byte", WithoutLastByte(WellFormed()), true,
                    nullptr,
                    "ELzrw1Exception: Lzrw1 : {in} : UNEXPECTED END OF COMPRESSED DATA !", true},
        FailureCase{"long_output_cut_short_after_blocks_were_written",
                    WithoutLastByte(LongOutput()), false, nullptr,
                    "ELzrw1Exception: Lzrw1 : {in} : UNEXPECTED END OF COMPRESSED DATA !", true},
        FailureCase{"gigabytes_declared_over_a_short_stream",
                    MakeFile(0x7FFFFFFF, PatternStream(300)), false, nullptr,
                    "ELzrw1Exception: Lzrw1 : {in} : UNEXPECTED END OF COMPRESSED DATA !",
                    true}),
    [](const auto& info) { return std::string(info.param.name); });

// Held open by another opener: the share mode refuses, the message is the
// one for a missing file.
TEST(DriverFailures, InputHeldByAnotherOpenerIsNotFound) {
  DriverRun run;
  WriteFile(run.InPath(), WellFormed());
  WriteFile(run.OutPath(), kOldOutput);
  platform::Os& real = platform::DefaultOs();
  const platform::FileHandle holder = real.OpenExisting(lzh::InputFileName);
  ASSERT_GT(holder, 0);
  EXPECT_EQ(run.Expand(), "ELzrw1Exception: Lzrw1 : Inputfile " + lzh::InputFileName +
                              " not found !");
  real.Close(holder);
  EXPECT_EQ(ReadFile(run.OutPath()), kOldOutput);
  EXPECT_EQ(lzh::DecompressFile(), 1) << "once released, the file expands";
}

// The order of a failure after both files are open: output closed and
// deleted, input closed, buffers released.
TEST(DriverFailures, OrderOfCleanupAfterBothFilesAreOpen) {
  DriverRun run;
  WriteFile(run.InPath(), MakeFile(1, {}));
  ASSERT_NE(run.Expand(), "");
  const std::vector<std::string> expected = {
      "get 32784",  "get 32784",   "open",         "create",     "get 4096",
      "get 1256",   "get 1882",    "get 1254",     "release 1254", "release 1882",
      "release 1256", "release 4096", "close out", "delete",     "close in",
      "release 32784", "release 32784"};
  EXPECT_EQ(run.Memory().events, expected);
}

TEST(DriverFailures, CreateFailureClosesTheInputAndReleasesTheBuffers) {
  DriverRun run;
  WriteFile(run.InPath(), WellFormed());
  run.Os().fail_create = true;
  ASSERT_NE(run.Expand(), "");
  const std::vector<std::string> expected = {"get 32784", "get 32784", "open", "create",
                                             "close in",  "release 32784", "release 32784"};
  EXPECT_EQ(run.Memory().events, expected);
}

// --- successful expansions ------------------------------------------------------

struct SuccessCase {
  const char* name;
  Bytes input;
  Bytes expected;
};

void PrintTo(const SuccessCase& c, std::ostream* os) { *os << c.name; }

class DriverSuccess : public ::testing::TestWithParam<SuccessCase> {};

TEST_P(DriverSuccess, WritesExactlyTheDeclaredBytes) {
  const SuccessCase& c = GetParam();
  DriverRun run;
  WriteFile(run.InPath(), c.input);
  WriteFile(run.OutPath(), Bytes(100000, 0xEE));  // replaced and emptied first
  EXPECT_EQ(lzh::DecompressFile(), 1);
  EXPECT_EQ(ReadFile(run.OutPath()), c.expected);
  const std::vector<std::string> files = run.Os().events;
  EXPECT_EQ(files, (std::vector<std::string>{"open", "create", "close in", "flush out",
                                             "close out"}));
  EXPECT_TRUE(run.Memory().live.empty());
}

Bytes Header(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  return {'!', 'H', 'Z', 'L', a, b, c, d};
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DriverSuccess,
    ::testing::Values(
        SuccessCase{"declared_0", Header(0, 0, 0, 0), {}},
        SuccessCase{"declared_minus_1", Header(0xFF, 0xFF, 0xFF, 0xFF), {}},
        SuccessCase{"declared_most_negative", Header(0, 0, 0, 0x80), {}},
        SuccessCase{"declared_0_with_trailing_bytes",
                    [] {
                      Bytes b = Header(0, 0, 0, 0);
                      b.insert(b.end(), 50, 0xAB);
                      return b;
                    }(),
                    {}},
        SuccessCase{"declared_1_one_zero_byte", MakeFile(1, {0}), {0x74}},
        SuccessCase{"declared_5_four_zero_bytes", MakeFile(5, {0, 0, 0, 0}), Bytes(5, 0x74)},
        SuccessCase{"declared_61_four_zero_bytes", MakeFile(61, {0, 0, 0, 0}), Bytes(61, 0x74)},
        SuccessCase{"pattern_of_3000", MakeFile(3000, PatternStream(3000)), PatternOutput(3000)},
        SuccessCase{"bytes_after_the_stream_are_not_decoded",
                    [] {
                      Bytes b = MakeFile(3000, PatternStream(3000));
                      b.insert(b.end(), 40000, 0x5C);
                      return b;
                    }(),
                    PatternOutput(3000)}),
    [](const auto& info) { return std::string(info.param.name); });

// The output goes out in blocks of exactly 32768 bytes; the final flush
// writes the rest, also when nothing is left.
TEST(DriverBlocks, WriteSizesFollowTheOutputLength) {
  struct Row {
    std::int32_t length;
    std::vector<std::int32_t> writes;
  };
  const Row rows[] = {{0, {0}},
                      {1, {1}},
                      {32767, {32767}},
                      {32768, {32768}},
                      {32769, {32768, 1}},
                      {65536, {32768, 32768}},
                      {65537, {32768, 32768, 1}}};
  for (const Row& row : rows) {
    DriverRun run;
    WriteFile(run.InPath(), MakeFile(row.length, PatternStream(row.length)));
    ASSERT_EQ(run.Expand(), "") << row.length;
    EXPECT_EQ(run.Os().write_sizes, row.writes) << row.length;
    EXPECT_EQ(ReadFile(run.OutPath()), PatternOutput(row.length)) << row.length;
  }
}

// The header is read directly, 4 and 4 bytes; the stream in blocks of 32768.
TEST(DriverBlocks, ReadSizes) {
  DriverRun run;
  Bytes stream(70000);
  std::mt19937 rng(testing_lzh::TestSeed());
  for (auto& v : stream) v = static_cast<std::uint8_t>(rng());
  const auto ref = testing_lzh::RefDecode(stream, INT32_MAX);
  ASSERT_TRUE(ref.cut_short);
  const auto declared = static_cast<std::int32_t>(ref.out.size());
  WriteFile(run.InPath(), MakeFile(declared, stream));
  // Corrupt data decodes to something: the declared bytes, and result 1.
  ASSERT_EQ(run.Expand(), "");
  EXPECT_EQ(ReadFile(run.OutPath()), ref.out);
  const std::vector<std::int32_t> expected_start = {4, 4, 32768, 32768, 32768};
  ASSERT_GE(run.Os().read_sizes.size(), expected_start.size());
  EXPECT_EQ(std::vector<std::int32_t>(run.Os().read_sizes.begin(),
                                      run.Os().read_sizes.begin() + 5),
            expected_start);
}

TEST(DriverBlocks, ExpansionsFollowEachOther) {
  DriverRun run;
  const std::string second_in = run.Dir().Path("b.ex_"), second_out = run.Dir().Path("b.exe");
  WriteFile(run.InPath(), MakeFile(40000, PatternStream(40000)));
  WriteFile(second_in, MakeFile(777, PatternStream(777)));
  const std::string first_in_name = lzh::InputFileName, first_out_name = lzh::OutputFileName;
  for (int round = 0; round < 2; ++round) {
    lzh::InputFileName = first_in_name;
    lzh::OutputFileName = first_out_name;
    EXPECT_EQ(lzh::DecompressFile(), 1);
    EXPECT_EQ(ReadFile(run.OutPath()), PatternOutput(40000));
    lzh::InputFileName = WindowsPath(run.Dir().Path("missing"));
    EXPECT_EQ(lzh::DecompressFile(), -1);
    lzh::InputFileName = WindowsPath(second_in);
    lzh::OutputFileName = WindowsPath(second_out);
    EXPECT_EQ(lzh::DecompressFile(), 1);
    EXPECT_EQ(ReadFile(second_out), PatternOutput(777));
  }
}

// ReadBlock and WriteBlock serve counts above 1 as well.
TEST(DriverBlocks, ReadBlockKeepsUnreadBytesAcrossARefill) {
  testing_lzh::TempDir dir;
  const std::string path = dir.Path("data");
  Bytes data(40000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 13 + i / 251);
  WriteFile(path, data);
  platform::Os& os = platform::DefaultOs();
  lzh::DriverState d;
  Bytes in_buffer(lzh::IoBufferSize);
  d.InputBuffer = in_buffer.data();
  d.InputHandle = os.OpenExisting(path);
  ASSERT_GT(d.InputHandle, 0);
  lzh::ReadBlock read{d};
  std::size_t at = 0;
  // 32766 + 5 crosses the first block: 2 bytes kept, the rest read behind.
  for (std::uint16_t count : {std::uint16_t{32766}, std::uint16_t{5}, std::uint16_t{7000},
                              std::uint16_t{1}, std::uint16_t{500}}) {
    Bytes area(count);
    std::uint16_t actual = 0xFFFF;
    read(area.data(), count, actual);
    const std::size_t expect = std::min<std::size_t>(count, data.size() - at);
    ASSERT_EQ(actual, expect) << "at " << at;
    ASSERT_TRUE(std::equal(area.begin(), area.begin() + static_cast<std::ptrdiff_t>(actual),
                           data.begin() + static_cast<std::ptrdiff_t>(at)));
    at += actual;
  }
  EXPECT_EQ(at, data.size());
  std::uint8_t byte = 0;
  std::uint16_t actual = 1;
  read(&byte, 1, actual);
  EXPECT_EQ(actual, 0);
  os.Close(d.InputHandle);
}

TEST(DriverBlocks, WriteBlockFlushesBeforeABlockWouldOverflow) {
  testing_lzh::TempDir dir;
  FaultOs os;
  testing_lzh::ScopedOs scoped(&os);
  const std::string path = dir.Path("out");
  lzh::DriverState d;
  Bytes out_buffer(lzh::IoBufferSize);
  d.OutputBuffer = out_buffer.data();
  d.OutputHandle = os.CreateAlways(path);
  ASSERT_GT(d.OutputHandle, 0);
  lzh::WriteBlock write{d};
  Bytes all;
  for (std::uint16_t count : {std::uint16_t{30000}, std::uint16_t{2768}, std::uint16_t{1},
                              std::uint16_t{32768}, std::uint16_t{0}}) {
    Bytes area(count);
    for (std::size_t i = 0; i < area.size(); ++i) area[i] = static_cast<std::uint8_t>(all.size() + i);
    std::uint16_t actual = 0;
    write(area.data(), count, actual);
    EXPECT_EQ(actual, count);
    all.insert(all.end(), area.begin(), area.end());
  }
  EXPECT_EQ(os.write_sizes, (std::vector<std::int32_t>{32768, 1, 32768}));
  os.Close(d.OutputHandle);
  EXPECT_EQ(ReadFile(path), all);
}

}  // namespace
