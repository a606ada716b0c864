#pragma once
// Entry points for a plug-in that a test makes itself: no host calls them.

#include "shell/plugin.h"

namespace quillet::testing {

inline int NoInit() {
  return 0;
}
inline void NoConfig() {}
inline void NoQuit() {}
constexpr EntryPoints kNoEntries{NoInit, NoConfig, NoQuit};

}  // namespace quillet::testing
