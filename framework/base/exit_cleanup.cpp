// The registry of ExitCleanup guards and the handler that runs them at exit. The
// registry is never destroyed, so guards may still come and go during static destruction.
#include "framework/base/exit_cleanup.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <vector>

namespace fw {

struct ExitCleanup::Registry {
  std::mutex mutex;
  std::vector<ExitCleanup*> guards;  // the living guards, oldest first
};

ExitCleanup::Registry& ExitCleanup::Guards() {
  static Registry* const registry = [] {
    auto* made = new Registry;
    std::atexit(&RunAll);
    return made;
  }();
  return *registry;
}

ExitCleanup::ExitCleanup(Stage stage, std::function<void()> undo)
    : stage_(stage), undo_(std::move(undo)), owner_(::getpid()) {
  Registry& registry = Guards();
  const std::lock_guard lock(registry.mutex);
  registry.guards.push_back(this);
}

ExitCleanup::~ExitCleanup() {
  Registry& registry = Guards();
  const std::lock_guard lock(registry.mutex);
  std::erase(registry.guards, this);
}

void ExitCleanup::RunAll() {
  Registry& registry = Guards();
  const pid_t self = ::getpid();
  const std::lock_guard lock(registry.mutex);
  for (const Stage stage : {Stage::EndProcesses, Stage::RemoveFiles}) {
    for (auto guard = registry.guards.rbegin(); guard != registry.guards.rend(); ++guard) {
      if ((*guard)->stage_ != stage || (*guard)->owner_ != self) continue;
      try {
        (*guard)->undo_();
      } catch (...) {
        // An undo that fails must not keep the others from running.
      }
    }
  }
}

}  // namespace fw
