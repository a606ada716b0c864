// quillet-phone: a simulated mobile phone on a pseudo-terminal. Prints the
// slave's path, answers AT commands on it, takes control commands on stdin
// and reports events as JSON lines on stdout (see README.md).

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "control.h"
#include "event_output.h"
#include "json_events.h"
#include "modem_lines.h"
#include "phone_model.h"
#include "pty_port.h"
#include "realtime_transport.h"

namespace quillet::phone {
namespace {

static_assert(kTiocmDsr == TIOCM_DSR && kTiocmCts == TIOCM_CTS && kTiocmCar == TIOCM_CAR,
              "modem-line bits differ from this system's");

volatile sig_atomic_t stopSignal = 0;
void OnStopSignal(int) {
  stopSignal = 1;
}

struct Options {
  std::string modemDir;
  bool dsr = true;
  bool newer = false;  // the later generation's accessory commands
};

void Usage() {
  std::fprintf(stderr,
               "usage: quillet-phone [--modem-dir DIR] [--dsr on|off] [--generation older|newer]\n"
               "  DIR defaults to $QUILLET_MODEM_DIR; control commands on stdin,\n"
               "  events as JSON lines on stdout.\n");
}

bool ParseOptions(int argc, char** argv, Options* options) {
  if (const char* dir = std::getenv("QUILLET_MODEM_DIR")) options->modemDir = dir;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--modem-dir" && i + 1 < argc) {
      options->modemDir = argv[++i];
    } else if (arg == "--dsr" && i + 1 < argc) {
      std::string state = argv[++i];
      if (state != "on" && state != "off") return false;
      options->dsr = state == "on";
    } else if (arg == "--generation" && i + 1 < argc) {
      std::string generation = argv[++i];
      if (generation != "older" && generation != "newer") return false;
      options->newer = generation == "newer";
    } else {
      return false;
    }
  }
  return true;
}

class EventObserver : public PhoneObserver {
 public:
  explicit EventObserver(EventOutput& events) : events_(events) {}

  void OnCommand(const std::string& line, const std::string& result) override {
    events_.Print(events_.Event("rx").Text("cmd", line).Text("result", result));
  }
  void OnRefused(const std::string& line, const std::string& why) override {
    events_.Print(events_.Event("refused").Text("cmd", line).Text("why", why));
  }
  void OnScreen(ScreenChange change, const Screen& screen) override {
    json::Object event = events_.Event(ScreenChangeName(change));
    switch (change) {
      case ScreenChange::Accessory:
        event.Text("title", screen.accessory.value_or(""));
        break;
      case ScreenChange::Menu:
        event.Raw("menu", json::Menu(*screen.menu));
        break;
      case ScreenChange::Dialog:
        event.Raw("dialog", json::DialogObject(*screen.dialog));
        break;
      case ScreenChange::DialogClosed:
      case ScreenChange::MenuLeft:
        event.Raw("screen", json::ScreenObject(screen));
        break;
      case ScreenChange::Calls:
        event.Raw("calls", json::Calls(screen.calls));
        break;
    }
    events_.Print(event);
  }
  void OnAway(bool away) override { events_.Print(events_.Event("away").Bool("on", away)); }
  void OnLost(std::string_view bytes) override {
    events_.Print(events_.Event("lost").Text("bytes", bytes));
  }

 private:
  EventOutput& events_;
};

class Program {
 public:
  Program(PtyPair pty, std::unique_ptr<ModemLinesFile> modem)
      : pty_(std::move(pty)),
        modem_(std::move(modem)),
        transport_(pty_.master, modem_.get(), events_),
        model_(transport_),
        observer_(events_) {
    model_.SetObserver(&observer_);
  }

  int Run(bool dsr, bool newer) {
    model_.SetNewer(newer);
    model_.SetDsr(dsr);
    json::Object ready = events_.Event("ready");
    ready.Text("pty", pty_.slavePath)
        .Raw("modem", modem_ ? json::Quote(modem_->path()) : "null")
        .Number("pid", getpid());
    events_.Print(ready);
    while (!quit_ && !stopSignal && !events_.failed()) Step();
    if (modem_) modem_->Write(ModemBits(false), nullptr);
    events_.Print(events_.Event("bye"));
    ClosePty(&pty_);
    return 0;
  }

 private:
  void Step() {
    pollfd fds[2] = {};
    fds[0].fd = stdinOpen_ ? STDIN_FILENO : -1;
    fds[0].events = POLLIN;
    fds[1].fd = pty_.master;
    fds[1].events = static_cast<short>(POLLIN | (transport_.WantsWrite() ? POLLOUT : 0));
    // Bounded, so that a stop signal landing just before poll is seen soon.
    int due = transport_.MsUntilDue();
    if (backAtMs_) {
      const std::uint64_t now = events_.NowMs();
      const int back = *backAtMs_ <= now ? 0 : static_cast<int>(*backAtMs_ - now);
      if (due < 0 || back < due) due = back;
    }
    int ready = poll(fds, 2, due < 0 || due > 1000 ? 1000 : due);
    if (ready < 0 && errno != EINTR) {
      events_.Print(events_.Event("io-error").Text("msg", std::strerror(errno)));
      quit_ = true;
      return;
    }
    if (ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) ReadControl();
    if (ready > 0 && (fds[1].revents & POLLIN)) ReadLine();
    if (backAtMs_ && *backAtMs_ <= events_.NowMs()) {
      backAtMs_.reset();
      model_.SetAway(false);
    }
    transport_.Pump();
  }

  void ReadLine() {
    char buffer[4096];
    ssize_t n = read(pty_.master, buffer, sizeof buffer);
    if (n > 0) model_.Receive(std::string_view(buffer, static_cast<std::size_t>(n)));
  }

  void ReadControl() {
    char buffer[4096];
    ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) return;
    if (n <= 0) {
      // The driver went away: nobody is left to tell us to stop.
      stdinOpen_ = false;
      quit_ = true;
      return;
    }
    control_.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end; !quit_ && (end = control_.find('\n')) != std::string::npos;) {
      std::string line = control_.substr(0, end);
      control_.erase(0, end + 1);
      Control(line);
    }
  }

  void Control(const std::string& line) {
    ControlOutcome outcome = RunControl(model_, line);
    // A timed absence ends on its own, unless `away` again or `return` came first.
    if (outcome.backInMs && *outcome.backInMs > 0) {
      backAtMs_ = events_.NowMs() + *outcome.backInMs;
    } else if (outcome.backInMs || !model_.away()) {
      backAtMs_.reset();
    }
    switch (outcome.kind) {
      case ControlOutcome::Kind::Ignored:
        return;
      case ControlOutcome::Kind::Done:
        break;
      case ControlOutcome::Kind::Screen:
        // With the newer set's objects that are up, a replaced one until its deletion.
        events_.Print(events_.Event("screen")
                          .Raw("screen", json::ScreenObject(model_.screen()))
                          .Number("objects", static_cast<std::int32_t>(model_.objects().size())));
        break;
      case ControlOutcome::Kind::History:
        events_.Print(events_.Event("history").Raw("cmds", json::Array(model_.history())));
        break;
      case ControlOutcome::Kind::Quit:
        quit_ = true;
        break;
      case ControlOutcome::Kind::Error:
        events_.Print(events_.Event("error").Text("cmd", line).Text("msg", outcome.error));
        return;
    }
    events_.Print(events_.Event("ack").Text("cmd", line));
  }

  EventOutput events_;
  PtyPair pty_;
  std::unique_ptr<ModemLinesFile> modem_;
  RealtimeTransport transport_;
  PhoneModel model_;
  EventObserver observer_;
  std::string control_;
  std::optional<std::uint64_t> backAtMs_;  // when a phone away for a while comes back
  bool stdinOpen_ = true;
  bool quit_ = false;
};

}  // namespace
}  // namespace quillet::phone

int main(int argc, char** argv) {
  using namespace quillet::phone;
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    Usage();
    return 2;
  }
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  PtyPair pty;
  std::string error;
  if (!OpenRawPty(&pty, &error)) {
    std::fprintf(stderr, "quillet-phone: %s\n", error.c_str());
    return 1;
  }
  std::unique_ptr<ModemLinesFile> modem;
  if (!options.modemDir.empty()) {
    modem = std::make_unique<ModemLinesFile>(options.modemDir, pty.slavePath);
  }
  return Program(std::move(pty), std::move(modem)).Run(options.dsr, options.newer);
}
