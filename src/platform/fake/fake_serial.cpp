// Serial port operations of the fake platform. Completion is computed lazily
// from the device's scheduled bytes and the port's time-outs, in virtual time:
// a read ends `readInterval` ms after its last byte, `readTotalConstant` ms
// after it was issued, or when its buffer is full.
//
// With wineQuirks the port behaves as Wine's does: an empty read fails with
// ERROR_TIMEOUT, SetCommMask(0) ends a pending wait with ERROR_OPERATION_ABORTED,
// a write on the record of a pending comm-event wait wakes it with mask 0, a
// comm-event wait reports only what happens after it was armed, except that
// bytes still queued unread are reported at once, every time,
// opening is not exclusive, a purge does not abort a pending read and a
// cancelled read brings no bytes.

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/fake/fake_platform.h"

namespace quillet::fake {
namespace {

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint32_t kEvRxChar = 0x0001;
constexpr std::uint32_t kEvDsr = 0x0010;
constexpr std::uint32_t kMsDsrOn = 0x0020;
constexpr std::uint32_t kMsCtsOn = 0x0010;
constexpr std::uint32_t kMsRlsdOn = 0x0080;
constexpr std::uint32_t kPurgeTxAbort = 0x0001;
constexpr std::uint32_t kPurgeRxAbort = 0x0002;
constexpr std::uint32_t kPurgeRxClear = 0x0008;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorIoIncomplete = 996;

// 10 bits a byte at 9600 baud.
std::uint64_t WireTimeMs(std::uint32_t bytes) {
  return (static_cast<std::uint64_t>(bytes) * 10000 + 9599) / 9600;
}

IoResult Failed(std::uint32_t error, std::uint32_t bytes = 0) {
  IoResult r;
  r.state = IoResult::State::Failed;
  r.error = error;
  r.bytes = bytes;
  return r;
}

IoResult Completed(std::uint32_t bytes) {
  IoResult r;
  r.state = IoResult::State::Completed;
  r.bytes = bytes;
  return r;
}

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// The device a name reaches, as Windows resolves it (case ignored): "\\.\X"
// the device X; a plain name only COM1 to COM9, which are DOS device names;
// anything else is a file path, and no file stands in for a port here.
std::string DeviceNamed(const std::string& name) {
  constexpr char kDeviceNamespace[] = "\\\\.\\";
  constexpr std::size_t kPrefix = sizeof kDeviceNamespace - 1;
  if (name.compare(0, kPrefix, kDeviceNamespace) == 0) return Upper(name.substr(kPrefix));
  const std::string upper = Upper(name);
  const bool dosDevice =
      upper.size() == 4 && upper.compare(0, 3, "COM") == 0 && upper[3] >= '1' && upper[3] <= '9';
  return dosDevice ? upper : std::string();
}

}  // namespace

FakePlatform::PortState* FakePlatform::LivePort(Handle port) {
  HandleEntry* entry = Live(port, Kind::Port);
  return entry ? entry->port.get() : nullptr;
}

Handle FakePlatform::OpenPort(const std::string& name) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  portOpens.push_back(name);
  const std::string wanted = DeviceNamed(name);
  FakeSerialDevice* device = nullptr;
  for (const auto& [deviceName, candidate] : devices_)
    if (!wanted.empty() && Upper(deviceName) == wanted) device = candidate.get();
  if (!device || device->refuseOpen || device->vanished) return kNoHandle;
  if (device->open_ && !wineQuirks) return kNoHandle;
  device->open_ = true;
  Handle handle = NewHandle(Kind::Port);
  auto& entry = handles_[handle];
  entry.name = name;
  entry.port = std::make_unique<PortState>();
  entry.port->device = device;
  entry.port->historyFromMs = now_;
  return handle;
}

bool FakePlatform::SetPortTimeouts(Handle port, const PortTimeouts& timeouts) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  PortState* state = LivePort(port);
  if (!state || state->device->vanished) return false;
  state->timeouts = timeouts;
  return true;
}

bool FakePlatform::SetLineSettings(Handle port, const std::string& definition) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  PortState* state = LivePort(port);
  if (!state || state->device->vanished) return false;
  state->definition = definition;
  return true;
}

bool FakePlatform::GetModemStatus(Handle port, std::uint32_t* status) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  PortState* state = LivePort(port);
  if (!state || state->device->vanished || state->device->failModemStatus) return false;
  *status = state->device->DsrAt(now_) ? (kMsDsrOn | kMsCtsOn | kMsRlsdOn) : 0;
  return true;
}

bool FakePlatform::SetCommMask(Handle port, std::uint32_t mask) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  PortState* state = LivePort(port);
  if (!state || state->device->vanished) return false;
  for (auto& [ov, op] : pending_) {
    if (op.done || op.port != port || op.type != OpType::CommWait) continue;
    if (wineQuirks && mask == 0) {
      FinishOp(ov, op, Failed(kErrorOperationAborted));
    } else {
      *op.mask = 0;
      FinishOp(ov, op, Completed(0));
    }
  }
  state->mask = mask;
  state->historyFromMs = now_;
  return true;
}

bool FakePlatform::PurgePort(Handle port, std::uint32_t flags) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  PortState* state = LivePort(port);
  if (!state || state->device->vanished) return false;
  for (auto& [ov, op] : pending_) {
    if (op.done || op.port != port) continue;
    const bool abortRead = op.type == OpType::Read && (flags & kPurgeRxAbort) && !wineQuirks;
    const bool abortWrite = op.type == OpType::Write && (flags & kPurgeTxAbort);
    if (abortRead || abortWrite) FinishOp(ov, op, Failed(kErrorOperationAborted));
  }
  if (flags & kPurgeRxClear) {
    auto& incoming = state->device->incoming_;
    while (!incoming.empty() && incoming.front().atMs <= now_) incoming.pop_front();
  }
  return true;
}

bool FakePlatform::BeginOp(Overlapped& ov, PendingOp op) {
  auto it = pending_.find(&ov);
  if (it != pending_.end() && !it->second.done) {
    PendingOp& old = it->second;
    if (wineQuirks && old.type == OpType::CommWait && op.type == OpType::Write) {
      *old.mask = 0;
      FinishOp(&ov, old, Completed(0));
    } else {
      ++overlappedMisuse;
      FinishOp(&ov, old, Failed(kErrorGenFailure));
    }
  }
  op.startMs = now_;
  if (PortState* state = LivePort(op.port)) op.device = state->device;
  pending_[&ov] = op;
  // The OS resets the record's event when an operation begins.
  if (HandleEntry* event = Live(ov.event, Kind::Event)) event->signaled = false;
  return true;
}

bool FakePlatform::StartRead(Handle port, Overlapped& ov, char* buffer, std::uint32_t size) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  PortState* state = LivePort(port);
  if (!state || state->device->vanished) return false;
  PendingOp op;
  op.type = OpType::Read;
  op.port = port;
  op.buffer = buffer;
  op.size = size;
  return BeginOp(ov, op);
}

bool FakePlatform::StartWrite(Handle port, Overlapped& ov, const char* data, std::uint32_t size) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  PortState* state = LivePort(port);
  if (!state || state->device->vanished || state->device->failWrites) return false;
  PendingOp op;
  op.type = OpType::Write;
  op.port = port;
  op.size = size;
  BeginOp(ov, op);
  std::uint64_t doneAt = now_ + (wineQuirks ? 0 : WireTimeMs(size));
  pending_[&ov].startMs = doneAt;  // a write's "start" is when it has gone out
  FakeSerialDevice* device = state->device;
  device->written_.append(data, size);
  if (device->writeHook_) device->writeHook_(std::string_view(data, size), doneAt);
  return true;
}

bool FakePlatform::StartCommWait(Handle port, Overlapped& ov, std::uint32_t* eventMask) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  PortState* state = LivePort(port);
  if (!state || state->device->vanished || state->mask == 0) return false;
  PendingOp op;
  op.type = OpType::CommWait;
  op.port = port;
  op.mask = eventMask;
  *eventMask = 0;
  // Wine keeps no history: only what happens after the wait is armed counts.
  if (wineQuirks) state->historyFromMs = now_;
  return BeginOp(ov, op);
}

std::uint64_t FakePlatform::NextCommEvent(const PortState& port, std::uint64_t afterMs,
                                          std::uint32_t* events) {
  std::uint64_t first = kNever;
  std::uint32_t found = 0;
  auto consider = [&](std::uint64_t at, std::uint32_t event) {
    if (at <= afterMs || !(port.mask & event)) return;
    if (at < first) {
      first = at;
      found = event;
    } else if (at == first) {
      found |= event;
    }
  };
  for (std::uint64_t at : port.device->arrivals_) consider(at, kEvRxChar);
  bool on = false;
  for (const auto& change : port.device->dsr_) {
    if (change.on != on) consider(change.atMs, kEvDsr);
    on = change.on;
  }
  if (events) *events = found;
  return first;
}

bool FakePlatform::ReportsQueuedBytes(const PortState& port, const PendingOp& op) const {
  const auto& incoming = port.device->incoming_;
  return wineQuirks && (port.mask & kEvRxChar) && !incoming.empty() &&
         incoming.front().atMs <= op.startMs;
}

std::uint64_t FakePlatform::ReadCompletion(const PendingOp& op, std::uint32_t* bytes) {
  PortState* state = LivePort(op.port);
  *bytes = 0;
  if (!state) return now_;
  const PortTimeouts& t = state->timeouts;
  const std::uint64_t total =
      static_cast<std::uint64_t>(t.readTotalMultiplier) * op.size + t.readTotalConstant;
  const bool timed = total != 0 || t.readInterval != 0;
  const std::uint64_t deadline = total != 0 ? op.startMs + total : kNever;
  std::uint32_t count = 0;
  std::uint64_t last = 0;
  if (op.size == 0) return op.startMs;
  for (const auto& chunk : state->device->incoming_) {
    std::uint64_t at = std::max(op.startMs, chunk.atMs);
    if (at > deadline) break;
    if (count > 0 && t.readInterval != 0 && at >= last + t.readInterval) break;
    std::uint32_t take =
        static_cast<std::uint32_t>(std::min<std::size_t>(chunk.bytes.size(), op.size - count));
    count += take;
    last = at;
    if (count == op.size) {
      *bytes = count;
      return at;
    }
  }
  *bytes = count;
  if (!timed) return count > 0 ? last : kNever;
  if (count == 0) return deadline;
  return t.readInterval != 0 ? std::min(last + t.readInterval, deadline) : deadline;
}

std::uint64_t FakePlatform::CompletionTime(const PendingOp& op) {
  if (op.done) return now_;
  if (op.type != OpType::CommWait && op.device && op.device->hangIo) return kNever;
  PortState* state = LivePort(op.port);
  if (!state || state->device->vanished) return now_;
  switch (op.type) {
    case OpType::Read: {
      std::uint32_t bytes;
      return ReadCompletion(op, &bytes);
    }
    case OpType::Write:
      return op.startMs;
    case OpType::CommWait: {
      if (ReportsQueuedBytes(*state, op)) return op.startMs;
      std::uint64_t at = NextCommEvent(*state, state->historyFromMs, nullptr);
      return at == kNever ? kNever : std::max(at, op.startMs);
    }
  }
  return kNever;
}

void FakePlatform::CompleteRead(PendingOp& op, std::uint32_t bytes, bool ok, std::uint32_t error) {
  PortState* state = LivePort(op.port);
  std::uint32_t copied = 0;
  auto& incoming = state->device->incoming_;
  while (copied < bytes && !incoming.empty()) {
    std::string& chunk = incoming.front().bytes;
    std::uint32_t take =
        static_cast<std::uint32_t>(std::min<std::size_t>(chunk.size(), bytes - copied));
    std::memcpy(op.buffer + copied, chunk.data(), take);
    copied += take;
    if (take == chunk.size()) {
      incoming.pop_front();
    } else {
      chunk.erase(0, take);
    }
  }
  op.done = true;
  if (!ok) {
    op.result = Failed(error, copied);
  } else if (copied == 0 && wineQuirks) {
    op.result = Failed(kErrorTimeout);
  } else {
    op.result = Completed(copied);
  }
}

void FakePlatform::FinishOp(Overlapped* ov, PendingOp& op, IoResult result) {
  op.done = true;
  op.result = result;
  if (HandleEntry* event = Live(ov->event, Kind::Event)) event->signaled = true;
  WakeDue();
}

void FakePlatform::Complete(Overlapped* ov, PendingOp& op) {
  PortState* state = LivePort(op.port);
  if (!state || state->device->vanished) {
    FinishOp(ov, op, Failed(kErrorGenFailure));
    return;
  }
  switch (op.type) {
    case OpType::Read: {
      std::uint32_t bytes;
      ReadCompletion(op, &bytes);
      CompleteRead(op, bytes, true, 0);
      FinishOp(ov, op, op.result);
      return;
    }
    case OpType::Write:
      FinishOp(ov, op, Completed(op.size));
      return;
    case OpType::CommWait: {
      std::uint32_t events = 0;
      std::uint64_t at = NextCommEvent(*state, state->historyFromMs, &events);
      const bool queued = ReportsQueuedBytes(*state, op);
      std::uint64_t upTo = queued ? op.startMs : std::max(at, op.startMs);
      if (at > upTo) events = 0;
      if (queued) events |= kEvRxChar;
      // Everything up to the completion is reported together.
      std::uint32_t more = 0;
      while (at <= upTo) {
        std::uint64_t next = NextCommEvent(*state, at, &more);
        if (next == kNever || next > upTo) break;
        events |= more;
        at = next;
      }
      state->historyFromMs = upTo;
      *op.mask = events;
      FinishOp(ov, op, Completed(0));
      return;
    }
  }
}

IoResult FakePlatform::GetResult(Handle port, Overlapped& ov, bool wait) {
  std::unique_lock<std::recursive_mutex> lock(mutex_);
  auto it = pending_.find(&ov);
  if (it == pending_.end() || it->second.port != port) return Failed(kErrorInvalidHandle);
  PendingOp& op = it->second;
  for (;;) {
    if (op.done) return op.result;
    std::uint64_t at = CompletionTime(op);
    if (at <= now_) break;
    if (!wait) {
      IoResult pending;
      pending.state = IoResult::State::Pending;
      pending.error = kErrorIoIncomplete;
      return pending;
    }
    if (!OnDriver()) {
      Waiter waiter{[&op] { return op.done; }, [this, &op] { return CompletionTime(op); }};
      Park(lock, waiter);
      continue;
    }
    if (at == kNever) {  // the real call would block for ever
      ++overlappedMisuse;
      return Failed(kErrorGenFailure);
    }
    now_ = at;
    WakeDue();
  }
  Complete(&ov, op);
  return op.result;
}

void FakePlatform::CancelIo(Handle port) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (auto& [ov, op] : pending_) {
    if (op.done || op.port != port) continue;
    if (op.type == OpType::Read) {
      std::uint32_t arrived = 0;
      if (!wineQuirks) {
        for (const auto& chunk : LivePort(port)->device->incoming_) {
          if (chunk.atMs > now_) break;
          arrived += static_cast<std::uint32_t>(chunk.bytes.size());
        }
      }
      CompleteRead(op, std::min(arrived, op.size), false, kErrorOperationAborted);
      FinishOp(ov, op, op.result);
    } else if (op.type == OpType::CommWait) {
      FinishOp(ov, op, Failed(kErrorOperationAborted));
    } else {
      FinishOp(ov, op, Completed(op.size));
    }
  }
}

}  // namespace quillet::fake
