#pragma once
// The serial layer's exception family, turned from and back into result codes.
#include <climits>
#include <cstdint>
#include <string>

#include "serial/base/deva_exception_list.h"
#include "serial/base/rtl_exceptions.h"

class TComponent;

class EDevaException : public Exception {
 public:
  // From a failure code: the message is the code's table text.
  explicit EDevaException(std::int32_t code);
  // From a text: ErrorCode 0.
  explicit EDevaException(std::string message);
  const char* ClassName() const override { return "EDevaException"; }

  // The code's magnitude; the most negative code, which has none, stays as it is.
  static std::int32_t MapCodeToStringID(std::int32_t code) {
    return code < 0 && code != INT32_MIN ? -code : code;
  }

  std::int32_t ErrorCode;
};

#define TRELM_DECLARE_DEVA_EXCEPTION(Class, Parent, Row)          \
  class Class : public Parent {                                   \
   public:                                                        \
    using Parent::Parent;                                         \
    const char* ClassName() const override { return #Class; }     \
  };
TRELM_DEVA_EXCEPTION_GROUPS(TRELM_DECLARE_DEVA_EXCEPTION)
TRELM_DEVA_EXCEPTION_LEAVES(TRELM_DECLARE_DEVA_EXCEPTION)
#undef TRELM_DECLARE_DEVA_EXCEPTION

// The stream, filter and parser errors carry where in the input they arose.
class EAdStreamError : public EXML {
 public:
  EAdStreamError(std::int32_t file_position, const std::wstring& message);
  const char* ClassName() const override { return "EAdStreamError"; }

  std::int32_t FilePosition;
};

class EAdFilterError : public EAdStreamError {
 public:
  EAdFilterError(std::int32_t file_position, std::int32_t line, std::int32_t line_position,
                 const std::wstring& reason);
  const char* ClassName() const override { return "EAdFilterError"; }

  std::wstring Reason;
  std::int32_t Line;
  std::int32_t LinePosition;
};

class EAdParserError : public EAdFilterError {
 public:
  EAdParserError(std::int32_t line, std::int32_t line_position, const std::wstring& reason)
      : EAdFilterError(0, line, line_position, reason) {}
  const char* ClassName() const override { return "EAdParserError"; }
};

// Phone and pager errors stand beside the family: a code and a text, both kept as given.
class EDevaGSMPhoneException : public Exception {
 public:
  EDevaGSMPhoneException(std::int32_t code, std::string message)
      : Exception(std::move(message)), ErrorCode(code) {}
  const char* ClassName() const override { return "EDevaGSMPhoneException"; }
  std::int32_t ErrorCode;
};

class EDevaPagerException : public Exception {
 public:
  EDevaPagerException(std::int32_t code, std::string message)
      : Exception(std::move(message)), ErrorCode(code) {}
  const char* ClassName() const override { return "EDevaPagerException"; }
  std::int32_t ErrorCode;
};

inline constexpr const char* kDevaExceptionText = "Deva exception";

// Returns a code of 0 or more unchanged, and any code while `owner` is loading;
// raises the exception that a negative code maps to otherwise.
std::int32_t CheckException(const TComponent* owner, std::int32_t code);

// The code an exception stands for: -9999 for one from outside the layer.
std::int32_t XlatException(const std::exception& e);
