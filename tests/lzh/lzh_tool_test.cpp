// The lzh tool as a process: usage, the driver's messages, exit codes, files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "support/reference_lzh.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using testing_lzh::FileExists;
using testing_lzh::ReadFile;
using testing_lzh::WriteFile;

struct ToolResult {
  int exit_code;
  std::string err;
};

std::string Quote(const std::string& s) { return "'" + s + "'"; }

ToolResult RunTool(const testing_lzh::TempDir& dir, const std::vector<std::string>& args) {
  std::string cmd = Quote(LZH_TOOL_PATH);
  for (const std::string& a : args) cmd += " " + Quote(a);
  const std::string err_path = dir.Path("stderr.txt");
  cmd += " >/dev/null 2>" + Quote(err_path);
  const int status = std::system(cmd.c_str());
  const Bytes err = ReadFile(err_path);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(err.begin(), err.end())};
}

Bytes HandBuiltFile() {
  testing_lzh::StreamBuilder b;
  const std::string text = "tool test ";
  b.Literals(Bytes(text.begin(), text.end()));
  b.Match(40, 9);
  return testing_lzh::MakeFile(50, b.Bytes());
}

struct ToolCase {
  const char* name;
  std::vector<std::string> args;  // {in}, {out}, {dir} are replaced
  std::function<void(const std::string& in)> prepare;
  int exit_code;
  std::string err;  // exact stderr; "usage" means the usage text
  bool output_exists;
};

void PrintTo(const ToolCase& c, std::ostream* os) { *os << c.name; }

class Tool : public ::testing::TestWithParam<ToolCase> {};

std::string Sub(std::string s, const std::string& key, const std::string& v) {
  for (std::size_t at; (at = s.find(key)) != std::string::npos;) s.replace(at, key.size(), v);
  return s;
}

TEST_P(Tool, ExitCodeMessageAndFiles) {
  const ToolCase& c = GetParam();
  testing_lzh::TempDir dir;
  const std::string in = dir.Path("in.ex_"), out = dir.Path("out.exe");
  if (c.prepare) c.prepare(in);
  std::vector<std::string> args;
  for (const std::string& a : c.args) args.push_back(Sub(Sub(a, "{in}", in), "{out}", out));
  const ToolResult r = RunTool(dir, args);
  EXPECT_EQ(r.exit_code, c.exit_code);
  if (c.err == "usage") {
    EXPECT_EQ(r.err, "usage: lzh pack INPUT OUTPUT\n       lzh unpack INPUT OUTPUT\n");
  } else {
    EXPECT_EQ(r.err, Sub(Sub(c.err, "{in}", in), "{out}", out));
  }
  EXPECT_EQ(FileExists(out), c.output_exists);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Tool,
    ::testing::Values(
        ToolCase{"no_arguments", {}, nullptr, 2, "usage", false},
        ToolCase{"verb_only", {"unpack"}, nullptr, 2, "usage", false},
        ToolCase{"one_path", {"pack", "{in}"}, nullptr, 2, "usage", false},
        ToolCase{"unknown_verb", {"expand", "{in}", "{out}"}, nullptr, 2, "usage", false},
        ToolCase{"too_many", {"unpack", "{in}", "{out}", "extra"}, nullptr, 2, "usage", false},
        ToolCase{"unpack_missing_input", {"unpack", "{in}", "{out}"}, nullptr, 1,
                 "Lzrw1 : Inputfile {in} not found !\n", false},
        ToolCase{"unpack_not_compressed",
                 {"unpack", "{in}", "{out}"},
                 [](const std::string& in) { WriteFile(in, {'M', 'Z', 0x90, 0, 3, 0, 0, 0}); },
                 1, "Lzrw1 : {in} : NOT A COMPRESSED FILE !\n", false},
        ToolCase{"unpack_short_header",
                 {"unpack", "{in}", "{out}"},
                 [](const std::string& in) { WriteFile(in, {'!', 'H', 'Z', 'L'}); },
                 1, "Lzrw1 : ERROR READING FROM {in} !\n", false},
        ToolCase{"unpack_cut_short",
                 {"unpack", "{in}", "{out}"},
                 [](const std::string& in) {
                   Bytes f = HandBuiltFile();
                   f.pop_back();
                   WriteFile(in, f);
                 },
                 1, "Lzrw1 : {in} : UNEXPECTED END OF COMPRESSED DATA !\n", false},
        ToolCase{"unpack_well_formed",
                 {"unpack", "{in}", "{out}"},
                 [](const std::string& in) { WriteFile(in, HandBuiltFile()); }, 0, "", true},
        ToolCase{"pack_missing_input", {"pack", "{in}", "{out}"}, nullptr, 1,
                 "lzh: cannot open {in}: No such file or directory\n", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ToolOutput, UnpackWritesTheDecodedBytes) {
  testing_lzh::TempDir dir;
  WriteFile(dir.Path("in"), HandBuiltFile());
  ASSERT_EQ(RunTool(dir, {"unpack", dir.Path("in"), dir.Path("out")}).exit_code, 0);
  const std::string expected = "tool test tool test tool test tool test tool test ";
  EXPECT_EQ(ReadFile(dir.Path("out")), Bytes(expected.begin(), expected.end()));
}

TEST(ToolOutput, PackThenUnpackGivesTheOriginal) {
  testing_lzh::TempDir dir;
  const Bytes original = ReadFile(LZH_SAMPLE_PE);  // a real binary
  ASSERT_FALSE(original.empty());
  WriteFile(dir.Path("original"), original);
  ASSERT_EQ(RunTool(dir, {"pack", dir.Path("original"), dir.Path("packed")}).exit_code, 0);
  const ToolResult r = RunTool(dir, {"unpack", dir.Path("packed"), dir.Path("restored")});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(ReadFile(dir.Path("restored")) == original);
}

}  // namespace
