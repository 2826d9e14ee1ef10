#include "plugin/PluginLogTarget.h"

#include "logging/Logger.h"

namespace Corvan {

bool PluginLogTarget::Write(const LogRecord& record) {
  if (api_ != nullptr && api_->writeLog != nullptr) {
    api_->writeLog(api_, record.level, record.message != nullptr ? record.message : "");
  }
  return true;
}

void InstallPluginLogTarget(std::unique_ptr<PluginLogTarget>& owned, HostApi* api) {
  const LoggerInterface* logger = GetLoggerInterface();
  if (logger->findTarget("PluginLogTarget") != nullptr) return;
  for (LogTargetInterface* console :
       {logger->stdOutTarget(), logger->stdErrTarget(), logger->debuggerConsoleTarget()}) {
    if (console != nullptr) console->unregisterTarget(console);
  }
  logger->setMinLevel(kLogOkay);
  logger->setExcludedCategories(LogCategory::XTR);
  owned = std::make_unique<PluginLogTarget>(api);
  LogTargetSettings settings;
  settings.level = logger->getMinLevel();
  settings.format = "#D| #L| #G| #M";
  owned->Configure(settings);
}

}  // namespace Corvan
