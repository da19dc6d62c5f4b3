#pragma once
// A connect that holds no window: the server's answer is awaited in the event
// loop, so the window paints and takes input while it comes, and Finished tells
// the outcome once the server answered or the connect's limit passed.
// Destroying the attempt gives the connect up.
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "client/core/stream_client.h"

class ConnectAttempt : public QObject {
  Q_OBJECT
 public:
  ConnectAttempt(stream_client& client, std::unique_ptr<PendingConnect> pending, QObject* parent = nullptr);

 signals:
  // The connection is the client's open one when `connected`.
  void Finished(bool connected);

 private:
  void Finish();

  stream_client& client_;
  const std::unique_ptr<PendingConnect> pending_;
  QSocketNotifier answered_;
  QTimer limit_;
  bool finished_ = false;
};
