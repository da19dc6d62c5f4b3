#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>

#include "serial/base/dispatch_types.h"
#include "serial/base/message_table.h"
#include "serial/base/result_codes.h"

namespace {

struct QuotedRow {
  int code;
  const char* name;
  const char* text;
};

// The rows whose wording is fixed word for word.
const QuotedRow kQuoted[] = {
    {0, "_secOK", "OK"},
    {-2, "_secFileNotFound", "File not found"},
    {-3, "_secPathNotFound", "Path not found"},
    {-4, "_secTooManyFiles", "Too many open files"},
    {-5, "_secAccessDenied", "File access denied"},
    {-6, "_secInvalidHandle", "Invalid file handle"},
    {-8, "_secOutOfMemory", "Insufficient memory"},
    {-15, "_secInvalidDrive", "Invalid drive"},
    {-18, "_secNoMoreFiles", "No more files"},
    {-100, "_secDiskRead", "Attempt to read beyond end of file"},
    {-101, "_secDiskFull", "Disk is full"},
    {-102, "_secNotAssigned", "File/device not assigned"},
    {-103, "_secNotOpen", "File/device not open"},
    {-104, "_secNotOpenInput", "File/device not open for input"},
    {-105, "_secNotOpenOutput", "File/device not open for output"},
    {-150, "_secWriteProtected", "Disk is write-protected"},
    {-151, "_secUnknownUnit", "Unknown disk unit"},
    {-152, "_secDriveNotReady", "Drive is not ready"},
    {-153, "_secUnknownCommand", "Unknown command"},
    {-154, "_secCrcError", "Data error"},
    {-155, "_secBadStructLen", "Bad request structure length"},
    {-156, "_secSeekError", "Seek error"},
    {-157, "_secUnknownMedia", "Unknown media type"},
    {-158, "_secSectorNotFound", "Disk sector not found"},
    {-159, "_secOutOfPaper", "Printer is out of paper"},
    {-160, "_secDeviceWrite", "Device write error"},
    {-161, "_secDeviceRead", "Device read error"},
    {-162, "_secHardwareFailure", "General failure"},
    {-1001, "_secBadHandle", "Bad handle passed to com function"},
    {-1002, "_secBadArgument", "Bad argument passed to function"},
    {-1003, "_secGotQuitMsg", "Got quit message"},
    {-1004, "_secBufferTooBig", "Terminal buffer greater than 65521"},
    {-1005, "_secPortNotAssigned", "ComPort component not assigned"},
    {-1006, "_secInternal", "Internal error creating window class"},
    {-1007, "_secModemNotAssigned", "Modem component not assigned"},
    {-1008, "_secPhonebookNotAssigned", "Phonebook component not assigned"},
    {-1009, "_secCannotUseWithWinSock", "Component not compatible with WinSock"},
    {-2001, "_secBadId", "ie_BadId - Specified comport doesn't exist"},
    {-2002, "_secBaudRate", "ie_Baudrate - unsupported baud rate"},
    {-2003, "_secByteSize", "ie_Bytesize - invalid byte size"},
    {-2004, "_secDefault", "ie_Default - error in default parameters"},
    {-2005, "_secHardware", "ie_Hardware - Specified comport in use"},
    {-2006, "_secMemory", "ie_Memory - unable to allocate queues"},
    {-2007, "_secCommNotOpen", "ie_NOpen - device not open"},
    {-2008, "_secAlreadyOpen", "ie_Open - device already open"},
    {-2009, "_secNoHandles", "No more handles, can't open port"},
    {-2010, "_secNoTimers", "No timers available"},
    {-2011, "_secNoPortSelected", "The ComNumber property of the TDevaComPort has not been set"},
    {-2012, "_secNotOpenedByTapi", "Comport was not opened by Tapi"},
    {-3001, "_secNullApi", "No device layer specified"},
    {-3002, "_secNotSupported", "Function not supported by driver"},
    {-3003, "_secRegisterHandlerFailed", "EnableCommNotification failed"},
    {-3004, "_secPutBlockFail", "Failed to put entire block"},
    {-3005, "_secGetBlockFail", "Failed to get entire block"},
    {-3006, "_secOutputBufferTooSmall", "Output buffer too small for block"},
    {-3007, "_secBufferIsEmpty", "Buffer is empty"},
    {-3008, "_secTracingNotEnabled", "Tracing not enabled"},
    {-3009, "_secLoggingNotEnabled", "Logging not enabled"},
    {-3010, "_secBaseAddressNotSet", "Base address not set"},
    {-5001, "_secNoMoreTriggers", "No more trigger slots"},
    {-5002, "_secTriggerTooLong", "Data trigger too long"},
    {-5003, "_secBadTriggerHandle", "Bad trigger handle"},
    {-13868, "_secNoMem", "No memory"},
    {15001, "_sdtNone", "No event"},
    {15010, "_sdtTriggerDataChange", "TrDatChg"},
    {15021, "_sdtScript", "Script"},
    {15101, "_sdstReadCom", "ReadCom"},
    {15103, "_sdstLineStatus", "Line status"},
    {15121, "_sdstSWont", "Sent WON'T"},
    {15139, "_sdsttfDial", "tfDial"},
    {15143, "_sdsttf1TSIResponse", "tf1TSIRespns"},
    {15200, "_sdstrf1WaitPageConnect", "rf1WtPgCnnct"},
    {15225, "_sdsttxFirstEndOfTransmit", "txFirstEOT"},
    {15244, "_sdsttyPrepXmodem", "tyPrpXmdm"},
    {15292, "_sdstrzCollectFinish", "rzCollFin"},
    {15346, "_sdstPacketTimeout", "PcktTimeout"},
    {15355, "_sdsttzSInit", "ZSInit"},
    {15356, "_sdsttzCheckSInit", "CheckSInit"},
    {15501, "_sdispHeader", "Time      Type      SubType       Data      OtherData"},
    {15502, "_sdispHeaderLine", "--------  --------  ------------  --------  ---------"},
    {15601, "_sdispmdmtagDCTS", "DCTS "},
    {15608, "_sdispmdmtagDCD", "DCD "},
    {15700, "_sdispTelnetBinary", "Binary"},
    {15707, "_sdispTelnetRemoteTransEcho", "Remote Trans & Echo"},
    {15730, "_sdispTelnetX3PAD", "X.3 PAD"},
    {15742, "_sdispTelnetCharacterSet", "Character Set"},
};

std::uint32_t Magnitude(int code) { return code < 0 ? 0u - static_cast<std::uint32_t>(code) : code; }

TEST(MessageTable, RowsRunByStrictlyIncreasingMagnitudeFromOkToTheLastTelnetOption) {
  const auto table = AdMessageNumberLookup();
  ASSERT_EQ(table.size(), kMessageTableRows);
  EXPECT_EQ(table.front().code, 0);
  EXPECT_EQ(table.back().code, 15742);
  for (std::size_t i = 1; i < table.size(); ++i)
    EXPECT_LT(Magnitude(table[i - 1].code), Magnitude(table[i].code)) << table[i].name;
}

TEST(MessageTable, BandsHoldTheirRowsWithTheirSigns) {
  struct Band {
    int from, to, rows;  // codes, by magnitude from..to
  };
  const Band bands[] = {
      {0, 0, 1},           {-2, -162, 27},      {-1001, -1009, 9},    {-2001, -2012, 12},
      {-3001, -3010, 10},  {-4001, -4021, 19},  {4101, 4843, 141},    {-5001, -5003, 3},
      {-5501, -5506, 6},   {-6001, -6016, 16},  {-7001, -7502, 17},   {-8001, -8500, 65},
      {9001, 11004, 59},   {13501, 13933, 69},  {-13801, -13959, 111}, {-13980, -13980, 1},
      {15001, 15742, 331},
  };
  int total = 0;
  for (const Band& b : bands) {
    int rows = 0;
    for (const auto& row : AdMessageNumberLookup()) {
      const bool in = Magnitude(row.code) >= Magnitude(b.from) &&
                      Magnitude(row.code) <= Magnitude(b.to) && (row.code < 0) == (b.from < 0);
      rows += in ? 1 : 0;
    }
    EXPECT_EQ(rows, b.rows) << "band from " << b.from;
    total += rows;
  }
  EXPECT_EQ(total, static_cast<int>(kMessageTableRows));
}

TEST(MessageTable, EveryRowIsFoundByEitherSign) {
  for (const auto& row : AdMessageNumberLookup()) {
    EXPECT_EQ(MessageNumberToString(row.code), row.text) << row.code;
    EXPECT_EQ(MessageNumberToString(-row.code), row.text) << row.code;
  }
}

TEST(MessageTable, ElevenRowsAndOnlyTheseHaveNoText) {
  const std::set<int> empty = {4200, 4600, 4630, 4660, 4725, 4726,
                               4727, 4728, 4730, 10000, 15100};
  std::set<int> found;
  for (const auto& row : AdMessageNumberLookup()) {
    if (row.text.empty()) found.insert(row.code);
    EXPECT_LE(row.text.size(), kMaxMessageText);
  }
  EXPECT_EQ(found, empty);
}

TEST(MessageTable, FixedTextsAndNamesAreExact) {
  for (const QuotedRow& q : kQuoted) {
    const AdMessageNumberLookupRecord* row = FindMessageRow(q.name);
    ASSERT_NE(row, nullptr) << q.name;
    EXPECT_EQ(row->code, q.code) << q.name;
    EXPECT_EQ(row->text, q.text) << q.name;
  }
}

TEST(MessageTable, OtherRowsReadAsTheWordsOfTheirNames) {
  const QuotedRow derived[] = {
      {-4001, "_secModemNotStarted", "Modem not started"},
      {-8304, "_secInvalidPDU", "Invalid PDU"},
      {4305, "_sdddModemConnect", "Modem connect"},
      {-13817, "_secInvalAddressID", "Inval address ID"},
      {-13950, "_secVoIPNotSupported", "VoIP not supported"},
      {13667, "_sTAPIDisconnect_QOSUnavail", "Disconnect QOS unavail"},
  };
  for (const QuotedRow& q : derived) EXPECT_EQ(MessageNumberToString(q.code), q.text) << q.name;
}

TEST(MessageTable, DispatchLabelsFitTheirColumns) {
  for (int i = 0; i < kDispatchSubTypeCount; ++i) {
    const std::string label = MessageNumberToString(15100 + i);
    EXPECT_LE(label.size(), i >= 30 && i <= 245 ? 12u : 13u) << kDispatchSubTypeNames[i];
  }
  for (int i = 0; i < kDispatchTypeCount; ++i)
    EXPECT_EQ(MessageNumberToString(15001 + i), kDispatchTypeLabels[i]);
}

TEST(MessageTable, CodesOutsideTheTableFindNothingAndNeverAliasAnotherRow) {
  for (int code : {1, 7, 1000, 4729, 15743, 32767, -32768, 65536 + 2001, -(65536 + 2001),
                   65536 * 2, INT32_MAX, INT32_MIN})
    EXPECT_EQ(MessageNumberToString(code), "") << code;
}

TEST(MessageTable, NamedResultCodesAreTheCodesOfTheirRows) {
#define TRELM_CHECK_CODE(name, value)                                 \
  {                                                                   \
    const AdMessageNumberLookupRecord* row = FindMessageRow("_sec" #name); \
    ASSERT_NE(row, nullptr) << #name;                                 \
    EXPECT_EQ(row->code, value) << #name;                             \
  }
  TRELM_RESULT_CODES(TRELM_CHECK_CODE)
#undef TRELM_CHECK_CODE
  EXPECT_EQ(ecDeviceRead, -161);
}

}  // namespace
