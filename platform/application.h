#pragma once
// The program's application object: the flag that tells every wait the program
// is ending, serving the calling thread's pending messages, and the display of
// an exception that no caller caught. No Qt here: a Qt program connects its
// event loop (platform/qt/qt_message_queue.h), and from then on an exception
// of another thread is shown from that loop while the thread goes on; no
// thread ever waits for the user to answer it.
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/message_window.h"

class TApplication {
 public:
  // Set once the program is ending; the serial layer's waits end on it.
  bool Terminated() const;
  // Sets the flag and calls every terminate wake.
  void Terminate();
  // Calls `wake` at Terminate (at once when already terminated) until the id
  // returned is given to RemoveTerminateWake.
  int AddTerminateWake(MessageWaitWake wake);
  void RemoveTerminateWake(int id);

  // Serves what is pending for the calling thread now; what arrives meanwhile
  // waits for the next call. A quit request stays pending; on the main thread
  // it also sets the terminate flag.
  void ProcessMessages();

  // Shows the exception's text in an error box captioned with the title. On
  // the main thread at once; on another thread it is handed to the main
  // thread's loop when one serves it (ServeExceptionsHere), else shown at once.
  void ShowException(const std::exception& e);
  void SetTitle(std::string title);

  // Called on the main thread once its event loop serves its messages: the
  // exceptions of other threads are shown from that loop from now on.
  void ServeExceptionsHere();

 private:
  void ShowText(const std::string& text);
  void ShowQueued();

  mutable std::mutex lock_;
  bool terminated_ = false;
  std::vector<std::pair<int, MessageWaitWake>> terminateWakes_;
  int nextWake_ = 0;
  std::string title_;
  WindowHandle window_ = 0;  // on the main thread; takes the texts of other threads
  std::vector<std::string> queued_;
};

// The one application object of the process.
TApplication& Application();
