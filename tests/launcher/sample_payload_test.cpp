// The sample payload is of the kinds the payload table gives: Windows-1252
// text with CR LF, the list file in its INI form, an icon with two 32x32
// images, style files, real PE programs and DLLs, and compressed rows that
// declare their plain file's length.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "launcher/payload_manifest.h"
#include "process_runner.h"

namespace {

namespace fs = std::filesystem;
using testing_launcher::ReadText;

std::string Release(const std::string& name) { return ReadText((fs::path(SAMPLE_RELEASE_DIR) / name).string()); }
std::string Staged(const std::string& name) { return ReadText((fs::path(SAMPLE_STAGE_DIR) / name).string()); }

std::uint32_t U16(const std::string& b, std::size_t at) {
  return static_cast<unsigned char>(b.at(at)) | static_cast<unsigned char>(b.at(at + 1)) << 8;
}
std::uint32_t U32(const std::string& b, std::size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

// Lines end with CR LF only: no lone CR and no lone LF.
bool OnlyCrLf(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
  }
  return true;
}

class GermanTextTest : public ::testing::TestWithParam<const char*> {};

TEST_P(GermanTextTest, IsWindows1252WithCrLf) {
  const std::string text = Release(GetParam());
  ASSERT_FALSE(text.empty());
  EXPECT_TRUE(OnlyCrLf(text));
  EXPECT_NE(text.find('\xFC'), std::string::npos) << "no u-umlaut in Windows-1252";
  EXPECT_EQ(text.find("\xC3\xBC"), std::string::npos) << "UTF-8 instead of Windows-1252";
  for (unsigned char c : text)
    EXPECT_TRUE(c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D)
        << "byte " << int(c) << " is not in Windows-1252";
}

INSTANTIATE_TEST_SUITE_P(Texts, GermanTextTest, ::testing::Values("Readme.txt", "Terms.txt"));

TEST(ListFileTest, HasTheSectionsAndKeysInOrderAndNoFinalLineEnd) {
  const std::string text = Release("Setup.lst");
  EXPECT_TRUE(OnlyCrLf(text));
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
  std::vector<std::string> lines;
  for (std::size_t at = 0; at <= text.size();) {
    std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  std::vector<std::string> shape;  // sections and keys
  std::vector<std::string> programfiles;
  std::string section;
  for (const auto& line : lines) {
    if (line.front() == '[') {
      section = line;
      shape.push_back(line);
      continue;
    }
    const auto eq = line.find('=');
    ASSERT_NE(eq, std::string::npos) << line;
    ASSERT_LT(eq + 1, line.size()) << "empty value: " << line;
    shape.push_back(line.substr(0, eq));
    if (section == "[programfiles]") programfiles.push_back(line.substr(eq + 1));
  }
  std::vector<std::string> expected = {"[General]", "Name", "defaultPath", "MobileOption",
                                       "[StartMenu]", "Folder", "[programfiles]"};
  for (int i = 1; i <= 16; ++i) expected.push_back(std::to_string(i));
  for (const char* s : {"[Group]", "Name", "[Items]", "Tolvex.exe", "Readme.txt", "Terms.txt",
                        "Uninstal.exe"})
    expected.push_back(s);
  EXPECT_EQ(shape, expected);
  ASSERT_EQ(programfiles.size(), 16u);
  for (std::size_t i = 0; i < 16; ++i)
    EXPECT_EQ(programfiles[i], launcher::PayloadManifest[i].TargetFileName);
  EXPECT_NE(text.find("MobileOption=1\r\n"), std::string::npos);
}

TEST(IconTest, HoldsTwo32By32ImagesAt8And32BitsPerPixel) {
  const std::string ico = Release("Shortcut.ico");
  ASSERT_GE(ico.size(), 6u + 2 * 16);
  EXPECT_EQ(U16(ico, 0), 0u);
  EXPECT_EQ(U16(ico, 2), 1u);  // icon
  ASSERT_EQ(U16(ico, 4), 2u);
  const std::uint32_t depths[] = {8, 32};
  for (int i = 0; i < 2; ++i) {
    const std::size_t entry = 6 + 16 * i;
    EXPECT_EQ(static_cast<unsigned char>(ico[entry]), 32);
    EXPECT_EQ(static_cast<unsigned char>(ico[entry + 1]), 32);
    EXPECT_EQ(U16(ico, entry + 6), depths[i]);
    const std::uint32_t size = U32(ico, entry + 8), offset = U32(ico, entry + 12);
    ASSERT_LE(std::uint64_t{offset} + size, ico.size());
    // The image: a DIB header of 40 bytes, height counting image and mask.
    EXPECT_EQ(U32(ico, offset), 40u);
    EXPECT_EQ(U32(ico, offset + 4), 32u);
    EXPECT_EQ(U32(ico, offset + 8), 64u);
    EXPECT_EQ(U16(ico, offset + 14), depths[i]);
    const std::uint32_t palette = depths[i] == 8 ? 256 * 4 : 0;
    EXPECT_EQ(size, 40 + palette + 32 * 32 * depths[i] / 8 + 32 * 4);
  }
}

class StyleFileTest : public ::testing::TestWithParam<const char*> {};

TEST_P(StyleFileTest, BeginsWithTheStyleSignature) {
  EXPECT_EQ(Release(GetParam()).substr(0, 13), "VCL_STYLE 2.0");
}

INSTANTIATE_TEST_SUITE_P(Styles, StyleFileTest,
                         ::testing::Values("StyleA.vsf", "StyleB.vsf", "StyleC.vsf", "StyleD.vsf",
                                           "StyleE.vsf", "StyleF.vsf"));

struct ProgramCase {
  const char* file;
  std::uint32_t machine;  // 0x14C i386, 0x8664 x86-64
  bool dll;
};

class ProgramKindTest : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramKindTest, IsAWindowsImageOfItsMachine) {
  const std::string pe = Release(GetParam().file);
  ASSERT_GE(pe.size(), 0x40u);
  EXPECT_EQ(pe.substr(0, 2), "MZ");
  const std::uint32_t header = U32(pe, 0x3C);
  ASSERT_LT(header + 24u, pe.size());
  EXPECT_EQ(pe.substr(header, 4), std::string("PE\0\0", 4));
  EXPECT_EQ(U16(pe, header + 4), GetParam().machine);
  const bool dll = (U16(pe, header + 22) & 0x2000) != 0;
  EXPECT_EQ(dll, GetParam().dll);
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramKindTest,
                         ::testing::Values(ProgramCase{"Tolvex.exe", 0x14C, false},
                                           ProgramCase{"Plenum.dll", 0x14C, true},
                                           ProgramCase{"Vantor.exe", 0x8664, false},
                                           ProgramCase{"TolvexMail.exe", 0x14C, false},
                                           ProgramCase{"Kestrum.exe", 0x14C, false},
                                           ProgramCase{"Norvik.bin", 0x14C, false}));

TEST(HelpFileTest, BeginsWithTheCompiledHelpSignature) {
  EXPECT_EQ(Release("Tolvex.chm").substr(0, 4), "ITSF");
}

struct CompressedCase {
  const char* staged;
  const char* plain;
};

class CompressedRowTest : public ::testing::TestWithParam<CompressedCase> {};

TEST_P(CompressedRowTest, DeclaresThePlainFilesLength) {
  const std::string packed = Staged(GetParam().staged);
  const std::string plain = Release(GetParam().plain);
  ASSERT_GE(packed.size(), 8u);
  EXPECT_EQ(packed.substr(0, 4), "!HZL");
  EXPECT_EQ(U32(packed, 4), plain.size());
  EXPECT_FALSE(plain.empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, CompressedRowTest,
                         ::testing::Values(CompressedCase{"Tolvex.ex_", "Tolvex.exe"},
                                           CompressedCase{"Plenum.dl_", "Plenum.dll"},
                                           CompressedCase{"Vantor.ex_", "Vantor.exe"},
                                           CompressedCase{"Tolvex.ch_", "Tolvex.chm"},
                                           CompressedCase{"TolvexMail.ex_", "TolvexMail.exe"},
                                           CompressedCase{"Kestrum.ex_", "Kestrum.exe"},
                                           CompressedCase{"Setup.ex_", "Setup.exe"}));

TEST(StoredRowTest, StagedStoredRowsAreTheReleaseFilesUnchanged) {
  for (const auto& row : launcher::PayloadManifest) {
    const std::string name = row.TargetFileName;
    if (name.back() == '_') continue;
    EXPECT_TRUE(Staged(name) == Release(name)) << name;
  }
}

}  // namespace
