#include "client/book/send_job.h"

#include "protocol/message_file_appender.h"

std::string JobDateText(const DateTime& t) { return DateToStr(t) + " " + TimeToStr(t); }

packet MessagePacket(std::string_view number, std::string_view text, std::string_view date) {
  packet p;
  PacketInit(p);
  p.set_type(kPacketMessage);
  PacketSetNumber(p, number);
  PacketSetText(p, text);
  PacketSetDate(p, date);
  return p;
}

SendJobResult RunSendJob(const SendJob& job, const std::string& outboxPath, const SendOnePacket& send,
                         const JobProgress& progress) {
  SendJobResult result;
  MessageFileAppender outbox(outboxPath);
  std::size_t done = 0;
  for (const auto& number : job.numbers) {
    packet record = MessagePacket(number, job.text, job.date);
    if (send(record))
      outbox.Append(record);
    else
      ++result.notSent;
    if (progress && !progress(++done)) break;
  }
  result.recorded = outbox.Flush();
  return result;
}
