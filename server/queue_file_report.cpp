#include "server/queue_file_report.h"

#include <cstdio>

#include "platform/codepage.h"
#include "platform/error_text.h"
#include "platform/message_box.h"

namespace {

// The system texts are Windows-1251; standard error is read as UTF-8.
std::string Utf8Reason(int error) { return AnsiToUtf8(SysErrorMessage(error)); }

// what: the action and its file for standard error; whatText: the same for the
// operator, in Windows-1251, ending with the file.
void ReportStartFault(const std::string& what, const std::string& whatText, int error) {
  std::fprintf(stderr, "trelmsrv: cannot %s: %s; the server does not start\n", what.c_str(),
               Utf8Reason(error).c_str());
  const std::string text =
      whatText + ":\n" + SysErrorMessage(error) + Ansi("\n\nСервер не запущен, файл оставлен как есть.");
  MessageBox(text, Ansi("Ошибка"), MbButtons::Ok, MbIcon::Error);
}

}  // namespace

void ReportUnreadableQueueFile(const std::string& path, int error) {
  ReportStartFault("read " + path, Ansi("Не удалось прочитать файл очереди\n") + Utf8ToAnsi(path), error);
}

void ReportUnremovableQueueFile(const std::string& path, int error) {
  ReportStartFault("remove " + path, Ansi("Не удалось удалить загруженный файл очереди\n") + Utf8ToAnsi(path),
                   error);
}

void ReportUnwritableSetAsideFile(const std::string& path, const std::string& setAsidePath, int error) {
  ReportStartFault("set aside the damaged records of " + path + " in " + setAsidePath,
                   Ansi("Не удалось отложить повреждённые записи файла очереди\n") + Utf8ToAnsi(path) +
                       Ansi("\nв файл\n") + Utf8ToAnsi(setAsidePath),
                   error);
}

void LogSetAsideRecords(const std::string& path, const std::string& setAsidePath, std::size_t records) {
  std::fprintf(stderr, "trelmsrv: %zu damaged records of %s (bad checksum or length) are not queued; set aside in %s\n",
               records, path.c_str(), setAsidePath.c_str());
}

void LogListenFailure(int port, int error) {
  if (port == 0)
    std::fprintf(stderr, "trelmsrv: EthernetPort is 0, there is no port to listen on; the server does not start\n");
  else
    std::fprintf(stderr, "trelmsrv: cannot listen on TCP port %d: %s; the server does not start\n", port,
                 Utf8Reason(error).c_str());
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
