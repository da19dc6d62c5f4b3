#include "server/settings_files.h"

#include "platform/file_io.h"
#include "server/server_core.h"
#include "server/store/queue_file_report.h"

bool SettingsFilesReadable(const std::string& appDir) {
  for (const char* name : {kConfigFile, kRegistryFile}) {
    const std::string path = PathJoin(appDir, name);
    const FileContents read = ReadFileContents(path);
    if (read.Usable()) continue;
    ReportUnreadableSettingsFile(path, read);
    return false;
  }
  return true;
}
