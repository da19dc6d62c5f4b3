#include "client/send_job.h"

#include "protocol/message_file.h"

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

bool RunSendJob(const SendJob& job, const std::string& outboxPath, const SendOnePacket& send,
                const JobProgress& progress) {
  std::vector<packet> records;
  records.reserve(job.numbers.size());
  for (const auto& number : job.numbers) {
    records.push_back(MessagePacket(number, job.text, job.date));
    // The connection enciphers in place; the record keeps the plain bytes either way.
    packet onWire = records.back();
    send(onWire);
    if (progress) progress(records.size());
  }
  return AppendMessageFile(outboxPath, records);
}
