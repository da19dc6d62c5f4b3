#include "server/queue_file_report.h"

#include <cstdio>
#include <string_view>

#include "platform/codepage.h"
#include "platform/error_text.h"
#include "platform/message_box.h"

namespace {

// The system texts are Windows-1251; standard error is read as UTF-8.
std::string Utf8Reason(int error) { return AnsiToUtf8(SysErrorMessage(error)); }

void ReportStartFault(const char* action, std::string_view actionText, const std::string& path, int error) {
  std::fprintf(stderr, "trelmsrv: cannot %s %s: %s; the server does not start\n", action, path.c_str(),
               Utf8Reason(error).c_str());
  const std::string text = Ansi(actionText) + Ansi(" файл очереди\n") + Utf8ToAnsi(path) + ":\n" +
                           SysErrorMessage(error) + Ansi("\n\nСервер не запущен, файл оставлен как есть.");
  MessageBox(text, Ansi("Ошибка"), MbButtons::Ok, MbIcon::Error);
}

}  // namespace

void ReportUnreadableQueueFile(const std::string& path, int error) {
  ReportStartFault("read", "Не удалось прочитать", path, error);
}

void ReportUnremovableQueueFile(const std::string& path, int error) {
  ReportStartFault("remove", "Не удалось удалить загруженный", path, error);
}

void LogUnsavedQueue(const QueueFileFault& fault) {
  std::fprintf(stderr, "trelmsrv: cannot write %s: %s; its %zu messages are not saved\n", fault.path.c_str(),
               Utf8Reason(fault.error).c_str(), fault.packets);
}

std::string DescribeUnsavedQueues(const std::vector<QueueFileFault>& faults) {
  std::string text;
  for (const QueueFileFault& f : faults) {
    text += Ansi("Не удалось записать файл очереди\n") + Utf8ToAnsi(f.path) + ":\n" + SysErrorMessage(f.error) +
            Ansi("\nНе сохранено сообщений: ") + std::to_string(f.packets) + "\n\n";
  }
  return text;
}
