#pragma once
// Saying that a queue file could not be read, removed or written: on standard
// error for a service manager's log, and in words for the operator.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"
#include "server/store/queue_file.h"

// A queue file the server could not write at close.
struct QueueFileFault {
  std::string path;
  std::string entry;        // what was in the way: the file written aside, the file, its folder
  int error = 0;            // errno
  std::size_t packets = 0;  // what the queue still holds in memory
};

// A settings file (Config.ini, registry.reg) that stops the start because it is
// there but cannot be read, or is no regular file. Shown and written as below.
void ReportUnreadableSettingsFile(const std::string& path, const FileContents& read);

// A queue file (or its log) that stops the start because it cannot be read, or
// cannot be written (the queue would then live in memory only). Shown in a message
// box captioned "Ошибка" and written to standard error.
void ReportUnreadableQueueFile(const std::string& path, int error);
void ReportUnwritableQueueFile(const std::string& path, int error);
// The same for a queue file that is no regular file (a FIFO would hold the start
// for good).
void ReportIrregularQueueFile(const std::string& path);
// The same when the records of a queue file that failed their check cannot be
// kept in its set-aside file (the queue file would take them with it).
void ReportUnwritableSetAsideFile(const std::string& path, const std::string& setAsidePath, int error);

// One line on standard error: how many records of a queue file were not queued,
// why, and where they were put.
void LogSetAsideRecords(const std::string& path, const std::string& setAsidePath, const QueueFileRejects& rejects);

// One line on standard error: a message a client handed in is not queued, as the
// modem cannot take its number; it was set aside in `setAsidePath`, or could not
// be (`error` then says why, and the message is lost).
void LogSetAsideHandIn(std::string_view number, const std::string& setAsidePath, bool kept, int error);

// One line on standard error: what a queue's store took in or was told cannot be
// written to `path`; it stays in memory and is tried again. Then, once it is
// written, one line more.
void LogUnwritableQueueFile(const std::string& path, int error);
void LogQueueFileWrittenAgain(const std::string& path);
// One line on standard error: the queue file could not be written anew (`inTheWay`
// stopped it); it and its log go on holding the queue.
void LogUnrewrittenQueueFile(const std::string& path, const std::string& inTheWay, int error);

// One line on standard error: the server cannot listen and does not start.
void LogListenFailure(int port, int error);

// One line on standard error.
void LogUnsavedQueue(const QueueFileFault& fault);

// The operator's text (Windows-1251) for queues that could not be saved: each
// file, the system's reason and how many messages it would have held.
std::string DescribeUnsavedQueues(const std::vector<QueueFileFault>& faults);
