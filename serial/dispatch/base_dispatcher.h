#pragma once
// The device-independent half of a serial port's dispatcher: one per open
// port. It opens the device through its virtual device operations, owns the
// 8192-byte input ring and the output ring, keeps the working device-control
// block, and offers the line, modem-line, flow-control, break, ring and
// buffer-count operations of the port. Operations return 0, a count, a handle
// or a state on success and a negative result code on failure; they raise
// nothing (ThreadGone catches what it raises itself).
//
// Locks, always taken in this order and never the other way round:
//   InputLock -> TriggerLock -> OutputLock -> a queue's own lock.
// InputLock guards the input ring, the matching position and the handler read
// accounting; TriggerLock the device-control block, the line state, the modem
// shadow, the trigger and handler lists, the busy owners and the trace ring;
// OutputLock the output ring and LastComStat; a TIOQueue's lock only its items.
// Flags that threads read without a lock are atomic. No lock is held while a
// handler runs. The device's descriptor is closed only after every thread that
// may use it has ended.
//
// Threads: a dispatcher runs its threads from StartDispatcher to CloseCom and
// joins them before it is freed. It must not be freed from its own handler:
// a handler may call DonePort, which leaves the release to the end of the
// dispatch thread (ClosePending); whoever frees the object then waits for that.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/comm_types.h"
#include "platform/critical_section.h"
#include "platform/event.h"
#include "platform/message_window.h"
#include "platform/thread.h"
#include "serial/base/dispatch_types.h"
#include "serial/dispatch/io_queue.h"
#include "serial/dispatch/trigger_records.h"

class TComponent;

inline constexpr std::uint32_t kInRingSize = 8192;
// The largest trace ring, in entries.
inline constexpr std::uint32_t kMaxTraceEntries = 4000000;

// Option bits of InitPort.
inline constexpr std::uint32_t kOptRaiseDtr = 0x01;
inline constexpr std::uint32_t kOptRaiseRts = 0x02;
inline constexpr std::uint32_t kOptDtrByDriver = 0x10;
inline constexpr std::uint32_t kOptRtsByDriver = 0x20;

// Hardware flow option bits.
inline constexpr std::uint32_t kHwfUseDtr = 1;
inline constexpr std::uint32_t kHwfUseRts = 2;
inline constexpr std::uint32_t kHwfRequireDsr = 4;
inline constexpr std::uint32_t kHwfRequireCts = 8;
// Software flow option bits.
inline constexpr std::uint32_t kSwfTransmit = 1;
inline constexpr std::uint32_t kSwfReceive = 2;

// Modem-status byte: the lines as the device reports them (kMs... bits) in its
// high half, and below them the delta bits, set when a line changed.
inline constexpr std::uint8_t kDeltaCts = 0x01;
inline constexpr std::uint8_t kDeltaDsr = 0x02;
inline constexpr std::uint8_t kDeltaRi = 0x04;  // ring ended
inline constexpr std::uint8_t kDeltaDcd = 0x08;

// The notifications, sent as window messages and handed to the other handlers;
// lParam is the dispatcher's handle times 65536 plus a value.
inline constexpr std::uint32_t kNotifyAvail = 0x7E01;    // wParam: the unread bytes announced
inline constexpr std::uint32_t kNotifyData = 0x7E02;     // wParam: the data trigger; value: its length
inline constexpr std::uint32_t kNotifyTimer = 0x7E03;    // wParam: the timer trigger
inline constexpr std::uint32_t kNotifyStatus = 0x7E04;   // wParam: the status trigger
inline constexpr std::uint32_t kLengthTriggerHandle = 1;  // the length trigger has no record

enum TApThreadBoost : std::uint8_t { tbNone, tbPlusOne, tbPlusTwo };

// Flow states as the flow operations return them: the ordinal plus one.
enum TFlowControlState {
  fcOff,
  fcOn,
  fcDsrHold,
  fcCtsHold,
  fcDcdHold,
  fcXOutHold,
  fcXInHold,
  fcXBothHold,
};

struct TTraceEntry {
  char Kind = 0;  // 'T' sent, 'R' received, any other: added by the port
  std::uint8_t Value = 0;
};

class TDevaBaseDispatcher {
 public:
  explicit TDevaBaseDispatcher(TComponent* Owner);
  // Every concrete dispatcher calls ReleaseBeforeDestroy in its destructor:
  // the release needs the device operations, which are gone by the time this
  // destructor runs.
  virtual ~TDevaBaseDispatcher();
  TDevaBaseDispatcher(const TDevaBaseDispatcher&) = delete;
  TDevaBaseDispatcher& operator=(const TDevaBaseDispatcher&) = delete;

  // ---- Fields ----
  TComponent* PortOwner;
  std::int32_t DispatcherHandle = -1;  // index in PortList
  std::atomic<std::int32_t> ComHandle{-1};  // negative: not open
  // OR of the line errors gathered (kCe... bits); -1 after an I/O thread failed.
  std::atomic<std::int32_t> LineErrors{0};
  std::uint32_t InQueueSize = 0;
  std::uint32_t OutQueueSize = 0;
  std::uint32_t ModemStatusShadow = 0;
  TCommStat LastComStat;
  TCommDcb PortDCB;
  std::uint32_t CurrentBaud = 0;
  std::uint32_t OptionFlags = 0;
  std::atomic<bool> DtrRaised{false};
  std::atomic<bool> DtrByDriver{false};
  std::atomic<bool> RtsRaised{false};
  std::atomic<bool> RtsByDriver{false};
  WindowHandle DispatchWindow = 0;
  std::uint32_t PrevModemStatus = 0;
  std::uint32_t PrevLineError = 0;
  std::atomic<bool> RS485Mode{false};
  std::atomic<std::uint16_t> BaseAddress{0};
  bool PortHandlerPresent = false;
  std::atomic<bool> NotifyNeeded{false};
  std::vector<std::unique_ptr<TWndTriggerHandler>> WndHandlerList;
  std::vector<std::unique_ptr<TProcTriggerHandler>> ProcHandlerList;
  std::vector<std::unique_ptr<TEventTriggerHandler>> EventHandlerList;
  std::vector<std::unique_ptr<TTimerTrigger>> TimerTriggerList;
  std::vector<std::unique_ptr<TDataTrigger>> DataTriggerList;
  std::vector<std::unique_ptr<TStatusTrigger>> StatusTriggerList;
  std::uint32_t MatchPos = 0;
  std::uint32_t LengthPos = 0;
  std::uint32_t LengthTrigger = 0;
  bool StatusHit = false;
  // A notification of new data is being delivered: reads count in
  // HandlerReadCount instead of moving InTail.
  std::atomic<bool> InAvailNotify{false};
  std::uint32_t HandlerReadCount = 0;
  std::uint32_t MaxHandlerReadCount = 0;
  // The thread that runs the current handler of an avail or data notification:
  // only its reads count as the handler's. While a notification with handlers
  // is delivered (HandlerReadsHeld), readers on other threads find no input,
  // so that no byte is handed out twice.
  std::thread::id HandlerThread;
  bool HandlerReadsHeld = false;
  // Received bytes not yet run through the data triggers; they start at MatchPos.
  std::uint32_t MatchPending = 0;
  bool InRingFull = false;  // InHead = InTail then means full, not empty
  std::uint32_t NotifyPos = 0;
  std::atomic<bool> KillThreads{false};
  // Set by the threads as they start, cleared by ThreadGone under TriggerLock.
  std::atomic<TThread*> ReadThread{nullptr};
  std::atomic<TThread*> DispatchThread{nullptr};
  std::atomic<TThread*> WriteThread{nullptr};
  std::atomic<TThread*> StatusThread{nullptr};
  std::uint8_t ThreadBoost = tbNone;
  TCriticalSection TriggerLock;
  TCriticalSection OutputLock;
  TCriticalSection InputLock;
  // Made by InitPort, released once with the port. WriteDoneEvent
  // (manual reset) is set while the output ring is empty.
  std::unique_ptr<TEvent> CommEventSignal;
  std::unique_ptr<TEvent> CycleDoneEvent;
  std::unique_ptr<TEvent> GeneralEvent;
  std::unique_ptr<TEvent> OutputEvent;
  std::unique_ptr<TEvent> WriteDoneEvent;
  std::unique_ptr<TEvent> OutFlushEvent;
  std::array<TEvent*, 2> OutputHandles{};     // OutputEvent, OutFlushEvent
  std::array<TEvent*, 2> WriteDoneHandles{};  // WriteDoneEvent, OutFlushEvent
  std::atomic<std::uint32_t> CycleEventMask{0};
  std::atomic<bool> RingPending{false};
  TIOQueue InputQueue;
  std::unique_ptr<std::uint8_t[]> OutRing;  // OutQueueSize bytes; absent when released
  std::uint32_t OutHead = 0;  // where the next queued byte goes
  std::uint32_t OutTail = 0;  // where the write thread takes the next byte
  bool OutRingFull = false;
  // Set by a reader that frees room while the dispatch thread waits for it.
  TEvent RoomInRing;
  std::atomic<bool> WaitingForRoom{false};
  std::unique_ptr<std::uint8_t[]> InRing;  // kInRingSize bytes; absent when released
  std::uint32_t InHead = 0;  // where the next received byte goes
  std::uint32_t InTail = 0;  // the next unread byte
  // Handlers or a wait are running: WaitBusy or NotifyBusy, kept under
  // TriggerLock. The two owners are separate so that a wait inside a handler,
  // or a notification during a wait, never ends the other's claim.
  std::atomic<bool> EventBusy{false};
  bool WaitBusy = false;        // the port's waits (SetEventBusy)
  std::int32_t NotifyBusy = 0;  // notifications being delivered
  bool HandlerListDirty = false;
  std::atomic<bool> ClosePending{false};
  std::atomic<bool> OutputSentPending{false};
  std::atomic<bool> TracingOn{false};
  std::unique_ptr<TTraceEntry[]> TraceRing;
  std::uint32_t TraceHead = 0;
  std::uint32_t TraceCapacity = 0;
  bool TraceWrapped = false;
  std::atomic<bool> DLoggingOn{false};
  TIOQueue LogQueue;
  std::atomic<std::uint32_t> LogCap{0};  // most attached bytes the log holds; 0 no cap
  std::uint32_t LogTimeBase = 0;
  std::uint32_t TimerId = 0;
  std::uint32_t NextTriggerHandle = 1;
  std::atomic<bool> DispatcherActive{false};
  std::atomic<bool> DonePortOnExit{false};
  std::atomic<std::int32_t> ActiveThreads{0};
  bool CloseInProgress = false;
  std::array<void*, 3> DataPointers{};  // slots 1 to 3
  std::string DeviceName;
  std::atomic<std::uint32_t> LastThreadError{0};

  // ---- Life cycle ----
  std::int32_t InitPort(const char* ComName, std::int32_t Baud, std::uint32_t Parity,
                        std::int8_t DataBits, std::int8_t StopBits, std::uint32_t InSize,
                        std::uint32_t OutSize, std::uint32_t Options);
  std::int32_t InitSocket(std::uint32_t InSize, std::uint32_t OutSize);
  std::int32_t SetCommBuffers(std::int32_t InSize, std::int32_t OutSize);
  void DonePort();
  // Step one of destruction (idempotent), run by the most derived destructor.
  void ReleaseBeforeDestroy();
  void ThreadStart(TThread* Thread);
  void ThreadGone(TThread* Thread);

  // ---- Line settings and modem lines ----
  std::int32_t SetLine(std::int32_t Baud, std::uint32_t Parity, std::int8_t DataBits,
                       std::int8_t StopBits);
  void GetLine(std::int32_t& Baud, std::uint16_t& Parity, std::int8_t& DataBits,
               std::int8_t& StopBits);
  static std::uint32_t BaudLookup(std::uint32_t Baud);
  std::int32_t SetModem(bool DTR, bool RTS);
  std::int32_t SetDtr(bool Raise);
  std::int32_t SetRts(bool Raise);
  std::uint8_t GetModemStatusPrim(std::uint8_t ClearMask);
  std::uint8_t GetModemStatus();
  bool CheckCTS();
  bool CheckDSR();
  bool CheckRI();
  bool CheckDCD();
  bool CheckDeltaCTS();
  bool CheckDeltaDSR();
  bool CheckDeltaRI();
  bool CheckDeltaDCD();
  std::int32_t RefreshStatus();
  void MapEventsToMS(std::int32_t Events);
  std::int32_t GetLineError();
  bool CheckLineBreak();
  void SendBreak(std::uint32_t Ticks, bool Yield);
  void SetBreak(bool On);
  std::int32_t SetCommStateFix(TCommDcb& DCB);

  // ---- Flow control ----
  std::int32_t HWFlowOptions(std::uint32_t BufferFull, std::uint32_t BufferResume,
                             std::uint32_t Options);
  std::int32_t HWFlowState();
  std::int32_t SWFlowEnable(std::uint32_t BufferFull, std::uint32_t BufferResume,
                            std::uint32_t Options);
  std::int32_t SWFlowDisable();
  std::int32_t SWFlowState();
  std::int32_t SWFlowChars(char XOn, char XOff);

  // ---- Rings ----
  static std::uint32_t UsedCount(std::uint32_t Head, std::uint32_t Tail, bool Full,
                                 std::uint32_t Size = kInRingSize);
  bool CharReady();
  std::int32_t PeekCharPrim(char& C, std::uint32_t Count);
  std::int32_t PeekChar(char& C, std::uint32_t Count);
  std::int32_t GetChar(char& C);
  std::int32_t PeekBlockPrim(std::span<char> Block, std::uint32_t Offset, std::uint32_t& NewTail);
  std::int32_t PeekBlock(std::span<char> Block);
  std::int32_t GetBlock(std::span<char> Block);
  std::int32_t PutChar(char C);
  std::int32_t PutString(std::string_view S);
  std::int32_t PutBlock(std::span<const char> Block);
  void AddStringToLog(std::string_view S);
  std::uint32_t InBuffUsed();
  std::uint32_t InBuffFree();
  std::uint32_t OutBuffUsed();
  std::uint32_t OutBuffFree();
  std::int32_t FlushOutBuffer();
  std::int32_t FlushInBuffer();
  void BufferSizes(std::uint32_t& InSize, std::uint32_t& OutSize);
  // Blocks until the calling thread finds unread input (CharReady), the ring
  // is released, or `timeoutMs` passes; returns CharReady.
  bool WaitForInput(std::uint32_t timeoutMs);
  // Wakes what waits for input: WaitForInput and the wakes added here. It runs
  // when input arrives, a notification ends, the rings go and the last thread
  // ends; the port runs it too at a close and at the program's end.
  void InputArrived();
  // Calls `wake` at every InputArrived until the id returned goes to
  // RemoveInputWake. The port's waits block on it, with what else they await.
  int AddInputWake(MessageWaitWake wake);
  void RemoveInputWake(int id);

  // ---- Triggers ----
  std::uint32_t GetTriggerHandle();  // TriggerLock held; 0 when none is free
  void ChangeLengthTrigger(std::uint32_t Length);
  std::int32_t AddTimerTrigger();
  std::int32_t AddDataTriggerLen(const char* Data, bool IgnoreCase, std::uint32_t Len);
  std::int32_t AddDataTrigger(const char* Data, bool IgnoreCase);
  std::int32_t AddStatusTrigger(std::uint32_t SType);
  // TriggerLock held. 0 and the record, or -5003 and none. With Delete the
  // record found is freed and none is handed back.
  std::int32_t FindTriggerFromHandle(std::uint32_t Handle, bool Delete, TTriggerRef& Trigger);
  std::int32_t RemoveTrigger(std::uint32_t Handle);
  std::int32_t SetTimerTrigger(std::uint32_t Handle, std::int32_t Ticks, bool Activate);
  std::int32_t ExtendTimer(std::uint32_t Handle, std::int32_t Ticks);
  std::int32_t TimerTicksRemaining(std::uint32_t Handle, std::int32_t& Remaining);
  std::int32_t SetStatusTrigger(std::uint32_t Handle, std::uint16_t Value, bool Activate);
  void RemoveAllTriggers();
  void ResetStatusHits();
  void ResetDataTriggers();
  void SaveTriggers(TTriggerSave& Save);
  void RestoreTriggers(const TTriggerSave& Save);
  static void ClearSaveBuffers(TTriggerSave& Save);

  // ---- Trigger checks, run by the dispatch thread; each returns the result
  // of the last notification it sent, or false when it sent none ----
  // One received byte through one data trigger: true when it completes the pattern.
  static bool MatchDataTrigger(TDataTrigger& Trigger, char C);
  bool CheckReceiveTriggers();
  bool CheckStatusTriggers();  // also run by a failing I/O thread
  bool CheckTimerTriggers();
  bool CheckTriggers();
  // Moves what the device layer received into the input ring.
  bool ExtractData();
  // Delivers one notification to every handler; see trigger_notify.cpp.
  bool SendNotify(std::uint32_t Msg, std::uint32_t wParam, std::uint32_t Value);

  // ---- Handlers ----
  void RegisterWndTriggerHandler(WindowHandle Window);
  void RegisterProcTriggerHandler(TDevaNotifyProc Proc);
  void RegisterEventTriggerHandler(TDevaNotifyEvent Event);
  void RegisterSyncEventTriggerHandler(TDevaNotifyEvent Event);
  void DeregisterWndTriggerHandler(WindowHandle Window);
  void DeregisterProcTriggerHandler(TDevaNotifyProc Proc);
  void DeregisterEventTriggerHandler(TDevaNotifyEvent Event);
  // The wait owner's flag: WasOn gets its old value.
  void SetEventBusy(bool& WasOn, bool SetOn);

  // ---- Small operations beside the triggers ----
  std::int32_t SetDataPointer(void* P, std::uint32_t Index);
  std::int32_t GetDataPointer(void*& P, std::uint32_t Index);
  void OptionsOn(std::uint32_t Options);
  void OptionsOff(std::uint32_t Options);
  bool OptionsAreOn(std::uint32_t Options);
  std::int32_t ChangeBaud(std::int32_t Baud);
  std::int32_t GetFlowOptions(std::uint32_t& HWOpts, std::uint32_t& SWOpts,
                              std::uint32_t& BufferFull, std::uint32_t& BufferResume,
                              char& OnChar, char& OffChar);
  // A hidden window of the calling thread that answers every message with 0,
  // kept in DispatchWindow. Nothing calls it.
  void CreateDispatcherWindow();

  // ---- RS485 ----
  void SetRS485Mode(bool On);
  void SetBaseAddress(std::uint16_t Address);
  std::uint16_t GetBaseAddress();
  // No processor port access here: the line status reads as an idle UART.
  static std::uint8_t PortIn(std::uint16_t Address);

  // ---- Line trace and dispatch log ----
  std::int32_t InitTracing(std::uint32_t NumEntries);
  std::int32_t ClearTracing();
  void AbortTracing();
  void StartTracing();
  void StopTracing();
  void AddTraceEntry(char Kind, std::uint8_t Value);
  std::int32_t DumpTrace(const char* FName, bool InHex, bool AllHex);
  std::int32_t AppendTrace(const char* FName, bool InHex, bool AllHex);
  std::int32_t DumpTracePrim(const char* FName, bool Append, bool InHex, bool AllHex);
  void InitDispatchLogging(std::uint32_t Cap);
  void ClearDispatchLogging();
  void AbortDispatchLogging();
  void StartDispatchLogging();
  void StopDispatchLogging();
  void AddDispatchEntry(TDispatchType Kind, TDispatchSubType SubKind, std::uint32_t Data,
                        const void* Bytes, std::uint32_t Count);
  std::uint32_t GetDispatchTime();
  std::int32_t DumpDispatchLog(const char* FName, bool InHex, bool AllHex);
  std::int32_t AppendDispatchLog(const char* FName, bool InHex, bool AllHex);
  std::int32_t DumpDispatchLogPrim(const char* FName, bool Append, bool InHex, bool AllHex);
  static std::uint32_t ClassifyStatusTrigger(std::uint32_t Handle) { return Handle & 7; }

  // ---- Virtual device operations ----
  virtual std::int32_t EscapeComFunction(std::int32_t Func) = 0;
  virtual std::int32_t FlushCom(std::int32_t Queue) = 0;  // 0 output, 1 input
  virtual std::int32_t GetComError(TCommStat& Stat) = 0;  // line-error bits
  virtual std::int32_t GetComEventMask(std::int32_t EvtMask) = 0;
  virtual std::int32_t GetComState(TCommDcb& DCB) = 0;
  virtual std::int32_t ReadCom(std::uint8_t* Buf, std::int32_t Size) = 0;
  virtual std::int32_t SetComState(TCommDcb& DCB) = 0;
  virtual std::int32_t WriteCom(const std::uint8_t* Buf, std::int32_t Size) = 0;
  virtual bool WaitComEvent(std::uint32_t& EvtMask) = 0;
  virtual bool SetupCom(std::int32_t InSize, std::int32_t OutSize) = 0;
  virtual void DonePortPrim();
  virtual void StartDispatcher() = 0;
  virtual void StopDispatcher() = 0;
  virtual std::int32_t OutBufUsed() = 0;
  virtual std::int32_t InQueueUsed() { return 0; }
  // A handle of 0 or more, or negative with the last error set.
  virtual std::int32_t OpenCom(const char* ComName, std::uint32_t InQueue,
                               std::uint32_t OutQueue) = 0;
  virtual std::int32_t CloseCom() = 0;
  virtual std::int32_t ProcessCommunications() = 0;
  virtual void SetThreadBoost(std::uint8_t Boost);
  virtual void UpdateHandlerFlags(TApHandlerFlagUpdate Update);
  // The modem lines (kMs... bits): 0, or negative when the device cannot say.
  virtual std::int32_t GetComModemStatus(std::uint32_t& Status) = 0;

 protected:
  // The six events, each released at most once.
  void CreateEvents();
  void CloseEvents();
  // Publishes a new thread (its reference, and its handle for the final join)
  // and only then starts it.
  void StartThread(std::atomic<TThread*>& Ref, std::unique_ptr<TThread> Thread);
  // Waits until `Ref` is cleared (the thread has passed ThreadGone), at most
  // `timeoutMs`, serving what is sent to the calling thread meanwhile (a
  // thread may be sending it a notification). True when it was cleared. At
  // once for the calling thread's own reference.
  bool AwaitThread(const std::atomic<TThread*>& Ref, std::uint32_t timeoutMs = kInfinite);
  // Joins every thread of this dispatcher other than the calling one.
  void AwaitThreadsGone();
  // True when `Ref` is the calling thread.
  bool OnOwnThread(const std::atomic<TThread*>& Ref) const;
  // InputLock held: after InTail moved, the matching and the dispatch thread follow.
  void TailMoved();

 private:
  std::int32_t WaitTxSent();
  // Closes what a failed InitPort opened and returns its code.
  std::int32_t InitFailed(std::int32_t code);
  // TriggerLock held.
  void UpdateEventBusy() { EventBusy = WaitBusy || NotifyBusy > 0; }
  // InputLock held: whether the calling thread reads as a notification's handler,
  // finds the input held for one, or reads the ring itself.
  enum class ReadView { Own, Handler, Held };
  ReadView View() const;
  bool released_ = false;

  std::mutex threadsGuard_;  // the two lists below
  std::vector<TThread::Handle> threadHandles_;
  std::vector<std::pair<int, MessageWaitWake>> threadWaiters_;
  int nextWaiter_ = 0;

  // Taken last; only the wakes it calls take a lock after it (a message
  // queue's, which leads to no other).
  std::mutex inputWaitGuard_;
  std::condition_variable inputChanged_;
  std::uint64_t inputChanges_ = 0;
  std::vector<std::pair<int, MessageWaitWake>> inputWakes_;
  int nextInputWake_ = 0;
};
