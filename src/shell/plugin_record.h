#pragma once
// The record the host reads and writes in the module's memory: its layout is
// the host's, 28 bytes on 32-bit Windows.

#include <cstddef>
#include <cstdint>

namespace quillet {

struct PluginRecord {
  std::int32_t version;
  const char* description;
  int (*init)();
  void (*config)();
  void (*quit)();
  void* hostWindow;      // HWND, filled in by the host before init
  void* moduleInstance;  // HINSTANCE, filled in by the host before init
};

constexpr std::int32_t kPluginRecordVersion = 0x10;
constexpr char kPluginDescription[] = "Quillet v0.1";

// Checked only where pointers are 4 bytes: the 32-bit build.
static_assert(sizeof(void*) != 4 || sizeof(PluginRecord) == 28, "PluginRecord size");
static_assert(sizeof(void*) != 4 || offsetof(PluginRecord, description) == 4, "description");
static_assert(sizeof(void*) != 4 || offsetof(PluginRecord, init) == 8, "init");
static_assert(sizeof(void*) != 4 || offsetof(PluginRecord, config) == 12, "config");
static_assert(sizeof(void*) != 4 || offsetof(PluginRecord, quit) == 16, "quit");
static_assert(sizeof(void*) != 4 || offsetof(PluginRecord, hostWindow) == 20, "hostWindow");
static_assert(sizeof(void*) != 4 || offsetof(PluginRecord, moduleInstance) == 24, "moduleInstance");

}  // namespace quillet
