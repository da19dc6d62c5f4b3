#pragma once
// The port component: the object through which a program uses one serial port.
// It keeps every setting as a property with a default (settings written while
// the port is closed are stored and applied by the next open), owns one
// dispatcher while the port is open, and a hidden notification window through
// which the dispatcher's threads reach its events on the window's thread.
//
// Threads. A port may be opened on one thread and then used, closed and opened
// again on another (the server's modem worker, which never serves window
// messages). The port state, Open and the dispatcher are safe to read from any
// thread. Every operation that reaches the dispatcher counts as a use of it
// while it runs; a close frees the dispatcher only once no use, dispatcher
// thread or notification is left. Otherwise the port stays psShuttingDown, its
// threads already stopped, and the close is completed by whichever comes
// first: the port window's next message (the end of the last use posts one),
// the next operation on the port, or the destructor. So a close completes also
// where nobody serves the window's messages.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/comm_device.h"
#include "platform/message_window.h"
#include "serial/base/component.h"
#include "serial/dispatch/base_dispatcher.h"
#include "serial/dispatch/trigger_records.h"
#include "serial/port/com_port_types.h"

// Supplies the dispatcher of an open in place of the device layer.
using TActivationProcedure = std::function<std::unique_ptr<TDevaBaseDispatcher>(TDevaCustomComPort& Port)>;

class TDevaCustomComPort : public TDevaBaseComponent {
 public:
  explicit TDevaCustomComPort(TComponent* Owner);
  // Closes an open port and finishes a close left unfinished: nothing reaches
  // the component afterwards.
  ~TDevaCustomComPort() override;

  void Loaded() override;
  // Copies the settings (not the state) of another port; an open target is
  // closed first. Anything other than a port component is ignored.
  virtual void Assign(const TComponent& Source);

  // ---- Properties ----
  TDeviceLayer DeviceLayer() const { return DeviceLayer_; }
  void SetDeviceLayer(TDeviceLayer Value);
  std::uint16_t ComNumber() const { return ComNumber_; }
  void SetComNumber(std::uint16_t Value);
  std::int32_t Baud() const { return Baud_; }
  void SetBaud(std::int32_t Value);
  TParity Parity() const { return Parity_; }
  void SetParity(TParity Value);
  std::uint16_t DataBits() const { return DataBits_; }
  void SetDatabits(std::uint16_t Value);
  std::uint16_t StopBits() const { return StopBits_; }
  void SetStopbits(std::uint16_t Value);
  std::uint16_t InSize() const { return InSize_; }
  void SetInSize(std::uint16_t Value);
  std::uint16_t OutSize() const { return OutSize_; }
  void SetOutSize(std::uint16_t Value);
  // True from the end of a successful open until its close has completed.
  bool Open() const { return Open_; }
  void SetOpen(bool Value);
  bool DTR() const { return DTR_; }
  void SetDTR(bool Value);
  bool RTS() const { return RTS_; }
  void SetRTS(bool Value);
  THWFlowOptionSet HWFlowOptions() const { return HWFlowOptions_; }
  void SetHWFlowOptions(THWFlowOptionSet Value);
  TSWFlowOptions SWFlowOptions() const { return SWFlowOptions_; }
  void SetSWFlowOptions(TSWFlowOptions Value);
  char XOnChar() const { return XOnChar_; }
  void SetXonChar(char Value);
  char XOffChar() const { return XOffChar_; }
  void SetXoffChar(char Value);
  std::uint16_t BufferFull() const { return BufferFull_; }
  void SetBufferFull(std::uint16_t Value);
  std::uint16_t BufferResume() const { return BufferResume_; }
  void SetBufferResume(std::uint16_t Value);
  TTraceLogState Tracing() const { return Tracing_; }
  void SetTracing(TTraceLogState Value);
  std::uint32_t TraceSize() const { return TraceSize_; }
  void SetTraceSize(std::uint32_t Value);
  TTraceLogState Logging() const { return Logging_; }
  void SetLogging(TTraceLogState Value);
  std::uint32_t LogSize() const { return LogSize_; }
  void SetLogSize(std::uint32_t Value);
  bool UseMSRShadow() const { return UseMSRShadow_; }
  virtual void SetUseMSRShadow(bool Value);
  bool UseEventWord() const { return UseEventWord_; }
  void SetUseEventWord(bool Value);
  std::uint16_t CommNotificationLevel() const { return CommNotificationLevel_; }
  void SetCommNotificationLevel(std::uint16_t Value);
  bool RS485Mode() const { return RS485Mode_; }
  void SetRS485Mode(bool Value);
  TApThreadBoost ThreadBoost() const { return ThreadBoost_; }
  void SetThreadBoost(TApThreadBoost Value);
  std::uint16_t TriggerLength() const { return TriggerLength_; }
  void SetTriggerLength(std::uint16_t Value);
  std::uint16_t BaseAddress() { return GetBaseAddress(); }
  void SetBaseAddress(std::uint16_t Value);

  // Plain stored values.
  bool PromptForPort = true;
  bool AutoOpen = true;
  TTapiMode TapiMode = tmAuto;
  std::string TraceName = "DEVA.TRC";
  bool TraceHex = true;
  bool TraceAllHex = false;
  std::string LogName = "DEVA.LOG";
  bool LogHex = true;
  bool LogAllHex = false;
  TNotifyEvent OnPortOpen;
  TNotifyEvent OnPortClose;

  // The events the notification window delivers; setting one tells the
  // dispatcher whether the port needs its notifications.
  void SetOnTrigger(TTriggerEvent Value);
  void SetOnTriggerAvail(TTriggerAvailEvent Value);
  void SetOnTriggerData(TTriggerDataEvent Value);
  void SetOnTriggerStatus(TTriggerStatusEvent Value);
  void SetOnTriggerTimer(TTriggerTimerEvent Value);
  void SetOnTriggerLineError(TTriggerLineErrorEvent Value);
  void SetOnTriggerModemStatus(TNotifyEvent Value);
  void SetOnTriggerOutbuffFree(TNotifyEvent Value);
  void SetOnTriggerOutbuffUsed(TNotifyEvent Value);
  void SetOnTriggerOutSent(TNotifyEvent Value);
  // Each character a wait takes, as received.
  TWaitCharEvent OnWaitChar;

  // Unpublished settings.
  TActivationProcedure ActivationProcedure;
  TDeviceLayers AllowedDeviceLayers{dlWin32};
  // The device a TAPI open takes over (none: the open fails with -2012).
  void SetTapiDevice(std::unique_ptr<CommDevice> Device) { TapiDevice_ = std::move(Device); }

  // ---- Read-only values ----
  TPortState PortState() const { return PortState_; }
  bool GetDSR();
  bool GetCTS();
  bool GetRI();
  bool GetDCD();
  bool GetDeltaDSR();
  bool GetDeltaCTS();
  bool GetDeltaRI();
  bool GetDeltaDCD();
  std::int32_t GetLineError();
  bool GetLineBreak();
  std::uint32_t GetInBuffUsed();
  std::uint32_t GetInBuffFree();
  std::uint32_t GetOutBuffUsed();
  std::uint32_t GetOutBuffFree();
  std::uint16_t GetBaseAddress();
  std::uint8_t GetModemStatus();
  TFlowControlState GetFlowState();
  WindowHandle NotificationWindow() const { return Window_; }

  // The dispatcher; a port that is not open and may open on use (AutoOpen) is
  // opened first. None when the port stays closed.
  TDevaBaseDispatcher* GetDispatcher();
  // As GetDispatcher, raising ECommNotOpen (-2007) when there is none.
  TDevaBaseDispatcher& ValidDispatcher();

  // ---- Open and close ----
  virtual void InitPort();
  virtual std::int32_t InitializePort();
  virtual std::unique_ptr<TDevaBaseDispatcher> ActivateDeviceLayer();
  virtual void DeviceLayerChanged() {}
  virtual void ValidateComport();
  virtual void RegisterComPort(bool Enabling);
  virtual void DonePort();
  virtual void PortOpen();
  virtual void PortClosing();
  virtual void PortClose();
  virtual void UpdateHandlerFlag();

  // ---- Event dispatch, called by the notification window ----
  virtual void Trigger(std::uint16_t Msg, std::uint16_t TriggerHandle, std::uint16_t Data);
  virtual void TriggerAvail(std::uint16_t Count);
  virtual void TriggerData(std::uint16_t TriggerHandle);
  virtual void TriggerStatus(std::uint16_t TriggerHandle);
  virtual void TriggerTimer(std::uint16_t TriggerHandle);
  virtual void TriggerLineError(std::uint16_t Error, bool LineBreak);
  virtual void TriggerModemStatus();
  virtual void TriggerOutbuffFree();
  virtual void TriggerOutbuffUsed();
  virtual void TriggerOutSent();
  virtual void WaitChar(char C);

  // ---- Input and output ----
  // All of S is queued, or nothing and EOutputBufferTooSmall (-3006) when it
  // does not fit the free part of the output ring.
  void PutString(std::string_view S);
  std::int32_t PutBlock(std::span<const char> Block);
  void PutChar(char C);
  bool CharReady();
  // EBufferIsEmpty (-3007) when nothing is buffered.
  char GetChar();
  // The unread byte at 1-based position Count.
  char PeekChar(std::uint16_t Count);
  void GetBlock(std::span<char> Block);
  void PeekBlock(std::span<char> Block);
  void FlushInBuffer();
  void FlushOutBuffer();
  // Lets the port's threads run: returns once a byte can be read, or after a tick.
  void ProcessCommunications();
  void SendBreak(std::uint16_t Ticks, bool Yield);
  void SetBreak(bool BreakOn);
  std::int32_t GetLastWinError();
  void ForcePortOpen();

  // ---- Waits ----
  // Takes the input until S was seen (True) or Timeout ticks passed. Bytes
  // after the match stay unread. False when the port closes or the program
  // ends first. With Yield the calling thread's messages are served meanwhile.
  bool WaitForString(std::string_view S, std::int32_t Timeout, bool Yield, bool IgnoreCase);
  // As WaitForString for any of the texts of S between SepChar: the 1-based
  // number of the one seen first, or 0.
  std::int32_t WaitForMultiString(std::string_view S, std::int32_t Timeout, bool Yield, bool IgnoreCase,
                                  char SepChar);
  // Takes the input one character at a time through Step, which answers the
  // number of the text that character completes, or 0; returns that number, or
  // 0 when Timeout ticks passed, the port closed (or hung up) or the program
  // ended first. End says which of these ended the wait.
  using WaitStep = std::function<std::int32_t(char C)>;
  std::int32_t WaitForInput(const WaitStep& Step, std::int32_t Timeout, bool Yield, TWaitEnd& End);
  // One character of a match kept by the caller (Index 0 at the start).
  bool CheckForString(std::size_t& Index, char C, std::string_view S, bool IgnoreCase);
  // Holds the dispatch thread's triggers off until the next wait has ended.
  void PrepareWait();

  // ---- Triggers ----
  std::int32_t AddDataTrigger(std::string_view Data, bool IgnoreCase);
  std::int32_t AddTimerTrigger();
  std::int32_t AddStatusTrigger(std::uint16_t SType);
  void SetTimerTrigger(std::int32_t Handle, std::int32_t Ticks, bool Activate);
  void SetStatusTrigger(std::int32_t Handle, std::uint16_t Value, bool Activate);
  void RemoveTrigger(std::int32_t Handle);
  void RemoveAllTriggers();

  // ---- Line trace and dispatch log ----
  void InitTracing(std::uint32_t Size);
  void DumpTrace(std::string_view FName, bool InHex);
  void AppendTrace(std::string_view FName, bool InHex, TTraceLogState NewState);
  void ClearTracing();
  void AbortTracing();
  void StartTracing();
  void StopTracing();
  void AddTraceEntry(char CurEntry, char CurCh);
  void InitLogging(std::uint32_t Size);
  void DumpLog(std::string_view FName, bool InHex);
  void AppendLog(std::string_view FName, bool InHex, TTraceLogState NewState);
  void ClearLogging();
  void AbortLogging();
  void StartLogging();
  void StopLogging();
  void AddStringToLog(std::string_view S);

  // ---- Users, told when the port opens and closes ----
  void RegisterUser(WindowHandle H);
  void RegisterUserEx(WindowHandle H);
  void RegisterUserCallback(TPortCallback CB);
  void RegisterUserCallbackEx(TPortCallbackEx CB);
  void DeregisterUser(WindowHandle H);
  void DeregisterUserCallback(TPortCallback CB);
  void DeregisterUserCallbackEx(TPortCallbackEx CB);

 private:
  friend std::intptr_t ComWindowProc(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t);
  friend class PortUse;

  // The shutting-down guard of the operations: true while the port closes.
  // A close that can be finished now is finished first.
  bool ShuttingDown();
  // Runs `op` on the dispatcher as one use, or returns `neutral` while the
  // port closes; the dispatcher may open the port first (AutoOpen).
  template <typename R, typename Op>
  R Use(R neutral, Op op);
  // Runs `op` on the dispatcher as one use while the port is open (it never
  // opens it); false when it did not run.
  template <typename Op>
  bool WhileOpen(Op op);
  // The dispatcher's value while the port is open (it never opens it), else `Closed`.
  template <typename R>
  R WhileOpenOr(R Closed, R (TDevaBaseDispatcher::*Get)());
  // A negative result raises its exception; the result otherwise.
  std::int32_t Check(std::int32_t Code) const;

  void ApplyLine();
  // Runs `Apply` with the force flag set, and gives the flag back as it was.
  void Forced(const std::function<void()>& Apply);
  void ReapplyFlow();
  void ReapplySettings();
  struct TraceLogOps;
  static const TraceLogOps& TraceOps();
  static const TraceLogOps& LogOps();
  void SetTraceLog(const TraceLogOps& Ops, TTraceLogState Value);
  void SetTraceLogSize(const TraceLogOps& Ops, std::uint32_t Value);
  // Undoes an open that failed once the dispatcher existed.
  void UndoOpen(bool WindowRegistered);

  // Completes a close left unfinished once nothing holds its dispatcher: no
  // use (of the calling thread at most `OwnUses`, none of which touches the
  // dispatcher again), thread or notification. True when no close is left
  // unfinished afterwards.
  bool FinishClose(int OwnUses);
  static constexpr int kAnyOwnUses = 1 << 30;
  // Runs an open asked for while the port closed, once it is closed.
  void ServeOpenRequest();
  template <typename Done>
  void AwaitPrim(Done done);
  // Blocks until the close left unfinished is completed.
  void AwaitCompletion(int OwnUses);
  // Blocks until no close is left unfinished and no thread uses the port.
  void AwaitQuiet();
  // Threads of the dispatcher still run, or a notification is delivered.
  static bool DispatcherBusy(TDevaBaseDispatcher& d);
  // The lParam of the completion message of a close of this dispatcher.
  static std::intptr_t CompletionParam(const TDevaBaseDispatcher& d);
  // The close is left to its completion; those awaiting it are told.
  void LeaveToCompletion();

  // WaitForInput's wait. No Step: nothing to await, 1 at once.
  std::int32_t WaitFor(const WaitStep& Step, std::int32_t Timeout, bool Yield, TWaitEnd* End = nullptr);

  void NotifyUsers(TDevaCallbackType Type);

  // ---- Fields ----
  bool Force_ = false;
  std::atomic<TPortState> PortState_{psClosed};
  std::atomic<bool> OpenRequest_{false};
  bool OpenOnLoad_ = false;
  std::vector<TUserListEntry> UserList_;
  bool TriggersSaved_ = false;
  TTriggerSave SavedTriggers_;
  // PrepareWait's: the next wait lowers the busy flag unless it was raised before.
  std::atomic<bool> WaitPrepared{false};
  std::atomic<bool> BusyBeforePrepare{false};
  std::atomic<WindowHandle> Window_{0};
  TDeviceLayer DeviceLayer_ = dlWin32;
  std::atomic<TDevaBaseDispatcher*> Dispatcher_{nullptr};  // owned
  std::uint16_t ComNumber_ = 0;
  std::int32_t Baud_ = 19200;
  TParity Parity_ = pNone;
  std::uint16_t DataBits_ = 8;
  std::uint16_t StopBits_ = 1;
  std::uint16_t InSize_ = 4096;
  std::uint16_t OutSize_ = 4096;
  std::atomic<bool> Open_{false};
  std::uint16_t CommNotificationLevel_ = 10;
  std::unique_ptr<CommDevice> TapiDevice_;
  bool RS485Mode_ = false;
  TApThreadBoost ThreadBoost_ = tbNone;
  bool DTR_ = true;
  bool RTS_ = true;
  std::uint16_t BufferFull_ = 0;
  std::uint16_t BufferResume_ = 0;
  THWFlowOptionSet HWFlowOptions_;
  TSWFlowOptions SWFlowOptions_ = swfNone;
  char XOnChar_ = 17;
  char XOffChar_ = 19;
  TTraceLogState Tracing_ = tlOff;
  std::uint32_t TraceSize_ = 10000;
  TTraceLogState Logging_ = tlOff;
  std::uint32_t LogSize_ = 10000;
  bool UseMSRShadow_ = true;
  bool UseEventWord_ = true;
  std::uint16_t TriggerLength_ = 1;
  TTriggerEvent OnTrigger_;
  TTriggerAvailEvent OnTriggerAvail_;
  TTriggerDataEvent OnTriggerData_;
  TTriggerStatusEvent OnTriggerStatus_;
  TTriggerTimerEvent OnTriggerTimer_;
  TTriggerLineErrorEvent OnTriggerLineError_;
  TNotifyEvent OnTriggerModemStatus_;
  TNotifyEvent OnTriggerOutbuffFree_;
  TNotifyEvent OnTriggerOutbuffUsed_;
  TNotifyEvent OnTriggerOutSent_;

  // The close: claimed by one thread at a time; left unfinished (Deferred_)
  // while the dispatcher is still used.
  std::atomic<bool> Closing_{false};
  std::atomic<bool> Deferred_{false};
  // The uses of the dispatcher, by thread, and the wakes of those waiting for
  // a close to complete. Finishing_ refuses new uses while the dispatcher is freed.
  std::mutex UseLock_;
  std::vector<std::thread::id> Users_;
  std::vector<std::pair<int, MessageWaitWake>> CloseWaiters_;
  int NextCloseWaiter_ = 0;
  bool Finishing_ = false;
};

// The class that programs create; it adds nothing.
class TDevaComPort : public TDevaCustomComPort {
 public:
  using TDevaCustomComPort::TDevaCustomComPort;
};

// The first port component in the tree under C, each component tested before
// its own components; none when there is none (or no C).
TDevaCustomComPort* SearchComPort(const TComponent* C);

// "COM" and the number: ComName(3) is "COM3".
std::string ComName(std::uint16_t ComNumber);
