#include "serial/base/show_exception.h"

#include <stdexcept>

#include "platform/application.h"

void ShowCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    Application().ShowException(e);
  } catch (...) {
    Application().ShowException(std::runtime_error("Unknown exception."));
  }
}
