#include "shell/port_list.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <set>
#include <tuple>

#include "link/port_name.h"

namespace quillet {
namespace {

constexpr int kFirstListedPort = 1;
constexpr int kLastListedPort = 8;
// Past this many digits a "COM" number sorts with the other names.
constexpr std::size_t kMostPortDigits = 9;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The n of "COM<n>" (any case, digits only), or -1 for any other name.
std::int64_t PortNumber(const std::string& name) {
  const std::string upper = Upper(name);
  if (upper.compare(0, 3, "COM") != 0 || upper.size() == 3 || upper.size() > 3 + kMostPortDigits)
    return -1;
  std::int64_t n = 0;
  for (std::size_t i = 3; i < upper.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(upper[i]))) return -1;
    n = n * 10 + (upper[i] - '0');
  }
  return n;
}

}  // namespace

std::vector<std::string> ListedPorts(const std::vector<std::string>& system) {
  std::vector<std::string> listed = {kPortDisabled};
  std::set<std::string> seen = {Upper(kPortDisabled)};
  for (int n = kFirstListedPort; n <= kLastListedPort; ++n) {
    listed.push_back("COM" + std::to_string(n));
    seen.insert(listed.back());
  }
  // Numbered ports first, by number; then the rest by name.
  std::vector<std::tuple<bool, std::int64_t, std::string>> extra;
  for (const std::string& name : system) {
    if (name.empty() || !seen.insert(Upper(name)).second) continue;
    const std::int64_t number = PortNumber(name);
    extra.emplace_back(number < 0, number, name);
  }
  std::sort(extra.begin(), extra.end());
  for (const auto& port : extra) listed.push_back(std::get<2>(port));
  return listed;
}

}  // namespace quillet
