// quillet-host: a stand-in for the media player that loads one
// general-purpose plug-in and logs everything it asks of the player.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host_app.h"
#include "host_options.h"
#include "log_sink.h"

int main(int argc, char** argv) {
  host::StartLogClock();
  std::vector<std::string> args(argv + 1, argv + argc);
  host::HostOptions options;
  std::string error;
  if (!host::ParseOptions(args, &options, &error)) {
    std::fprintf(stderr, "quillet-host: %s\n%s", error.c_str(), host::kUsage);
    return 1;
  }
  if (options.help) {
    std::fputs(host::kUsage, stdout);
    return 0;
  }
  host::HostApp app(std::move(options));
  return app.Run(GetModuleHandleA(nullptr));
}
