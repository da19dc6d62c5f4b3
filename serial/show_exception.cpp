#include "serial/show_exception.h"

#include "platform/message_box.h"

void ShowException(const std::exception& e) { MessageBox(e.what(), "", MbButtons::Ok, MbIcon::Error); }

void ShowCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    ShowException(e);
  } catch (...) {
    MessageBox("Unknown exception.", "", MbButtons::Ok, MbIcon::Error);
  }
}
