#include "server/store/queue_file_report.h"

#include "platform/codepage.h"
#include "platform/error_text.h"
#include "platform/message_box.h"
#include "platform/stderr_lines.h"

namespace {

// The system texts are Windows-1251; standard error is read as UTF-8.
std::string Utf8Reason(int error) { return AnsiToUtf8(SysErrorMessage(error)); }

// what and why for standard error; whatText and whyText, the same for the
// operator in Windows-1251, the first ending with the file.
void ShowStartFault(const std::string& what, const std::string& why, const std::string& whatText,
                    const std::string& whyText) {
  StderrPrintf("trelmsrv: cannot %s: %s; the server does not start\n", what.c_str(), why.c_str());
  const std::string text = whatText + ":\n" + whyText + Ansi("\n\nСервер не запущен, файл оставлен как есть.");
  MessageBox(text, Ansi("Ошибка"), MbButtons::Ok, MbIcon::Error);
}

void ReportStartFault(const std::string& what, const std::string& whatText, int error) {
  ShowStartFault(what, Utf8Reason(error), whatText, SysErrorMessage(error));
}

// A number from a client, shown on standard error: its control bytes would reach
// whatever reads the log.
std::string Printable(std::string_view ansi) {
  std::string out;
  for (const char c : ansi) out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
  return AnsiToUtf8(out);
}

}  // namespace

void ReportUnreadableSettingsFile(const std::string& path, const FileContents& read) {
  const std::string whatText = Ansi("Не удалось прочитать файл настроек\n") + Utf8ToAnsi(path);
  if (read.status == ReadStatus::NotAFile)
    ShowStartFault("read " + path, ReadFailureReason(read), whatText, Ansi("это не обычный файл"));
  else
    ReportStartFault("read " + path, whatText, read.error);
}

void ReportUnreadableQueueFile(const std::string& path, int error) {
  ReportStartFault("read " + path, Ansi("Не удалось прочитать файл очереди\n") + Utf8ToAnsi(path), error);
}

void ReportUnwritableQueueFile(const std::string& path, int error) {
  ReportStartFault("write " + path, Ansi("Не удалось записать файл очереди\n") + Utf8ToAnsi(path), error);
}

void ReportIrregularQueueFile(const std::string& path) {
  ShowStartFault("read " + path, "it is not a regular file",
                 Ansi("Не удалось прочитать файл очереди\n") + Utf8ToAnsi(path), Ansi("это не обычный файл"));
}

void ReportUnwritableSetAsideFile(const std::string& path, const std::string& setAsidePath, int error) {
  ReportStartFault("set aside the damaged records of " + path + " in " + setAsidePath,
                   Ansi("Не удалось отложить повреждённые записи файла очереди\n") + Utf8ToAnsi(path) +
                       Ansi("\nв файл\n") + Utf8ToAnsi(setAsidePath),
                   error);
}

void LogSetAsideRecords(const std::string& path, const std::string& setAsidePath, const QueueFileRejects& rejects) {
  static constexpr const char* kWhy[kRecordFaults] = {"with a bad checksum or length", "not a message",
                                                      "to a number the modem cannot take", "cut short at the end"};
  std::string why;
  for (std::size_t i = 0; i < kRecordFaults; ++i) {
    if (rejects.counts[i] == 0) continue;
    why += (why.empty() ? "" : ", ") + std::to_string(rejects.counts[i]) + " " + kWhy[i];
  }
  StderrPrintf("trelmsrv: %zu damaged records of %s (%s) are not queued; set aside in %s\n", rejects.Count(),
               path.c_str(), why.c_str(), setAsidePath.c_str());
}

void LogSetAsideHandIn(std::string_view number, const std::string& setAsidePath, bool kept, int error) {
  const std::string shown = Printable(number);
  if (kept)
    StderrPrintf("trelmsrv: a message handed in to \"%s\" is not queued, as the modem cannot take that number; "
                 "set aside in %s\n", shown.c_str(), setAsidePath.c_str());
  else
    StderrPrintf("trelmsrv: a message handed in to \"%s\" is not queued, as the modem cannot take that number, "
                 "and cannot be set aside in %s: %s; it is lost\n", shown.c_str(), setAsidePath.c_str(),
                 Utf8Reason(error).c_str());
}

void LogUnwritableQueueFile(const std::string& path, int error) {
  StderrPrintf("trelmsrv: cannot write %s: %s; what the queue took in since is kept in memory and tried again "
               "every second\n", path.c_str(), Utf8Reason(error).c_str());
}

void LogQueueFileWrittenAgain(const std::string& path) {
  StderrPrintf("trelmsrv: %s is written again\n", path.c_str());
}

void LogUnrewrittenQueueFile(const std::string& path, const std::string& inTheWay, int error) {
  StderrPrintf("trelmsrv: cannot write %s anew: %s: %s; it and %s.done go on holding the queue\n", path.c_str(),
               inTheWay.c_str(), Utf8Reason(error).c_str(), path.c_str());
}

void LogListenFailure(int port, int error) {
  if (port == 0)
    StderrPrintf("trelmsrv: EthernetPort is 0, there is no port to listen on; the server does not start\n");
  else
    StderrPrintf("trelmsrv: cannot listen on TCP port %d: %s; the server does not start\n", port,
                 Utf8Reason(error).c_str());
}

// "reason", or "entry: reason" when the entry in the way is not the file itself.
std::string InTheWay(const QueueFileFault& fault, const std::string& reason) {
  return fault.entry.empty() || fault.entry == fault.path ? reason : fault.entry + ": " + reason;
}

void LogUnsavedQueue(const QueueFileFault& fault) {
  StderrPrintf("trelmsrv: cannot write %s: %s; its %zu messages are not saved\n", fault.path.c_str(),
               InTheWay(fault, Utf8Reason(fault.error)).c_str(), fault.packets);
}

std::string DescribeUnsavedQueues(const std::vector<QueueFileFault>& faults) {
  std::string text;
  for (const QueueFileFault& f : faults) {
    text += Ansi("Не удалось записать файл очереди\n") + Utf8ToAnsi(f.path) + ":\n" +
            Utf8ToAnsi(InTheWay(f, AnsiToUtf8(SysErrorMessage(f.error)))) +
            Ansi("\nНе сохранено сообщений: ") + std::to_string(f.packets) + "\n\n";
  }
  return text;
}
