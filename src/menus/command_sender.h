#pragma once
// Giving the phone one command and learning whether it accepted it. A
// sender that cannot tell (a test's recorder, a bench) counts every command
// as accepted.

#include <functional>
#include <string>
#include <type_traits>
#include <utility>

namespace quillet {

class CommandSender {
 public:
  template <typename F, typename Result = std::invoke_result_t<F&, const std::string&>,
            std::enable_if_t<std::is_same_v<Result, bool> || std::is_void_v<Result>, int> = 0>
  CommandSender(F send)  // NOLINT(google-explicit-constructor): any sender will do
  {
    if constexpr (std::is_void_v<Result>) {
      send_ = [send = std::move(send)](const std::string& command) mutable {
        send(command);
        return true;
      };
    } else {
      send_ = std::move(send);
    }
  }

  bool operator()(const std::string& command) const { return send_(command); }

 private:
  std::function<bool(const std::string&)> send_;
};

}  // namespace quillet
