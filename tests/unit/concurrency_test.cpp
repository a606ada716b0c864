// The state the host's thread and the monitor thread share, hammered from two
// real threads at once, so that ThreadSanitizer sees every access that the
// fake platform's turn-taking would otherwise keep apart.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "link/link.h"
#include "link/port_name.h"
#include "platform/fake/fake_platform.h"

namespace quillet {
namespace {

constexpr int kRounds = 20000;

TEST(SharedState, StatusLineBetweenTheMonitorAndTheDialog) {
  fake::FakePlatform os;
  auto lock = os.CreateLock();
  StatusLine status(os);
  status.SetLock(lock.get());
  std::thread monitor([&] {
    for (int i = 0; i < kRounds; ++i) status.SetStatus(i % 2 ? "Comport busy." : "Disabled.");
  });
  int shown = 0;
  for (int i = 0; i < kRounds; ++i) {
    const std::string attached = status.AttachDialog(0xD1A1);
    std::string text;
    if (status.TextForDialog(0xD1A1, &text)) ++shown;
    EXPECT_TRUE(attached.empty() || attached == "Disabled." || attached == "Comport busy.");
    EXPECT_EQ(status.Text().find('\0'), std::string::npos);
    status.DetachDialog();
  }
  monitor.join();
  EXPECT_EQ(shown, kRounds) << "an attached dialog always gets its text";
}

TEST(SharedState, PortNameBetweenTheDialogAndTheMonitor) {
  fake::FakePlatform os;
  Link link(os);
  auto lock = os.CreateLock();
  link.SetDialogLock(lock.get());
  std::string stored = "COM1";
  link.portName = [&] { return ReadPortName(link, stored); };
  std::atomic<bool> done{false};
  std::thread dialog([&] {
    for (int i = 0; i < kRounds; ++i) ChangePortName(link, stored, i % 2 ? "COM12" : "COM1");
    done = true;
  });
  while (!done) {
    const std::string name = link.portName();
    ASSERT_TRUE(name == "COM1" || name == "COM12") << name;
    link.portChangePending.exchange(false);
  }
  dialog.join();
}

}  // namespace
}  // namespace quillet
