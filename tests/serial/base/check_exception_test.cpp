#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <stdexcept>
#include <string>

#include "platform/error_text.h"
#include "serial/base/component.h"
#include "serial/base/deva_exceptions.h"
#include "serial/base/deva_text.h"
#include "serial/base/message_table.h"

namespace {

// What CheckException raised: class name, code field and message.
struct Raised {
  std::string cls;
  std::int32_t code = 0;
  std::string message;
  std::int32_t xlat = 0;
};

Raised Raise(std::int32_t code) {
  try {
    CheckException(nullptr, code);
  } catch (const EDevaException& e) {
    return {e.ClassName(), e.ErrorCode, e.Message(), XlatException(e)};
  } catch (const EInOutError& e) {
    return {e.ClassName(), e.ErrorCode, e.Message(), XlatException(e)};
  } catch (const Exception& e) {
    return {e.ClassName(), 0, e.Message(), XlatException(e)};
  }
  ADD_FAILURE() << "nothing raised for " << code;
  return {};
}

bool In(std::int32_t code, std::int32_t hi, std::int32_t lo) { return code <= hi && code >= lo; }

// The codes that raise a class of their own.
bool IsMapped(std::int32_t c) {
  return In(c, -1002, -1009) || In(c, -2001, -2012) || c == -3001 || In(c, -3003, -3010) ||
         In(c, -4001, -4008) || In(c, -5001, -5003) || c == -6006 || c == -6008 || c == -6009 ||
         In(c, -7001, -7008) || In(c, -7010, -7014) || In(c, -8001, -8005) || c == -8053 ||
         In(c, -8060, -8070) || In(c, -13801, -13886) || In(c, -13928, -13932) || c == -13935 ||
         c == -13936 || c == -13942 || c == -13980;
}

std::string ExpectedClass(const AdMessageNumberLookupRecord& row) {
  const std::string bare(row.name.substr(4));  // without "_sec"
  const std::int32_t c = row.code;
  if (c == -1006 || c == -7003 || c == -7006 || c == -7012) return "EInternal";
  if (c == -6006 || c == -6008 || c == -6009) return "EProtocol";
  if (In(c, -13801, -13886)) return "ETapi" + bare;
  return "E" + bare;
}

TEST(CheckException, ReturnsCodesOfZeroAndAbove) {
  EXPECT_EQ(CheckException(nullptr, 0), 0);
  EXPECT_EQ(CheckException(nullptr, 17), 17);
  EXPECT_EQ(CheckException(nullptr, INT32_MAX), INT32_MAX);
}

TEST(CheckException, EveryNegativeRowRaisesItsClassOrTheFallback) {
  int mapped = 0;
  for (const auto& row : AdMessageNumberLookup()) {
    if (row.code >= 0 || In(row.code, -2, -162)) continue;
    const Raised r = Raise(row.code);
    if (IsMapped(row.code)) {
      ++mapped;
      EXPECT_EQ(r.cls, ExpectedClass(row)) << row.code;
      EXPECT_EQ(r.code, row.code);
      EXPECT_EQ(r.message, row.text) << row.code;
      EXPECT_EQ(r.xlat, row.code);
    } else {
      EXPECT_EQ(r.cls, "EDevaException") << row.code;
      EXPECT_EQ(r.code, 0) << row.code;
      EXPECT_EQ(r.message, "Deva exception");
      EXPECT_EQ(r.xlat, 0);
    }
  }
  EXPECT_EQ(mapped, 166);
}

TEST(CheckException, FileAndDeviceBandRaisesInOutErrorsWithPositiveNumbers) {
  struct Case {
    std::int32_t code;
    const char* cls;
    std::int32_t field;
    std::string message;
  };
  const Case cases[] = {
      {-1, "EDevaException", 0, "Deva exception"},
      {-2, "EInOutError", 2, "File not found"},
      {-7, "EInOutError", 7, ""},  // no platform counterpart, so no text
      {-87, "EInOutError", 87, CleanSystemText(SysErrorMessage(EINVAL))},
      {-8, "EOutOfMemory", 0, "Out of memory"},
      {-161, "EInOutError", 161, "Device read error"},
      {-162, "EInOutError", 162, "General failure"},
      {-163, "EDevaException", 0, "Deva exception"},
      {-9000, "EDevaException", 0, "Deva exception"},
      {INT32_MIN, "EDevaException", 0, "Deva exception"},
  };
  for (const Case& c : cases) {
    const Raised r = Raise(c.code);
    EXPECT_EQ(r.cls, c.cls) << c.code;
    EXPECT_EQ(r.code, c.field) << c.code;
    EXPECT_EQ(r.message, c.message) << c.code;
  }
  EXPECT_EQ(Raise(-161).xlat, -161);
  EXPECT_EQ(Raise(-8).xlat, -8);
  EXPECT_FALSE(Raise(-87).message.empty());
}

TEST(CheckException, LeavesBelongToTheirGroups) {
  auto group_of = [](std::int32_t code) -> std::string {
    try {
      CheckException(nullptr, code);
    } catch (const EOpenComm&) {
      return "EOpenComm";
    } catch (const ESerialIO&) {
      return "ESerialIO";
    } catch (const ETrigger&) {
      return "ETrigger";
    } catch (const EGeneral&) {
      return "EGeneral";
    } catch (const ETapi&) {
      return "ETapi";
    } catch (const EINI&) {
      return "EINI";
    } catch (const EDevaException&) {
      return "EDevaException";
    }
    return "";
  };
  EXPECT_EQ(group_of(-2005), "EOpenComm");
  EXPECT_EQ(group_of(-3006), "ESerialIO");
  EXPECT_EQ(group_of(-5003), "ETrigger");
  EXPECT_EQ(group_of(-7003), "EGeneral");  // EInternal
  EXPECT_EQ(group_of(-13868), "ETapi");
  EXPECT_EQ(group_of(-7013), "EINI");
  EXPECT_EQ(Raise(-3006).message, "Output buffer too small for block");
  EXPECT_EQ(Raise(-13868).cls, "ETapiNoMem");
}

TEST(CheckException, AnOwnerBeingLoadedGetsTheCodeBack) {
  TComponent owner(nullptr);
  owner.Loading();
  EXPECT_EQ(CheckException(&owner, -2001), -2001);
  owner.Loaded();
  EXPECT_THROW(CheckException(&owner, -2001), EBadId);
}

TEST(XlatException, ForeignExceptionsGiveTheGeneralCode) {
  EXPECT_EQ(XlatException(std::runtime_error("x")), -9999);
  EXPECT_EQ(XlatException(Exception("plain")), -9999);
  EXPECT_EQ(XlatException(EDevaException("text")), 0);
  EXPECT_EQ(XlatException(EDevaGSMPhoneException(-8300, "x")), -9999);
}

TEST(DevaExceptions, StandAloneAndPositionedClassesKeepWhatTheyAreGiven) {
  const EDevaGSMPhoneException phone(-8301, "Service reserved");
  EXPECT_EQ(phone.ErrorCode, -8301);
  EXPECT_EQ(phone.Message(), "Service reserved");
  const EDevaPagerException pager(4605, "paged");
  EXPECT_EQ(pager.ErrorCode, 4605);

  const EAdParserError parser(12, 7, L"Unexpected end");
  EXPECT_EQ(parser.Message(), "Unexpected end");
  EXPECT_EQ(parser.Reason, L"Unexpected end");
  EXPECT_EQ(parser.FilePosition, 0);
  EXPECT_EQ(parser.Line, 12);
  EXPECT_EQ(parser.LinePosition, 7);
  EXPECT_EQ(parser.ErrorCode, 0);
  const EXML& base = parser;
  EXPECT_STREQ(base.ClassName(), "EAdParserError");
  EXPECT_EQ(EAdStreamError(40, L"bad").FilePosition, 40);
  EXPECT_EQ(EDevaException::MapCodeToStringID(-2001), 2001);
  EXPECT_EQ(EDevaException(INT32_MIN).Message(), "");
  EXPECT_EQ(EDevaException(-3007).Message(), "Buffer is empty");
}

TEST(DevaLoadStr, TableTextByMagnitudeElseTheCleanedSystemText) {
  EXPECT_EQ(DevaLoadStr(2001), DevaLoadStr(-2001));
  EXPECT_EQ(DevaLoadStr(-2001), "ie_BadId - Specified comport doesn't exist");
  EXPECT_EQ(ErrorMsg(-5001), "No more trigger slots");
  EXPECT_EQ(DevaLoadStr(4200), "");  // an empty row, and no system text for 4200
  EXPECT_EQ(DevaLoadStr(-1167), CleanSystemText(SysErrorMessage(EIO)));
  // A code beyond 16 bits is its own number, not another row's.
  EXPECT_EQ(DevaLoadStr(65536 + 2001), "");
}

TEST(DevaLoadStr, SystemTextBecomesOneLine) {
  EXPECT_EQ(CleanSystemText("The device is gone.\r\n  Plug it in again.\r\n"),
            "The device is gone. Plug it in again. ");
  EXPECT_EQ(CleanSystemText("a\t\tb"), "a b");
  EXPECT_EQ(CleanSystemText(std::string(300, 'x')).size(), 255u);
}

TEST(DevaLoadZ, CopiesAsMuchAsFitsAndTerminates) {
  char big[256];
  EXPECT_STREQ(DevaLoadZ(big, -3007), "Buffer is empty");
  char small[7] = {'#', '#', '#', '#', '#', '#', '#'};
  DevaLoadZ(std::span<char>(small, 6), -3007);
  EXPECT_STREQ(small, "Buffe");
  EXPECT_EQ(small[6], '#');
}

}  // namespace
