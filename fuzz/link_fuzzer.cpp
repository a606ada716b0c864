// Fuzzes the receive side of the phone link: random bytes from the phone in
// random chunks at random virtual times, interleaved with ReadLine, WaitReply
// and SendCommand against the simulated phone, which answers the commands.
//
// Checked after every call (abort on violation):
// - ReadLine(false) never waits a read out: each of its reads ends before the
//   port's read time-out (a silent port costs ReadLine(true) that time-out);
// - the shared overlapped record is never misused, no handle is closed twice,
//   and every trace record is written whole;
// - once set up, the cursor lies in [0, ReceiveBuffer::kSize), a zero follows
//   it within the buffer, and that zero lies at most at kMaxRead;
// - ReceiveDrained: after ReadLine returns a complete line ("got:" trace) it
//   is true exactly when the byte at the cursor is zero; after a time-out
//   ("gto:") it is true; after WaitReply found its line, true exactly when the
//   byte at the cursor is zero; after WaitReply gave up, false;
// - exact accounting: a reference model replays the call's port log (reads,
//   writes, sleeps, trace records, in order) and predicts its result, the
//   cursor, and the unconsumed text byte for byte. So every non-NUL byte the
//   port delivered is still unconsumed, or was consumed in stream order by
//   ReadLine (skipped terminators, the line, its terminator), or was cut out
//   whole by WaitReply as a complete line that matched, the first such line;
// - conservation at the port: bytes read plus bytes still queued equal bytes
//   the fuzzer and the phone sent.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fake_port_phone.h"
#include "link/at_transaction.h"
#include "link/line_reader.h"
#include "link/link.h"
#include "link/phone_commands.h"
#include "platform/fake/fake_platform.h"
#include "receive_model.h"
#include "recording_platform.h"
#include "replay.h"

namespace quillet::fuzzing {
namespace {

constexpr int kMaxCalls = 200;
constexpr std::size_t kMaxBytesPerInput = 256 * 1024;
// The fake port keeps its schedule sorted; many pieces make every input slow.
constexpr std::size_t kMaxPiecesPerInput = 2048;
constexpr int kMaxDrainLines = 1000;

// LINK_FUZZER_VERBOSE=1 lists every call and its result, to follow an input.
const bool kVerbose = std::getenv("LINK_FUZZER_VERBOSE") != nullptr;

void Say(const std::string& call, const std::string& result, const Link& link) {
  if (!kVerbose) return;
  std::fprintf(stderr, "%s -> %s  [cursor %ld, drained %d]\n", call.c_str(), result.c_str(),
               link.rx.cursor, link.rx.drained ? 1 : 0);
}

const char* const kTokens[] = {"OK\r\n",
                               "\r\nOK\r\n",
                               "ERROR\r\n",
                               "+CME ERROR: 10\r\n",
                               "+CMS ERROR: 1\r\n",
                               "\r\n",
                               "\r",
                               "\n",
                               "\rAT+CMEE=1\r",
                               "AT+CGMI\r\n",
                               "*EAAI\r\n",
                               "*EAMI: 3\r\n",
                               "*EAII: 0,12\r\n",
                               "RING\r\n",
                               "SimPhone\r\n",
                               "AT",
                               "OKAY\r\n",
                               "\n\r",
                               "OK",
                               "ATLAS\r\n",
                               "\r\nERROR\r\n",
                               "\rAT+CGMM\r\r\n",
                               "+CKEV: 6,1\r\n",
                               "\r\n+CKEV: :J,0\r\n",
                               "+CKEV: ,\r\n"};

const char* const kCommands[] = {"+CMEE=1",
                                 "*EAM=\"Winamp\"",
                                 "+CNMI=3,1",
                                 "+CNMI=1,1",
                                 "+CGMI",
                                 "+CGMM",
                                 "E0",
                                 "E1",
                                 "",
                                 "*EASM=\"Menu\", 1, 1, 1",
                                 "+CMER=3,2,0,0,0",
                                 "+CMER=0,0,0,0,0"};

const char* const kRulePrefixes[] = {"", "+CMEE", "*EAM", "+CNMI", "+CGMI", "+CGMM"};

const char* const kCodes[] = {"*EAAI", "*EAMI: 2", "*EAII: 11,\"CAT\"", "RING",
                              "OK",    "AT",       "+CKEV: v,1",        "+CKEV: v,0"};

template <typename T, std::size_t N>
const T& Pick(const T (&table)[N], std::uint8_t index) {
  return table[index % N];
}

// Reads the input front to back; past its end every value is zero.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool done() const { return at_ >= size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint16_t Word() {
    std::uint16_t high = Byte();
    return static_cast<std::uint16_t>(high << 8 | Byte());
  }
  std::string Bytes(std::size_t count) {
    std::size_t take = std::min(count, size_ - std::min(at_, size_));
    std::string bytes(reinterpret_cast<const char*>(data_ + at_), take);
    at_ += take;
    return bytes;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

class Harness {
 public:
  explicit Harness(bool wineQuirks) : phone_(os_), recorder_(os_), link_(recorder_) {
    os_.wineQuirks = wineQuirks;
    link_.trace.Attach(recorder_.OpenAppendFile("trace.log"));
    OpenPort();
  }

  void Run(Input& in);

 private:
  void OpenPort() {
    link_.state.port = recorder_.OpenPort("COM1");
    recorder_.SetPortTimeouts(link_.state.port, kPortTimeouts);
    link_.state.overlapped.event = recorder_.CreateEvent(nullptr);
  }
  void Deliver(std::string bytes, std::uint32_t delayMs) {
    if (delivered_ + bytes.size() > kMaxBytesPerInput || pieces_ == kMaxPiecesPerInput) return;
    delivered_ += bytes.size();
    ++pieces_;
    phone_.device().Deliver(std::move(bytes), os_.VirtualMs() + delayMs);
  }
  void TweakPhone(Input& in);

  // Every call on the link is bracketed by these two.
  void Begin() {
    recorder_.events.clear();
    model_.portOpen = link_.state.port != kNoHandle;
    model_.stopping = link_.stopping();
  }
  void CheckState(const std::string& call);

  void CallReadLine(bool wait);
  void CallWaitReply(std::string_view prefix, bool wait);
  void CallSendCommand(std::string_view command);

  fake::FakePlatform os_;
  testing::FakePortPhone phone_;
  RecordingPlatform recorder_;
  Link link_;
  ReceiveModel model_;
  std::size_t delivered_ = 0;
  std::size_t pieces_ = 0;
  std::size_t read_ = 0;  // every byte reads brought, NULs included
};

void Harness::CheckState(const std::string& call) {
  const ReceiveBuffer& rx = link_.rx;
  auto check = [&](bool ok, const std::string& what) {
    if (!ok) Fail(call + ": " + what);
  };
  check(os_.overlappedMisuse == 0, "an operation was started on a pending overlapped record");
  check(os_.badCloses == 0, "a handle was closed that was not open");
  check(recorder_.malformedTraces == 0, "a trace record was not written whole");
  os_.files["trace.log"].clear();
  for (const PortEvent& event : recorder_.events) {
    if (event.type == PortEvent::Type::ReadDone) read_ += event.bytes.size();
  }
  check(read_ + phone_.device().pendingBytes() == delivered_ + phone_.bytesSent(),
        "bytes were lost or duplicated at the port");
  if (rx.cursor < 0) {
    check(rx.cursor == -1 && model_.cursor == -1, "cursor unset, but not as at start");
    return;
  }
  check(rx.cursor < static_cast<long>(ReceiveBuffer::kSize), "cursor past the buffer");
  const char* start = rx.bytes + rx.cursor;
  const void* zero = std::memchr(start, '\0', ReceiveBuffer::kSize - rx.cursor);
  check(zero != nullptr, "no zero at or after the cursor");
  const char* end = static_cast<const char*>(zero);
  check(end - rx.bytes <= static_cast<long>(ReceiveBuffer::kMaxRead), "text ends past kMaxRead");
  check(rx.cursor == model_.cursor,
        "cursor " + std::to_string(rx.cursor) + ", model says " + std::to_string(model_.cursor));
  std::string_view unconsumed(start, static_cast<std::size_t>(end - start));
  check(unconsumed == model_.unconsumed,
        "unconsumed text " + Shown(unconsumed) + ", model says " + Shown(model_.unconsumed));
  check(rx.drained == model_.drained,
        "drained " + std::to_string(rx.drained) + ", model says " + std::to_string(model_.drained));
}

void Harness::CallReadLine(bool wait) {
  const std::string call = std::string("ReadLine(") + (wait ? "true" : "false") + ")";
  Begin();
  const std::uint64_t startMs = os_.VirtualMs();
  std::string line = ReadLine(link_, wait);
  Replay log(recorder_.events, call);
  std::string expected = model_.ReadLine(log);
  log.ExpectEnd();
  Say(call, Shown(line), link_);
  log.Check(line == expected, "returned " + Shown(line) + ", model says " + Shown(expected));
  if (!wait) {
    std::uint64_t issuedMs = startMs;
    for (const PortEvent& event : recorder_.events) {
      if (event.type == PortEvent::Type::ReadStarted) issuedMs = event.atMs;
      if (event.type != PortEvent::Type::ReadDone) continue;
      log.Check(event.atMs - issuedMs < kPortTimeouts.readTotalConstant,
                "ReadLine(false) waited out a read's time-out");
    }
  }
  const PortEvent& last = recorder_.events.back();
  const bool atZero = link_.rx.bytes[link_.rx.cursor] == '\0';
  if (last.prefix == "got:  ") {
    log.Check(link_.rx.drained == atZero, "drained disagrees with the byte at the cursor");
  } else {
    log.Check(last.prefix == "gto:  " && link_.rx.drained, "a time-out left drained false");
  }
  CheckState(call);
}

void Harness::CallWaitReply(std::string_view prefix, bool wait) {
  const std::string call = "WaitReply(" + Shown(prefix) + ", " + (wait ? "true" : "false") + ")";
  Begin();
  const std::uint64_t startMs = os_.VirtualMs();
  Reply reply = WaitReply(link_, prefix, wait, 1);
  Replay log(recorder_.events, call);
  ModelReply expected = model_.WaitReply(log, prefix, -1, startMs);
  log.ExpectEnd();
  Say(call, reply.found ? Shown(reply.line) : "not found", link_);
  log.Check(reply.found == expected.found && reply.line == expected.line,
            "replied " + Shown(reply.line) + ", model says " + Shown(expected.line));
  if (reply.found) {
    log.Check(static_cast<long>(reply.at) == expected.at, "reply at the wrong offset");
    log.Check(link_.rx.drained == (link_.rx.bytes[link_.rx.cursor] == '\0'),
              "drained disagrees with the byte at the cursor");
  } else {
    log.Check(!link_.rx.drained, "giving up left drained true");
  }
  CheckState(call);
}

void Harness::CallSendCommand(std::string_view command) {
  const std::string call = "SendCommand(" + Shown(command) + ")";
  Begin();
  bool ok = SendCommand(link_, command);
  Replay log(recorder_.events, call);
  bool expected = model_.SendCommand(log, command);
  log.ExpectEnd();
  Say(call, ok ? "true" : "false", link_);
  log.Check(ok == expected,
            "returned " + std::to_string(ok) + ", model says " + std::to_string(expected));
  CheckState(call);
}

void Harness::TweakPhone(Input& in) {
  std::uint8_t what = in.Byte();
  std::uint8_t value = in.Byte();
  phone::ReplyRule& rule = phone_.model().rules().Edit(Pick(kRulePrefixes, in.Byte()));
  switch (what % 9) {
    case 0:
      rule.result = static_cast<phone::ReplyRule::Result>(value % 5);
      rule.cmeCode = value;
      break;
    case 1:
      rule.echo = static_cast<phone::ReplyRule::Echo>(value % 4);
      break;
    case 2:
      rule.delayMs = value * 8u;
      break;
    case 3:
      rule.chunking = phone::Chunking{value % 8u, (value / 8u) * 5u};
      break;
    case 4:
      rule.interject = Pick(kCodes, value);
      break;
    case 5:
      rule.remaining = value % 4u;
      break;
    case 6:
      phone_.model().SetPace(phone::Chunking{value % 6u, (value / 6u) * 3u});
      break;
    case 7:
      phone_.model().SetValue(Pick(kRulePrefixes, value), {Pick(kTokens, in.Byte())});
      break;
    default:
      phone_.model().rules().Clear();
      break;
  }
}

void Harness::Run(Input& in) {
  for (int calls = 0; calls < kMaxCalls && !in.done();) {
    std::uint8_t op = in.Byte();
    switch (op % 14) {
      case 0: {  // raw bytes from the phone
        std::string bytes = in.Bytes(in.Byte());
        Deliver(std::move(bytes), in.Word() % 3000u);
        break;
      }
      case 1: {  // a familiar piece of a line
        std::string token = Pick(kTokens, in.Byte());
        if (token == "OK" && in.Byte() % 2) token = std::string(1, '\0');
        Deliver(std::move(token), in.Byte() * 8u);
        break;
      }
      case 2: {  // a long run, to reach the end of the buffer
        std::string pattern = in.Bytes(1 + in.Byte() % 8);
        std::size_t count = in.Word() % 16384u;
        std::string bytes;
        for (std::size_t i = 0; i < count && bytes.size() < 40000; ++i) bytes += pattern;
        Deliver(std::move(bytes), in.Word() % 3000u);
        break;
      }
      case 3:
      case 4:
        CallReadLine(in.Byte() % 2 == 0);
        ++calls;
        break;
      case 5: {
        std::uint8_t how = in.Byte();
        CallWaitReply(how % 2 ? phone::kCommandPrefix : "", (how / 2) % 2 == 0);
        ++calls;
        break;
      }
      case 6:
      case 7:
        CallSendCommand(Pick(kCommands, in.Byte()));
        ++calls;
        break;
      case 8:
        os_.AdvanceMs(in.Word() % 4000u);
        break;
      case 9:
        TweakPhone(in);
        break;
      case 10: {  // the phone sends an unsolicited code now or later
        std::uint8_t which = in.Byte();
        std::uint8_t when = in.Byte();
        if (when % 2) {
          phone_.Now();
        } else {
          phone_.At(os_.VirtualMs() + when * 8u);
        }
        if (which & 0x80) {
          phone_.model().SendLine(Pick(kCodes, which));
        } else {
          phone_.model().SendUnsolicited(Pick(kCodes, which));
        }
        phone_.Now();
        break;
      }
      case 11:
        link_.state.stopRequested = !link_.state.stopRequested;
        break;
      case 12:  // the dialog closes the port, or the set-up opens it again
        if (link_.state.port != kNoHandle) {
          ClosePort(recorder_, link_.state);
        } else {
          OpenPort();
        }
        break;
      default: {  // a chatty phone: short pieces at a steady pace, for seconds
        std::string piece = in.Bytes(1 + in.Byte() % 8);
        std::size_t count = in.Word() % 400u;
        std::uint32_t gapMs = 1u + in.Byte() % 64u;
        for (std::size_t i = 0; i < count; ++i)
          Deliver(piece, static_cast<std::uint32_t>(i * gapMs));
        break;
      }
    }
  }
  // What a caller does after a transaction: drain what is left.
  link_.state.stopRequested = false;
  for (int i = 0; i < kMaxDrainLines && !link_.rx.drained; ++i) CallReadLine(false);
}

}  // namespace
}  // namespace quillet::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quillet::fuzzing::Input in(data, size);
  quillet::fuzzing::Harness harness(in.Byte() % 2 == 1);
  harness.Run(in);
  return 0;
}
