#include <gtest/gtest.h>

#include "link/status_line.h"
#include "link/trace_log.h"
#include "platform/fake/fake_platform.h"

namespace quillet {
namespace {

TEST(TraceLog, EveryKindHasItsSixCharacterPrefix) {
  const std::pair<int, const char*> kinds[] = {
      {0, "put:  "}, {1, "got:  "}, {2, "gto:  "}, {3, "info: "},   {4, "info: "},
      {5, "rply: "}, {6, "info: "}, {7, "info: "}, {100, "info: "}, {-1, "info: "},
  };
  for (auto [kind, prefix] : kinds) {
    fake::FakePlatform os;
    TraceLog trace(os);
    trace.Attach(os.OpenAppendFile("trace.txt"));
    trace.WriteTrace("\rAT+CGMI\r", kind);
    EXPECT_EQ(os.files["trace.txt"], std::string(prefix) + "\rAT+CGMI\r\r\n") << kind;
  }
}

TEST(TraceLog, WithoutSinkNothingIsWritten) {
  fake::FakePlatform os;
  TraceLog trace(os);
  trace.WriteTrace("OnInit started", kTraceInfo);
  trace.Close();
  EXPECT_TRUE(os.files.empty());
  EXPECT_TRUE(os.closedHandles.empty());
}

TEST(TraceLog, EnvironmentVariableAttachesAnAppendingFile) {
  fake::FakePlatform os;
  os.files["q.log"] = "earlier\r\n";
  os.environment["QUILLET_TRACE"] = "q.log";
  TraceLog trace(os);
  trace.AttachFromEnvironment("QUILLET_TRACE");
  ASSERT_TRUE(trace.attached());
  trace.WriteTrace("", kTraceTimeout);
  trace.WriteTrace(std::string("a\0b", 3), kTraceGot);
  EXPECT_EQ(os.files["q.log"], std::string("earlier\r\ngto:  \r\ngot:  a\0b\r\n", 28));
  trace.Close();
  trace.Close();
  EXPECT_EQ(os.closedHandles.size(), 1u);
  EXPECT_EQ(os.badCloses, 0);
}

TEST(TraceLog, UnsetEnvironmentLeavesTraceOff) {
  fake::FakePlatform os;
  TraceLog trace(os);
  trace.AttachFromEnvironment("QUILLET_TRACE");
  EXPECT_FALSE(trace.attached());
}

TEST(StatusLine, StoresAtMost151BytesButTheDialogGetsAll) {
  const std::size_t lengths[] = {0, 1, 150, 151, 152, 400};
  for (std::size_t n : lengths) {
    fake::FakePlatform os;
    auto lock = os.CreateLock();
    StatusLine status(os);
    status.SetLock(lock.get());
    status.AttachDialog(77);
    std::string text(n, 'x');
    status.SetStatus(text);
    EXPECT_EQ(status.Text(), text.substr(0, 151)) << n;
    EXPECT_EQ(os.dialog.postedUpdates, 1) << "the monitor thread only posts";
    EXPECT_TRUE(os.controlTexts.empty());
    std::string shown;
    ASSERT_TRUE(status.TextForDialog(77, &shown));
    EXPECT_EQ(shown, text);
  }
}

TEST(StatusLine, ClosedDialogOnlyStoresAndOpenedDialogSeesLatest) {
  fake::FakePlatform os;
  StatusLine status(os);
  status.SetStatus("Comport busy.");
  EXPECT_EQ(os.dialog.postedUpdates, 0);
  EXPECT_EQ(status.Text(), "Comport busy.");
  EXPECT_EQ(status.AttachDialog(5), "Comport busy.");
  status.SetStatus("Disabled.");
  EXPECT_EQ(os.dialog.postedUpdates, 1);
  status.DetachDialog();
  std::string shown;
  EXPECT_FALSE(status.TextForDialog(5, &shown)) << "an update arriving late writes nothing";
  status.SetStatus("Standing by for connection.");
  EXPECT_EQ(os.dialog.postedUpdates, 1);
  EXPECT_EQ(status.Text(), "Standing by for connection.");
}

}  // namespace
}  // namespace quillet
