#pragma once
// The figures a bench prints, also kept as one JSON object of named groups of
// numbers, so that bench/report.py can set them in its table without parsing
// the human output.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace quillet::bench {

// Takes "--figures-json PATH" or "--figures-json=PATH" out of argv, since
// Google Benchmark refuses flags it does not know. Empty when absent.
inline std::string TakeFiguresPath(int& argc, char** argv) {
  static constexpr char kFlag[] = "--figures-json";
  const std::size_t flagSize = std::strlen(kFlag);
  std::string path;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], kFlag) == 0 && i + 1 < argc) {
      path = argv[++i];
    } else if (std::strncmp(argv[i], kFlag, flagSize) == 0 && argv[i][flagSize] == '=') {
      path = argv[i] + flagSize + 1;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  argv[argc] = nullptr;
  return path;
}

class Figures {
 public:
  using Group = std::vector<std::pair<std::string, double>>;

  // The group called `name`, made on first use; groups keep their order.
  Group& operator[](const std::string& name) {
    for (auto& group : groups_)
      if (group.first == name) return group.second;
    groups_.emplace_back(name, Group{});
    return groups_.back().second;
  }

  // Writes {"group": {"name": number, ...}, ...}; a figure that is not a
  // finite number is written as null. False when the file cannot be written.
  bool Write(const std::string& path) const {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    std::fputs("{", file);
    const char* groupSeparator = "\n";
    for (const auto& [name, group] : groups_) {
      std::fprintf(file, "%s  \"%s\": {", groupSeparator, name.c_str());
      const char* separator = "";
      for (const auto& [key, value] : group) {
        if (std::isfinite(value))
          std::fprintf(file, "%s\"%s\": %.17g", separator, key.c_str(), value);
        else
          std::fprintf(file, "%s\"%s\": null", separator, key.c_str());
        separator = ", ";
      }
      std::fputs("}", file);
      groupSeparator = ",\n";
    }
    std::fputs("\n}\n", file);
    return std::fclose(file) == 0;
  }

 private:
  std::vector<std::pair<std::string, Group>> groups_;
};

}  // namespace quillet::bench
