#include "client/core/mail_check.h"

#include "platform/codepage.h"
#include "platform/date_time.h"
#include "platform/message_box.h"

packet MakeFetchRequest(std::string_view date) {
  packet request{};
  PacketInit(request);
  request.set_type(kPacketFetch);
  PacketSetNumber(request, "REQUEST");
  PacketSetDate(request, date);
  return request;
}

void RequestReceivedMessages(stream_client& client) {
  if (!client.connected()) {
    MessageBox(Ansi("Подключение к серверу не установлено"), Ansi("Предупреждение"), MbButtons::Ok,
               MbIcon::Warning);
    return;
  }
  packet request = MakeFetchRequest(DateTimeToStr(Now()));
  client.Send(request);
}
