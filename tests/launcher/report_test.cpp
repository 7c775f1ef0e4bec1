// The standard report of an exception that escapes the program, and the texts
// of the class library's exceptions.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "fake_os.h"
#include "platform/application.h"
#include "platform/exceptions.h"
#include "report_matchers.h"

namespace platform {
namespace {

using testing_launcher::FakeOs;
using testing_launcher::ParseReport;
using testing_launcher::ScopedOs;

struct PeriodCase {
  const char* message;
  const char* shown;
};

class ReportPeriodTest : public ::testing::TestWithParam<PeriodCase> {};

TEST_P(ReportPeriodTest, AddsAPeriodOnlyToATextWithoutOne) {
  const std::string text = FormatExceptionReport("EResNotFound", "Setup_Tolvex.exe",
                                                 reinterpret_cast<const void*>(0x401A2C),
                                                 GetParam().message);
  EXPECT_EQ(text, std::string("Exception EResNotFound im Modul Setup_Tolvex.exe bei ") +
                      std::string(2 * sizeof(void*) - 6, '0') + "401A2C.\n" + GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportPeriodTest,
    ::testing::Values(PeriodCase{"Ressource Test9 nicht gefunden", "Ressource Test9 nicht gefunden."},
                      PeriodCase{"Stream-Write-Fehler ", "Stream-Write-Fehler ."},
                      PeriodCase{"Schon mit Punkt.", "Schon mit Punkt."},
                      PeriodCase{"", ""}));

// Runs body under the standard report with a FakeOs and returns the fake.
template <class Body>
int Report(FakeOs& os, Body body) {
  ScopedOs scope(&os);
  return RunWithStandardReport(body);
}

TEST(StandardReportTest, ShowsTheRaisedClassModuleAndMessageInATaskModalErrorBox) {
  FakeOs os;
  const int code = Report(os, [] { throw EFCreateError(FormatText(kFCreateErrorText, "C:\\x")); });
  EXPECT_EQ(code, 1);
  EXPECT_EQ(os.message_caption, "Anwendungsfehler");
  EXPECT_EQ(os.message_flags, kMbIconError | kMbTaskModal);
  EXPECT_EQ(os.message_flags, 0x2010u);
  const auto r = ParseReport(os.message_text);
  ASSERT_TRUE(r.well_formed) << os.message_text;
  EXPECT_EQ(r.class_name, "EFCreateError");
  EXPECT_EQ(r.module, "Setup_Tolvex.exe");
  EXPECT_NE(r.address.find_first_not_of('0'), std::string::npos) << "no raise address";
  EXPECT_EQ(r.message, "Kann Datei C:\\x nicht erstellen.");
}

TEST(StandardReportTest, ReportsNothingAndGivesZeroWhenTheBodyReturns) {
  FakeOs os;
  EXPECT_EQ(Report(os, [] {}), 0);
  EXPECT_TRUE(os.calls.empty());
}

TEST(StandardReportTest, LackOfMemoryIsReportedAsEOutOfMemory) {
  FakeOs os;
  EXPECT_EQ(Report(os, [] { throw std::bad_alloc(); }), 1);
  const auto r = ParseReport(os.message_text);
  ASSERT_TRUE(r.well_formed) << os.message_text;
  EXPECT_EQ(r.class_name, "EOutOfMemory");
  EXPECT_EQ(r.message, "Speicher reicht nicht aus.");
}

TEST(StandardReportTest, AnObjectThatIsNoExceptionHasAnEmptyMessage) {
  FakeOs os;
  EXPECT_EQ(Report(os, [] { throw 42; }), 1);
  const auto r = ParseReport(os.message_text);
  ASSERT_TRUE(r.well_formed) << os.message_text;
  EXPECT_EQ(r.message, "");
}

TEST(ExceptionClassesTest, CarryTheirNamesAndDeriveAsTheClassLibraryDoes) {
  const EWriteError write(kWriteErrorText);
  const EFilerError* filer = &write;
  const EStreamError* stream = filer;
  EXPECT_STREQ(stream->ClassName(), "EWriteError");
  const EFCreateError create("x");
  EXPECT_NE(dynamic_cast<const EStreamError*>(&create), nullptr);
  const EResNotFound missing("x");
  EXPECT_EQ(dynamic_cast<const EStreamError*>(static_cast<const Exception*>(&missing)), nullptr);
  EXPECT_STREQ(missing.ClassName(), "EResNotFound");
  EXPECT_EQ(std::string(kResNotFoundText), "Ressource %s nicht gefunden");
  EXPECT_EQ(std::string(kWriteErrorText), "Stream-Write-Fehler ");
  EXPECT_EQ(FormatText(kResNotFoundText, "Test9"), "Ressource Test9 nicht gefunden");
}

TEST(MakeOSErrorTest, GivesTheCodeAndTheSystemMessageOrTheTextForNoCode) {
  FakeOs os;
  ScopedOs scope(&os);
  const EOSError with_code = MakeOSError(5);
  EXPECT_EQ(with_code.Message(), "Systemfehler. Code: 5.\r\nMeldung 5.");
  EXPECT_STREQ(with_code.ClassName(), "EOSError");
  EXPECT_EQ(MakeOSError(0).Message(), "Ein Aufruf einer Betriebssystemfunktion ist fehlgeschlagen");
}

}  // namespace
}  // namespace platform
