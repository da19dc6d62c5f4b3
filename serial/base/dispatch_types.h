#pragma once
// The dispatcher's log event kinds. Each list is kept once here: the enumerations,
// their names and the labels that the code table holds for them are built from it.
#include <cstdint>

// X(name, label): the kinds of dispatch-log entry, in value order.
#define TRELM_DISPATCH_TYPES(X) \
  X(dtNone, "No event") \
  X(dtDispatch, "Dispatch") \
  X(dtTrigger, "Trigger") \
  X(dtError, "Error") \
  X(dtThread, "Thread") \
  X(dtTriggerAlloc, "TrigAllc") \
  X(dtTriggerDispose, "TrigDisp") \
  X(dtTriggerHandlerAlloc, "TrgHdAlc") \
  X(dtTriggerHandlerDispose, "TrgHdDsp") \
  X(dtTriggerDataChange, "TrDatChg") \
  X(dtTelnet, "Telnet") \
  X(dtFax, "Fax") \
  X(dtXModem, "XModem") \
  X(dtYModem, "YModem") \
  X(dtZModem, "ZModem") \
  X(dtKermit, "Kermit") \
  X(dtAscii, "Ascii") \
  X(dtBPlus, "BPlus") \
  X(dtPacket, "Packet") \
  X(dtUser, "User") \
  X(dtScript, "Script")

// X(name): the dispatch-log subkinds, in value order.
#define TRELM_DISPATCH_SUBTYPES(X) \
  X(dstNone) X(dstReadCom) X(dstWriteCom) X(dstLineStatus) X(dstModemStatus) X(dstAvail) \
  X(dstTimer) X(dstData) X(dstStatus) X(dstThreadStart) X(dstThreadExit) X(dstThreadSleep) \
  X(dstThreadWake) X(dstDataTrigger) X(dstTimerTrigger) X(dstStatusTrigger) X(dstAvailTrigger) \
  X(dstWndHandler) X(dstProcHandler) X(dstEventHandler) X(dstSWill) X(dstSWont) X(dstSDo) \
  X(dstSDont) X(dstRWill) X(dstRWont) X(dstRDo) X(dstRDont) X(dstCommand) X(dstSTerm) \
  X(dsttfNone) X(dsttfGetEntry) X(dsttfInit) X(dsttf1Init1) X(dsttf2Init1) X(dsttf2Init1A) \
  X(dsttf2Init1B) X(dsttf2Init2) X(dsttf2Init3) X(dsttfDial) X(dsttfRetryWait) X(dsttf1Connect) \
  X(dsttf1SendTSI) X(dsttf1TSIResponse) X(dsttf1DCSResponse) X(dsttf1TrainStart) \
  X(dsttf1TrainFinish) X(dsttf1WaitCFR) X(dsttf1WaitPageConnect) X(dsttf2Connect) \
  X(dsttf2GetParams) X(dsttfWaitXon) X(dsttfWaitFreeHeader) X(dsttfSendPageHeader) \
  X(dsttfOpenCover) X(dsttfSendCover) X(dsttfPrepPage) X(dsttfSendPage) X(dsttfDrainPage) \
  X(dsttf1PageEnd) X(dsttf1PrepareEOP) X(dsttf1SendEOP) X(dsttf1WaitMPS) X(dsttf1WaitEOP) \
  X(dsttf1WaitMCF) X(dsttf1SendDCN) X(dsttf1Hangup) X(dsttf1WaitHangup) X(dsttf2SendEOP) \
  X(dsttf2WaitFPTS) X(dsttf2WaitFET) X(dsttf2WaitPageOK) X(dsttf2SendNewParams) \
  X(dsttf2NextPage) X(dsttf20CheckPage) X(dsttfClose) X(dsttfCompleteOK) X(dsttfAbort) \
  X(dsttfDone) X(dstrfNone) X(dstrfInit) X(dstrf1Init1) X(dstrf2Init1) X(dstrf2Init1A) \
  X(dstrf2Init1B) X(dstrf2Init2) X(dstrf2Init3) X(dstrfWaiting) X(dstrfAnswer) X(dstrf1SendCSI) \
  X(dstrf1SendDIS) X(dstrf1CollectFrames) X(dstrf1CollectRetry1) X(dstrf1CollectRetry2) \
  X(dstrf1StartTrain) X(dstrf1CollectTrain) X(dstrf1Timeout) X(dstrf1Retrain) \
  X(dstrf1FinishTrain) X(dstrf1SendCFR) X(dstrf1WaitPageConnect) X(dstrf2ValidConnect) \
  X(dstrf2GetSenderID) X(dstrf2GetConnect) X(dstrfStartPage) X(dstrfGetPageData) \
  X(dstrf1FinishPage) X(dstrf1WaitEOP) X(dstrf1WritePage) X(dstrf1SendMCF) X(dstrf1WaitDCN) \
  X(dstrf1WaitHangup) X(dstrf2GetPageResult) X(dstrf2GetFHNG) X(dstrfComplete) X(dstrfAbort) \
  X(dstrfDone) X(dsttxInitial) X(dsttxHandshake) X(dsttxGetBlock) X(dsttxWaitFreeSpace) \
  X(dsttxSendBlock) X(dsttxDraining) X(dsttxReplyPending) X(dsttxEndDrain) \
  X(dsttxFirstEndOfTransmit) X(dsttxRestEndOfTransmit) X(dsttxEotReply) X(dsttxFinished) \
  X(dsttxDone) X(dstrxInitial) X(dstrxWaitForHSReply) X(dstrxWaitForBlockStart) \
  X(dstrxCollectBlock) X(dstrxProcessBlock) X(dstrxFinishedSkip) X(dstrxFinished) X(dstrxDone) \
  X(dsttyInitial) X(dsttyHandshake) X(dsttyGetFileName) X(dsttySendFileName) X(dsttyDraining) \
  X(dsttyReplyPending) X(dsttyPrepXmodem) X(dsttySendXmodem) X(dsttyFinished) \
  X(dsttyFinishDrain) X(dsttyDone) X(dstryInitial) X(dstryDelay) X(dstryWaitForHSReply) \
  X(dstryWaitForBlockStart) X(dstryCollectBlock) X(dstryProcessBlock) X(dstryOpenFile) \
  X(dstryPrepXmodem) X(dstryReceiveXmodem) X(dstryFinished) X(dstryDone) X(dsttzInitial) \
  X(dsttzHandshake) X(dsttzGetFile) X(dsttzSendFile) X(dsttzCheckFile) X(dsttzStartData) \
  X(dsttzEscapeData) X(dsttzSendData) X(dsttzWaitAck) X(dsttzSendEof) X(dsttzDrainEof) \
  X(dsttzCheckEof) X(dsttzSendFinish) X(dsttzCheckFinish) X(dsttzError) X(dsttzCleanup) \
  X(dsttzDone) X(dstrzRqstFile) X(dstrzDelay) X(dstrzWaitFile) X(dstrzCollectFile) \
  X(dstrzSendInit) X(dstrzSendBlockPrep) X(dstrzSendBlock) X(dstrzSync) X(dstrzStartFile) \
  X(dstrzStartData) X(dstrzCollectData) X(dstrzGotData) X(dstrzWaitEof) X(dstrzEndOfFile) \
  X(dstrzSendFinish) X(dstrzCollectFinish) X(dstrzError) X(dstrzWaitCancel) X(dstrzCleanup) \
  X(dstrzDone) X(dsttkInit) X(dsttkInitReply) X(dsttkCollectInit) X(dsttkOpenFile) \
  X(dsttkSendFile) X(dsttkFileReply) X(dsttkCollectFile) X(dsttkCheckTable) X(dsttkSendData) \
  X(dsttkBlockReply) X(dsttkCollectBlock) X(dsttkSendEof) X(dsttkEofReply) X(dsttkCollectEof) \
  X(dsttkSendBreak) X(dsttkBreakReply) X(dsttkCollectBreak) X(dsttkComplete) X(dsttkWaitCancel) \
  X(dsttkError) X(dsttkDone) X(dstrkInit) X(dstrkGetInit) X(dstrkCollectInit) X(dstrkGetFile) \
  X(dstrkCollectFile) X(dstrkGetData) X(dstrkCollectData) X(dstrkComplete) X(dstrkWaitCancel) \
  X(dstrkError) X(dstrkDone) X(dsttaInitial) X(dsttaGetBlock) X(dsttaWaitFreeSpace) \
  X(dsttaSendBlock) X(dsttaSendDelay) X(dsttaFinishDrain) X(dsttaFinished) X(dsttaDone) \
  X(dstraInitial) X(dstraCollectBlock) X(dstraProcessBlock) X(dstraFinished) X(dstraDone) \
  X(dstEnable) X(dstDisable) X(dstStringPacket) X(dstSizePacket) X(dstPacketTimeout) \
  X(dstStartStr) X(dstEndStr) X(dstIdle) X(dstWaiting) X(dstCollecting) \
  X(dstThreadStatusQueued) X(dstThreadDataQueued) X(dstThreadDataWritten) X(dsttzSinit) \
  X(dsttzCheckSInit)

enum TDispatchType : std::uint8_t {
#define TRELM_ENUM_VALUE(name, label) name,
  TRELM_DISPATCH_TYPES(TRELM_ENUM_VALUE)
#undef TRELM_ENUM_VALUE
};

enum TDispatchSubType : std::uint16_t {
#define TRELM_ENUM_VALUE(name) name,
  TRELM_DISPATCH_SUBTYPES(TRELM_ENUM_VALUE)
#undef TRELM_ENUM_VALUE
};

inline constexpr const char* kDispatchTypeNames[] = {
#define TRELM_NAME(name, label) #name,
    TRELM_DISPATCH_TYPES(TRELM_NAME)
#undef TRELM_NAME
};

inline constexpr const char* kDispatchTypeLabels[] = {
#define TRELM_LABEL(name, label) label,
    TRELM_DISPATCH_TYPES(TRELM_LABEL)
#undef TRELM_LABEL
};

inline constexpr const char* kDispatchSubTypeNames[] = {
#define TRELM_NAME(name) #name,
    TRELM_DISPATCH_SUBTYPES(TRELM_NAME)
#undef TRELM_NAME
};

inline constexpr int kDispatchTypeCount = sizeof kDispatchTypeNames / sizeof *kDispatchTypeNames;
inline constexpr int kDispatchSubTypeCount =
    sizeof kDispatchSubTypeNames / sizeof *kDispatchSubTypeNames;
static_assert(kDispatchTypeCount == 21 && kDispatchSubTypeCount == 257);
