#pragma once
// The simulated phone on the far end of a fake serial port, in virtual time:
// what the plug-in writes reaches the phone model when it has left the wire,
// and the phone's answers arrive at the times its delays and the 9600-baud
// wire give them.

#include <cstdint>
#include <string>
#include <string_view>

#include "phone_model.h"
#include "phone_transport.h"
#include "platform/fake/fake_platform.h"

namespace quillet::testing {

class FakePortPhone : public phone::PhoneTransport {
 public:
  explicit FakePortPhone(fake::FakePlatform& os, const std::string& portName = "COM1");

  phone::PhoneModel& model() { return model_; }
  fake::FakeSerialDevice& device() { return device_; }

  // The user's actions and injections that follow happen at this virtual
  // time, on a schedule of their own that the phone's answers do not wait for.
  void At(std::uint64_t ms);
  // ... or now, in line with the answers.
  void Now();

  void Emit(std::string_view bytes, std::uint32_t delayMs) override;
  void SetDsr(bool on) override;

  // Every byte the phone has sent, for measuring the wire.
  std::size_t bytesSent() const { return bytesSent_; }

 private:
  fake::FakePlatform& os_;
  fake::FakeSerialDevice& device_;
  phone::PhoneModel model_;
  std::uint64_t reactionMs_ = 0;  // when the phone is reacting to something
  // When the last byte of each schedule has left the wire: answers and
  // actions taken now share one; actions planned ahead have their own.
  std::uint64_t answersFreeMs_ = 0;
  std::uint64_t plannedFreeMs_ = 0;
  std::uint64_t* lineFreeMs_ = &answersFreeMs_;
  std::size_t bytesSent_ = 0;
};

// 10 bits a byte at 9600 baud, rounded up.
std::uint64_t WireMs(std::size_t bytes);

}  // namespace quillet::testing
