#pragma once
// The run-time library's exception classes that the serial layer raises.
#include <cstdint>
#include <exception>
#include <string>

// Base of every exception the layer raises: a message text and a help context.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}

  const std::string& Message() const { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }
  virtual const char* ClassName() const { return "Exception"; }

  int HelpContext = 0;

 private:
  std::string message_;
};

// A file or device error; ErrorCode is the positive error number.
class EInOutError : public Exception {
 public:
  EInOutError(std::string message, std::int32_t code)
      : Exception(std::move(message)), ErrorCode(code) {}
  const char* ClassName() const override { return "EInOutError"; }

  std::int32_t ErrorCode;
};

class EOutOfMemory : public Exception {
 public:
  EOutOfMemory() : Exception("Out of memory") {}
  const char* ClassName() const override { return "EOutOfMemory"; }
};

// Raises EOutOfMemory, the way the run-time library reports an exhausted heap.
[[noreturn]] void OutOfMemoryError();
