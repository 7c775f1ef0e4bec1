// One list of rows: the code's PayloadManifest, payload/manifest.tsv and the
// resources the build embedded into each launcher must agree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "launcher/payload_manifest.h"
#include "process_runner.h"

namespace {

namespace fs = std::filesystem;

struct Row {
  std::string resource, target;
};

std::vector<Row> ManifestRows() {
  std::ifstream in(MANIFEST_TSV);
  std::vector<Row> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string number, resource, target;
    std::getline(fields, number, '\t');
    std::getline(fields, resource, '\t');
    std::getline(fields, target, '\t');
    rows.push_back({resource, target});
  }
  return rows;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

TEST(ManifestAgreementTest, PayloadManifestIsTheTableOfManifestTsvInItsOrder) {
  const auto rows = ManifestRows();
  ASSERT_EQ(rows.size(), launcher::PayloadManifest.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(launcher::PayloadManifest[i].ResourceName, "Test" + std::to_string(i + 1));
    EXPECT_EQ(launcher::PayloadManifest[i].ResourceName, rows[i].resource) << "row " << i + 1;
    EXPECT_EQ(launcher::PayloadManifest[i].TargetFileName, rows[i].target) << "row " << i + 1;
  }
  EXPECT_STREQ(launcher::PayloadManifest[16].TargetFileName, "Setup.ex_");
}

struct Listing {
  const char* file;  // the resource listing the build wrote beside the launcher
  const char* omitted;
};

class EmbeddedResourcesTest : public ::testing::TestWithParam<Listing> {};

TEST_P(EmbeddedResourcesTest, EmbedEveryRowButTheOmittedOnesFromTheStagedFiles) {
  std::ifstream in(fs::path(RESOURCE_LISTING_DIR) / GetParam().file);
  ASSERT_TRUE(in) << GetParam().file;
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);

  std::vector<std::string> expected;
  for (const auto& row : launcher::PayloadManifest) {
    if (std::string(row.ResourceName) == GetParam().omitted) continue;
    expected.push_back("FILE " + Upper(row.ResourceName) + " " + row.TargetFileName);
  }
  std::vector<std::string> embedded;
  for (const auto& line : lines) {
    // "FILE TESTn <payload dir>/<file>": keep the file name only.
    const auto space = line.find(' ', 5);
    const fs::path file = line.substr(space + 1);
    embedded.push_back(line.substr(0, space) + " " + file.filename().string());
    EXPECT_TRUE(fs::is_regular_file(file)) << file;
  }
  EXPECT_EQ(embedded, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Launchers, EmbeddedResourcesTest,
    ::testing::Values(Listing{"Setup_Tolvex_resources.txt", ""},
                      Listing{"Setup_Tolvex_NoTest9_resources.txt", "Test9"},
                      Listing{"Setup_Tolvex_BadSetup_resources.txt", ""}));

}  // namespace
