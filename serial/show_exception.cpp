#include "serial/show_exception.h"

#include <stdexcept>

#include "platform/application.h"

void ShowException(const std::exception& e) { Application().ShowException(e); }

void ShowCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    ShowException(e);
  } catch (...) {
    ShowException(std::runtime_error("Unknown exception."));
  }
}
