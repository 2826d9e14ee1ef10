// kyn-host: loads a plugin module and serves it on the loopback interface
// until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <sys/resource.h>

#include <string>
#include <vector>

#include "HostApp.h"
#include "HostLog.h"

using namespace Corvan::Host;

namespace {

// Every connection holds a descriptor: the soft limit, often 1,024, is
// raised to the hard one so that the connection cap is what turns clients
// away.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace

int main(int argc, char** argv) {
  const OptionsResult parsed = ParseHostOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.error.empty() || parsed.options.help) {
    if (!parsed.error.empty()) std::fprintf(stderr, "kyn-host: %s\n", parsed.error.c_str());
    std::fputs(HostUsage(), parsed.error.empty() ? stdout : stderr);
    return parsed.error.empty() ? 0 : 2;
  }
  // The signals are blocked before any thread starts, so every thread
  // inherits the mask and only the sigwait below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  RaiseDescriptorLimit();

  StartResult started = HostApp::Start(parsed.options, SettingsFilePath());
  if (!started.ok()) {
    HostLog(LOG_LEVEL_ERROR, "%s", started.error.c_str());
    return 1;
  }
  // The address comes first, on a line of its own, so that it is easy to
  // find and to copy.
  std::printf("kyn-host: serving %s\nhighlights folder: %s\nOpen the address in a browser; Ctrl-C stops.\n",
              started.app->Url().c_str(), started.app->Folder().c_str());
  std::fflush(stdout);
  int signal = 0;
  sigwait(&stopSignals, &signal);
  HostLog(LOG_LEVEL_OKAY, "signal %d: stopping", signal);
  started.app->Stop();
  HostLog(LOG_LEVEL_OKAY, "stopped");
  return 0;
}
