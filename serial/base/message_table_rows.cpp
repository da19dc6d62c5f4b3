#include "serial/base/message_table_rows.h"

namespace {

// Row names by runs of consecutive codes, in increasing magnitude.
constexpr MessageNameRun kRuns[] = {
    {0, 1, "_secOK"},
    {-2, -1, "_secFileNotFound _secPathNotFound _secTooManyFiles _secAccessDenied "
             "_secInvalidHandle"},
    {-8, -1, "_secOutOfMemory"},
    {-15, -1, "_secInvalidDrive"},
    {-18, -1, "_secNoMoreFiles"},
    {-100, -1, "_secDiskRead _secDiskFull _secNotAssigned _secNotOpen _secNotOpenInput "
               "_secNotOpenOutput"},
    {-150, -1, "_secWriteProtected _secUnknownUnit _secDriveNotReady _secUnknownCommand "
               "_secCrcError _secBadStructLen _secSeekError _secUnknownMedia _secSectorNotFound "
               "_secOutOfPaper _secDeviceWrite _secDeviceRead _secHardwareFailure"},
    {-1001, -1, "_secBadHandle _secBadArgument _secGotQuitMsg _secBufferTooBig _secPortNotAssigned "
                "_secInternal _secModemNotAssigned _secPhonebookNotAssigned _secCannotUseWithWinSock"},
    {-2001, -1, "_secBadId _secBaudRate _secByteSize _secDefault _secHardware _secMemory "
                "_secCommNotOpen _secAlreadyOpen _secNoHandles _secNoTimers _secNoPortSelected "
                "_secNotOpenedByTapi"},
    {-3001, -1, "_secNullApi _secNotSupported _secRegisterHandlerFailed _secPutBlockFail "
                "_secGetBlockFail _secOutputBufferTooSmall _secBufferIsEmpty _secTracingNotEnabled "
                "_secLoggingNotEnabled _secBaseAddressNotSet"},
    {-4001, -1, "_secModemNotStarted _secModemBusy _secModemNotDialing _secNotDialing "
                "_secAlreadyDialing _secModemNotResponding _secModemRejectedCommand "
                "_secModemStatusMismatch _secDeviceNotSelected _secModemDetectedBusy "
                "_secModemNoDialtone _secModemNoCarrier _secModemNoAnswer _secInitFail _secLoginFail "
                "_secMinorSrvErr _secFatalSrvErr"},
    {-4020, -1, "_secModemNotFound _secInvalidFile"},
    {4101, 1, "_spbeDeleteQuery"},
    {4200, 1, "_sdsmMsgBase _sdsmMsgReady _sdsmMsgInitialize _sdsmMsgInitializeTimeout "
              "_sdsmMsgAutoAnswerBackground _sdsmMsgAutoAnswerWait _sdsmMsgAnswerWait "
              "_sdsmMsgDialWait _sdsmMsgDialCycle _sdsmMsgNoDialtone _sdsmMsgConnectWait "
              "_sdsmMsgConnected _sdsmMsgHangup _sdsmMsgCancel"},
    {4301, 1, "_sdddCycling _sdddRetryWaiting _sdddRetryWaitOver _sdddDialing _sdddModemConnect "
              "_sdddModemConnectAt _sdddModemVoice _sdddModemError _sdddModemNoCarrier "
              "_sdddModemBusy _sdddModemNoDialTone _sdddDialTimedOut"},
    {4401, 1, "_sdpeMustEnterName _sdpeMustEnterNumber _sdpeNameExists"},
    {4500, 1, "_scsOpenPort _scsPortOpened _scsConnectDevice _scsDeviceConnected "
              "_scsAllDevicesConnected _scsAuthenticate _scsAuthNotify _scsAuthRetry "
              "_scsAuthCallback _scsAuthChangePassword _scsAuthProject _scsAuthLinkSpeed "
              "_scsAuthAck _scsReAuthenticate _scsAuthenticated _scsPrepareForCallback "
              "_scsWaitForModemReset _scsWaitForCallback _scsProjected _scsStartAuthentication "
              "_scsCallbackComplete _scsLogonNetwork _scsSubEntryConnected "
              "_scsSubEntryDisconnected"},
    {4550, 1, "_scsRasInteractive _scsRasRetryAuthentication _scsRasCallbackSetByCaller "
              "_scsRasPasswordExpired"},
    {4599, 1, "_scsRasDeviceConnected _sPDS_NONE _sPDS_OFFHOOK _sPDS_DIALING _sPDS_RINGING "
              "_sPDS_WAITFORCONNECT _sPDS_CONNECTED _sPDS_WAITINGTOREDIAL _sPDS_REDIALING "
              "_sPDS_MSGNOTSENT _sPDS_CANCELLING _sPDS_DISCONNECT _sPDS_CLEANUP"},
    {4630, 1, "_sPDE_NONE _sPDE_NODIALTONE _sPDE_LINEBUSY _sPDE_NOCONNECTION"},
    {4660, 1, "_sTAPS_NONE _sTAPS_LOGINPROMPT _sTAPS_LOGGEDIN _sTAPS_LOGINERR _sTAPS_LOGINFAIL "
              "_sTAPS_MSGOKTOSEND _sTAPS_SENDINGMSG _sTAPS_MSGACK _sTAPS_MSGNAK _sTAPS_MSGRS "
              "_sTAPS_MSGCOMPLETED _sTAPS_DONE"},
    {4700, 1, "_spsOK _spsProtocolHandshake _spsInvalidDate _spsFileRejected _spsFileRenamed "
              "_spsSkipFile _spsFileDoesntExist _spsCantWriteFile _spsTimeout _spsBlockCheckError "
              "_spsLongPacket _spsDuplicateBlock _spsProtocolError _spsCancelRequested _spsEndFile "
              "_spsResumeBad _spsSequenceError _spsAbortNoCarrier _spsGotCrcE _spsGotCrcG "
              "_spsGotCrcW _spsGotCrcQ _spsTryResume _spsHostResume _spsWaitAck _spsNoHeader "
              "_spsGotHeader _spsGotData _spsNoData"},
    {4730, 1, "_spsAbort"},
    {4801, 1, "_sfpInitModem _sfpDialing _sfpBusyWait _sfpSendPage _sfpSendPageStatus "
              "_sfpPageError _sfpPageOK _sfpConnecting"},
    {4820, 1, "_sfpWaiting _sfpNoConnect _sfpAnswer _sfpIncoming _sfpGetPage _sfpGetPageResult "
              "_sfpCheckMorePages _sfpGetHangup _sfpGotHangup"},
    {4830, 1, "_sfpSwitchModes _sfpMonitorEnabled _sfpMonitorDisabled"},
    {4840, 1, "_sfpSessionParams _sfpGotRemoteID _sfpCancel _sfpFinished"},
    {-5001, -1, "_secNoMoreTriggers _secTriggerTooLong _secBadTriggerHandle"},
    {-5501, -1, "_secStartStringEmpty _secPacketTooSmall _secNoEndCharCount _secEmptyEndString "
                "_secZeroSizePacket _secPacketTooLong"},
    {-6001, -1, "_secBadFileList _secNoSearchMask _secNoMatchingFiles _secDirNotFound "
                "_secCancelRequested _secTimeout _secProtocolError _secTooManyErrors "
                "_secSequenceError _secNoFilename _secFileRejected _secCantWriteFile _secTableFull "
                "_secAbortNoCarrier _secBadProtocolFunction _secProtocolAbort"},
    {-7001, -1, "_secKeyTooLong _secDataTooLarge _secNoFieldsDefined _secIniWrite _secIniRead "
                "_secNoIndexKey _secRecordExists _secRecordNotFound _secMustHaveIdxVal "
                "_secDatabaseFull _secDatabaseEmpty _secDatabaseNotPrepared _secBadFieldList "
                "_secBadFieldForIndex"},
    {-7500, -1, "_secNoStateMachine _secNoStartState _secNoSapiEngine"},
    {-8001, -1, "_secFaxBadFormat _secBadGraphicsFormat _secConvertAbort _secUnpackAbort "
                "_secCantMakeBitmap"},
    {-8050, -1, "_secNoImageLoaded _secNoImageBlockMarked _secFontFileNotFound _secInvalidPageNumber "
                "_secBmpTooBig _secEnhFontTooBig"},
    {-8060, -1, "_secFaxBadMachine _secFaxBadModemResult _secFaxTrainError _secFaxInitError "
                "_secFaxBusy _secFaxVoiceCall _secFaxDataCall _secFaxNoDialTone _secFaxNoCarrier "
                "_secFaxSessionError _secFaxPageError _secFaxGDIPrintError _secFaxMixedResolution "
                "_secFaxConverterInitFail _secNoAnswer _secAlreadyMonitored"},
    {-8080, -1, "_secUniAlreadyInstalled _secUniCannotGetSysDir _secUniCannotGetWinDir "
                "_secUniUnknownLayout"},
    {-8085, -1, "_secUniCannotInstallFile"},
    {-8087, -1, "_secDrvCopyError _secCannotAddPrinter _secDrvBadResources _secDrvDriverNotFound "
                "_secUniCannotGetPrinterDriverDir _secInstallDriverFailed"},
    {-8100, -1, "_secSMSBusy _secSMSTimedOut _secSMSTooLong _secSMSUnknownStatus"},
    {-8300, -1, "_secMEFailure _secServiceRes _secBadOperation _secUnsupported _secInvalidPDU "
                "_secInvalidText"},
    {-8310, -1, "_secSIMInsert _secSIMPin _secSIMPH _secSIMFailure _secSIMBusy _secSIMWrong "
                "_secSIMPUK _secSIMPIN2 _secSIMPUK2"},
    {-8320, -1, "_secMemFail _secInvalidMemIndex _secMemFull"},
    {-8330, -1, "_secSMSCAddUnknown _secNoNetwork _secNetworkTimeout"},
    {-8340, -1, "_secCNMAAck"},
    {-8500, -1, "_secUnknown"},
    {9001, 1, "_secADWSERROR _secADWSLOADERROR _secADWSVERSIONERROR _secADWSNOTINIT "
              "_secADWSINVPORT _secADWSCANTCHANGE _secADWSCANTRESOLVE"},
    {10000, 1, "_swsaBaseErr"},
    {10004, 1, "_swsaEIntr"},
    {10009, 1, "_swsaEBadF"},
    {10013, 1, "_swsaEAcces _swsaEFault"},
    {10022, 1, "_swsaEInVal"},
    {10024, 1, "_swsaEMFile"},
    {10035, 1, "_swsaEWouldBlock _swsaEInProgress _swsaEAlReady _swsaENotSock _swsaEDestAddrReq "
               "_swsaEMsgSize _swsaEPrototype _swsaENoProtoOpt _swsaEProtoNoSupport "
               "_swsaESocktNoSupport _swsaEOpNotSupp _swsaEPfNoSupport _swsaEAfNoSupport "
               "_swsaEAddrInUse _swsaEAddrNotAvail _swsaENetDown _swsaENetUnreach _swsaENetReset "
               "_swsaEConnAborted _swsaEConnReset _swsaENoBufs _swsaEIsConn _swsaENotConn "
               "_swsaEShutDown _swsaETooManyRefs _swsaETimedOut _swsaEConnRefused _swsaELoop "
               "_swsaENameTooLong _swsaEHostDown _swsaEHostUnreach _swsaENotEmpty _swsaEProcLim "
               "_swsaEUsers _swsaEDQuot _swsaEStale _swsaERemote"},
    {10091, 1, "_swsaSysNotReady _swsaVerNotSupported _swsaNotInitialised"},
    {10101, 1, "_swsaEDiscOn"},
    {11001, 1, "_swsaHost_Not_Found _swsaTry_Again _swsaNo_Recovery _swsaNo_Data"},
    {13501, 1, "_stcs_Idle _stcs_Offering _stcs_Accepted _stcs_Dialtone _stcs_Dialing "
               "_stcs_Ringback _stcs_Busy _stcs_SpecialInfo _stcs_Connected _stcs_Proceeding "
               "_stcs_OnHold _stcs_Conferenced _stcs_OnHoldPendConf _stcs_OnHoldPendTransfer "
               "_stcs_Disconnected _stcs_Unknown"},
    {13533, 1, "_stds_Other _stds_Ringing _stds_Connected _stds_Disconnected _stds_MsgWaitOn "
               "_stds_MsgWaitOff _stds_InService _stds_OutOfService _stds_Maintenance _stds_Open "
               "_stds_Close _stds_NumCalls _stds_NumCompletions _stds_Terminals _stds_RoamMode "
               "_stds_Battery _stds_Signal _stds_DevSpecific _stds_ReInit _stds_Lock "
               "_stds_CapsChange _stds_ConfigChange _stds_TranslateChange _stds_ComplCancel "
               "_stds_Removed"},
    {13565, 1, "_sTAPILineReply"},
    {13597, 1, "_sTAPIStateChange _sTAPICalledBusy _sTAPIDialFail _sTAPIRetryWait _sTAPIDeviceInUse"},
    {13650, 1, "_sTAPIDisconnect_Unspecified _sTAPIDisconnect_Normal _sTAPIDisconnect_Unknown "
               "_sTAPIDisconnect_Reject _sTAPIDisconnect_PickUp _sTAPIDisconnect_Forwarded "
               "_sTAPIDisconnect_Busy _sTAPIDisconnect_NoAnswer _sTAPIDisconnect_BadAddress "
               "_sTAPIDisconnect_Unreachable _sTAPIDisconnect_Congestion "
               "_sTAPIDisconnect_Incompatible _sTAPIDisconnect_Unavail _sTAPIDisconnect_NoDialtone "
               "_sTAPIDisconnect_NumberChanged _sTAPIDisconnect_OutOfOrder "
               "_sTAPIDisconnect_TempFailure _sTAPIDisconnect_QOSUnavail _sTAPIDisconnect_Blocked "
               "_sTAPIDisconnect_DoNotDisturb _sTAPIDisconnect_Cancelled"},
    {-13801, -1, "_secAllocated _secBadDeviceID _secBearerModeUnavail"},
    {-13805, -1, "_secCallUnavail _secCompletionOverrun _secConferenceFull _secDialBilling "
                 "_secDialDialtone _secDialPrompt _secDialQuiet _secIncompatibleApiVersion "
                 "_secIncompatibleExtVersion _secIniFileCorrupt _secInUse _secInvalAddress "
                 "_secInvalAddressID _secInvalAddressMode _secInvalAddressState _secInvalAppHandle "
                 "_secInvalAppName _secInvalBearerMode _secInvalCallComplMode _secInvalCallHandle "
                 "_secInvalCallParams _secInvalCallPrivilege _secInvalCallSelect _secInvalCallState "
                 "_secInvalCallStatelist _secInvalCard _secInvalCompletionID _secInvalConfCallHandle "
                 "_secInvalConsultCallHandle _secInvalCountryCode _secInvalDeviceClass "
                 "_secInvalDeviceHandle _secInvalDialParams _secInvalDigitList _secInvalDigitMode "
                 "_secInvalDigits _secInvalExtVersion _secInvalGroupID _secInvalLineHandle "
                 "_secInvalLineState _secInvalLocation _secInvalMediaList _secInvalMediaMode "
                 "_secInvalMessageID"},
    {-13850, -1, "_secInvalParam _secInvalParkID _secInvalParkMode _secInvalPointer "
                 "_secInvalPrivSelect _secInvalRate _secInvalRequestMode _secInvalTerminalID "
                 "_secInvalTerminalMode _secInvalTimeout _secInvalTone _secInvalToneList "
                 "_secInvalToneMode _secInvalTransferMode _secLineMapperFailed _secNoConference "
                 "_secNoDevice _secNoDriver _secNoMem _secNoRequest _secNotOwner _secNotRegistered "
                 "_secOperationFailed _secOperationUnavail _secRateUnavail _secResourceUnavail "
                 "_secRequestOverrun _secStructureTooSmall _secTargetNotFound _secTargetSelf "
                 "_secUninitialized _secUserUserInfoTooBig _secReinit _secAddressBlocked "
                 "_secBillingRejected _secInvalFeature _secNoMultipleInstance"},
    {-13928, -1, "_secTapiBusy _secTapiNotSet _secTapiNoSelect _secTapiLoadFail _secTapiGetAddrFail"},
    {13933, 1, "_sTAPIdisabled16bit"},
    {-13934, -1, "_secTapiUnexpected _secTapiVoiceNotSupported _secTapiWaveFail _secTapiCIDBlocked "
                 "_secTapiCIDOutOfArea _secTapiWaveFormatError _secTapiWaveReadError "
                 "_secTapiWaveBadFormat _secTapiTranslateFail _secTapiWaveDeviceInUse "
                 "_secTapiWaveFileExists _secTapiWaveNoData"},
    {-13950, -1, "_secVoIPNotSupported _secVoIPCallBusy _secVoIPBadAddress _secVoIPNoAnswer "
                 "_secVoIPCancelled _secVoIPRejected _secVoIPFailed _secVoIPTapi3NotInstalled "
                 "_secVoIPH323NotFound _secVoIPTapi3EventFailure"},
    {-13980, -1, "_secRasLoadFail"},
    {15501, 1, "_sdispHeader _sdispHeaderLine"},
    {15601, 1, "_sdispmdmtagDCTS _sdispmdmtagDDSR _sdispmdmtagTERI _sdispmdmtagDDCD _sdispmdmtagCTS "
               "_sdispmdmtagDSR _sdispmdmtagRI _sdispmdmtagDCD"},
    {15700, 1, "_sdispTelnetBinary _sdispTelnetEcho _sdispTelnetReconnection "
               "_sdispTelnetSupressGoAhead _sdispTelnetApproxMsgSize _sdispTelnetStatus "
               "_sdispTelnetTimingMark _sdispTelnetRemoteTransEcho _sdispTelnetOutputLineWidth "
               "_sdispTelnetOutputPageSize _sdispTelnetOutputCRDisp _sdispTelnetOutputHorzTabs "
               "_sdispTelnetOutputHorzTabDisp _sdispTelnetOutputFFDisp _sdispTelnetOutputVertTabs "
               "_sdispTelnetOutputVertTabDisp _sdispTelnetOutputLinefeedDisp "
               "_sdispTelnetExtendedASCII _sdispTelnetLogout _sdispTelnetByteMacro "
               "_sdispTelnetDataEntryTerminal _sdispTelnetSUPDUP _sdispTelnetSUPDUPOutput "
               "_sdispTelnetSendLocation _sdispTelnetTerminalType _sdispTelnetEndofRecord "
               "_sdispTelnetTACACSUserID _sdispTelnetOutputMarking _sdispTelnetTerminalLocNum "
               "_sdispTelnetTelnet3270Regime _sdispTelnetX3PAD _sdispTelnetNegWindowSize "
               "_sdispTelnetTerminalSpeed _sdispTelnetFlowControl _sdispTelnetLineMode "
               "_sdispTelnetXDisplayLocation _sdispTelnetEnvironment _sdispTelnetAuthentication "
               "_sdispTelnetTelnetcode38 _sdispTelnetNewEnvironment _sdispTelnetTelnetcode40 "
               "_sdispTelnetTelnetcode41 _sdispTelnetCharacterSet"},
};

// Texts that are fixed word for word. Rows not listed here take the words of
// their name (row_text.h).
constexpr MessageFixedText kTexts[] = {
    {0, "OK"},
    {-2, "File not found"},
    {-3, "Path not found"},
    {-4, "Too many open files"},
    {-5, "File access denied"},
    {-6, "Invalid file handle"},
    {-8, "Insufficient memory"},
    {-15, "Invalid drive"},
    {-18, "No more files"},
    {-100, "Attempt to read beyond end of file"},
    {-101, "Disk is full"},
    {-102, "File/device not assigned"},
    {-103, "File/device not open"},
    {-104, "File/device not open for input"},
    {-105, "File/device not open for output"},
    {-150, "Disk is write-protected"},
    {-151, "Unknown disk unit"},
    {-152, "Drive is not ready"},
    {-153, "Unknown command"},
    {-154, "Data error"},
    {-155, "Bad request structure length"},
    {-156, "Seek error"},
    {-157, "Unknown media type"},
    {-158, "Disk sector not found"},
    {-159, "Printer is out of paper"},
    {-160, "Device write error"},
    {-161, "Device read error"},
    {-162, "General failure"},
    {-1001, "Bad handle passed to com function"},
    {-1002, "Bad argument passed to function"},
    {-1003, "Got quit message"},
    {-1004, "Terminal buffer greater than 65521"},
    {-1005, "ComPort component not assigned"},
    {-1006, "Internal error creating window class"},
    {-1007, "Modem component not assigned"},
    {-1008, "Phonebook component not assigned"},
    {-1009, "Component not compatible with WinSock"},
    {-2001, "ie_BadId - Specified comport doesn't exist"},
    {-2002, "ie_Baudrate - unsupported baud rate"},
    {-2003, "ie_Bytesize - invalid byte size"},
    {-2004, "ie_Default - error in default parameters"},
    {-2005, "ie_Hardware - Specified comport in use"},
    {-2006, "ie_Memory - unable to allocate queues"},
    {-2007, "ie_NOpen - device not open"},
    {-2008, "ie_Open - device already open"},
    {-2009, "No more handles, can't open port"},
    {-2010, "No timers available"},
    {-2011, "The ComNumber property of the TDevaComPort has not been set"},
    {-2012, "Comport was not opened by Tapi"},
    {-3001, "No device layer specified"},
    {-3002, "Function not supported by driver"},
    {-3003, "EnableCommNotification failed"},
    {-3004, "Failed to put entire block"},
    {-3005, "Failed to get entire block"},
    {-3006, "Output buffer too small for block"},
    {-3007, "Buffer is empty"},
    {-3008, "Tracing not enabled"},
    {-3009, "Logging not enabled"},
    {-3010, "Base address not set"},
    {-5001, "No more trigger slots"},
    {-5002, "Data trigger too long"},
    {-5003, "Bad trigger handle"},
    {-13868, "No memory"},
    // Rows that carry no text.
    {4200, ""}, {4600, ""}, {4630, ""}, {4660, ""}, {4725, ""}, {4726, ""},
    {4727, ""}, {4728, ""}, {4730, ""}, {10000, ""},
    // Rows whose name does not read well as words.
    {4601, "Off hook"}, {4602, "Dialing"}, {4603, "Ringing"}, {4604, "Waiting for connect"},
    {4605, "Connected"}, {4606, "Waiting to redial"}, {4607, "Redialing"},
    {4608, "Message not sent"}, {4609, "Cancelling"}, {4610, "Disconnect"}, {4611, "Cleanup"},
    {4631, "No dial tone"}, {4632, "Line busy"}, {4633, "No connection"},
    {4661, "Login prompt"}, {4662, "Logged in"}, {4663, "Login error"}, {4664, "Login failed"},
    {4665, "Message OK to send"}, {4666, "Sending message"}, {4667, "Message acknowledged"},
    {4668, "Message not acknowledged"}, {4669, "Message resend requested"},
    {4670, "Message completed"}, {4671, "Done"},
    {4706, "File doesn't exist"}, {4707, "Can't write file"}, {-6012, "Can't write file"},
    {-8005, "Can't make bitmap"}, {-8311, "SIM PIN"}, {-8312, "SIM PH"}, {-8316, "SIM PUK"},
    {-8317, "SIM PIN2"}, {-8318, "SIM PUK2"},
    {9001, "Error"}, {9002, "Winsock could not be loaded"}, {9003, "Winsock version not supported"},
    {9004, "Winsock not initialized"}, {9005, "Invalid port"},
    {9006, "Cannot change while connected"}, {9007, "Cannot resolve address"},
    {10004, "Interrupted system call"}, {10009, "Bad file number"}, {10013, "Permission denied"},
    {10014, "Bad address"}, {10022, "Invalid argument"}, {10024, "Too many open files"},
    {10035, "Operation would block"}, {10036, "Operation now in progress"},
    {10037, "Operation already in progress"}, {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"}, {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"}, {10042, "Protocol not available"},
    {10043, "Protocol not supported"}, {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"}, {10046, "Protocol family not supported"},
    {10047, "Address family not supported"}, {10048, "Address already in use"},
    {10049, "Can't assign requested address"}, {10050, "Network is down"},
    {10051, "Network is unreachable"}, {10052, "Network dropped connection on reset"},
    {10053, "Software caused connection abort"}, {10054, "Connection reset by peer"},
    {10055, "No buffer space available"}, {10056, "Socket is already connected"},
    {10057, "Socket is not connected"}, {10058, "Can't send after socket shutdown"},
    {10059, "Too many references"}, {10060, "Connection timed out"},
    {10061, "Connection refused"}, {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"}, {10064, "Host is down"}, {10065, "No route to host"},
    {10066, "Directory not empty"}, {10067, "Too many processes"}, {10068, "Too many users"},
    {10069, "Disk quota exceeded"}, {10070, "Stale file handle"},
    {10071, "Too many levels of remote in path"}, {10091, "Network subsystem is unavailable"},
    {10092, "Winsock version not supported"}, {10093, "Winsock not initialized"},
    {10101, "Graceful shutdown in progress"}, {11001, "Host not found"},
    {11002, "Host not found, try again"}, {11003, "Non-recoverable error"},
    {11004, "No data record of requested type"},
    {13933, "TAPI disabled for 16-bit applications"},
    // Dispatch-log header, modem-status tags and Telnet option names.
    {15501, "Time      Type      SubType       Data      OtherData"},
    {15502, "--------  --------  ------------  --------  ---------"},
    {15601, "DCTS "},
    {15602, "DDSR "},
    {15603, "TERI "},
    {15604, "DDCD "},
    {15605, "CTS "},
    {15606, "DSR "},
    {15607, "RI "},
    {15608, "DCD "},
    {15700, "Binary"},
    {15701, "Echo"},
    {15702, "Reconnection"},
    {15703, "Supress Go Ahead"},
    {15704, "Approx Msg Size"},
    {15705, "Status"},
    {15706, "Timing Mark"},
    {15707, "Remote Trans & Echo"},
    {15708, "Output Line Width"},
    {15709, "Output Page Size"},
    {15710, "Output C/R Disp"},
    {15711, "Output Horz Tabs"},
    {15712, "Output Horz Tab Disp"},
    {15713, "Output FF Disp"},
    {15714, "Output Vert Tabs"},
    {15715, "Output Vert Tab Disp"},
    {15716, "Output Linefeed Disp"},
    {15717, "Extended ASCII"},
    {15718, "Logout"},
    {15719, "Byte Macro"},
    {15720, "Data Entry Terminal"},
    {15721, "SUPDUP"},
    {15722, "SUPDUP Output"},
    {15723, "Send Location"},
    {15724, "Terminal Type"},
    {15725, "End of Record"},
    {15726, "TACACS User ID"},
    {15727, "Output Marking"},
    {15728, "Terminal Loc Num"},
    {15729, "Telnet3270 Regime"},
    {15730, "X.3 PAD"},
    {15731, "Neg Window Size"},
    {15732, "Terminal Speed"},
    {15733, "Flow Control"},
    {15734, "LineMode"},
    {15735, "X Display Location"},
    {15736, "Environment"},
    {15737, "Authentication"},
    {15738, "Telnet code 38"},
    {15739, "New Environment"},
    {15740, "Telnet code 40"},
    {15741, "Telnet code 41"},
    {15742, "Character Set"},
};

}  // namespace

std::span<const MessageNameRun> MessageNameRuns() { return kRuns; }
std::span<const MessageFixedText> MessageFixedTexts() { return kTexts; }
