#pragma once
// Named result codes of the serial layer: the failures that its dispatcher and
// port can return, by the names of their table rows without "_sec".
#include <cstdint>

// X(name, code)
#define TRELM_RESULT_CODES(X) \
  X(OK, 0)                        \
  X(FileNotFound, -2)             \
  X(PathNotFound, -3)             \
  X(TooManyFiles, -4)             \
  X(AccessDenied, -5)             \
  X(InvalidHandle, -6)            \
  X(OutOfMemory, -8)              \
  X(InvalidDrive, -15)            \
  X(NoMoreFiles, -18)             \
  X(DiskRead, -100)               \
  X(DiskFull, -101)               \
  X(NotAssigned, -102)            \
  X(NotOpen, -103)                \
  X(NotOpenInput, -104)           \
  X(NotOpenOutput, -105)          \
  X(WriteProtected, -150)         \
  X(UnknownUnit, -151)            \
  X(DriveNotReady, -152)          \
  X(UnknownCommand, -153)         \
  X(CrcError, -154)               \
  X(BadStructLen, -155)           \
  X(SeekError, -156)              \
  X(UnknownMedia, -157)           \
  X(SectorNotFound, -158)         \
  X(OutOfPaper, -159)             \
  X(DeviceWrite, -160)            \
  X(DeviceRead, -161)             \
  X(HardwareFailure, -162)        \
  X(BadHandle, -1001)             \
  X(BadArgument, -1002)           \
  X(GotQuitMsg, -1003)            \
  X(BufferTooBig, -1004)          \
  X(PortNotAssigned, -1005)       \
  X(Internal, -1006)              \
  X(ModemNotAssigned, -1007)      \
  X(PhonebookNotAssigned, -1008)  \
  X(CannotUseWithWinSock, -1009)  \
  X(BadId, -2001)                 \
  X(BaudRate, -2002)              \
  X(ByteSize, -2003)              \
  X(Default, -2004)               \
  X(Hardware, -2005)              \
  X(Memory, -2006)                \
  X(CommNotOpen, -2007)           \
  X(AlreadyOpen, -2008)           \
  X(NoHandles, -2009)             \
  X(NoTimers, -2010)              \
  X(NoPortSelected, -2011)        \
  X(NotOpenedByTapi, -2012)       \
  X(NullApi, -3001)               \
  X(NotSupported, -3002)          \
  X(RegisterHandlerFailed, -3003) \
  X(PutBlockFail, -3004)          \
  X(GetBlockFail, -3005)          \
  X(OutputBufferTooSmall, -3006)  \
  X(BufferIsEmpty, -3007)         \
  X(TracingNotEnabled, -3008)     \
  X(LoggingNotEnabled, -3009)     \
  X(BaseAddressNotSet, -3010)     \
  X(NoMoreTriggers, -5001)        \
  X(TriggerTooLong, -5002)        \
  X(BadTriggerHandle, -5003)      \
  X(NoMem, -13868)

#define TRELM_RESULT_CODE_CONSTANT(name, code) inline constexpr std::int32_t ec##name = code;
TRELM_RESULT_CODES(TRELM_RESULT_CODE_CONSTANT)
#undef TRELM_RESULT_CODE_CONSTANT
