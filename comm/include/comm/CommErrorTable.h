#pragma once
// The library's error codes, one row per code: X(code, Name, Group) makes the
// leaf class E<Name> below the group class and the constant kErr<Name>.
// Rows that reuse a class defined elsewhere are in COMM_SHARED_CLASS_ROWS.

#define COMM_ERROR_ROWS(X) \
  X(-1001, BadHandle, EGeneral) \
  X(-1002, BadArgument, EGeneral) \
  X(-1003, GotQuitMsg, EGeneral) \
  X(-1004, BufferTooBig, EGeneral) \
  X(-1005, PortNotAssigned, EGeneral) \
  X(-1006, Internal, EGeneral) \
  X(-1007, ModemNotAssigned, EGeneral) \
  X(-1008, PhonebookNotAssigned, EGeneral) \
  X(-1009, CannotUseWithWinSock, EGeneral) \
  X(-2001, BadId, EOpenComm) \
  X(-2002, BaudRate, EOpenComm) \
  X(-2003, ByteSize, EOpenComm) \
  X(-2004, Default, EOpenComm) \
  X(-2005, Hardware, EOpenComm) \
  X(-2006, Memory, EOpenComm) \
  X(-2007, CommNotOpen, EOpenComm) \
  X(-2008, AlreadyOpen, EOpenComm) \
  X(-2009, NoHandles, EOpenComm) \
  X(-2010, NoTimers, EOpenComm) \
  X(-2011, NoPortSelected, EOpenComm) \
  X(-3001, NullApi, ESerialIO) \
  X(-3002, NotSupported, ESerialIO) \
  X(-3003, RegisterHandlerFailed, ESerialIO) \
  X(-3004, PutBlockFail, ESerialIO) \
  X(-3005, GetBlockFail, ESerialIO) \
  X(-3006, OutputBufferTooSmall, ESerialIO) \
  X(-3007, BufferIsEmpty, ESerialIO) \
  X(-3008, TracingNotEnabled, ESerialIO) \
  X(-3009, LoggingNotEnabled, ESerialIO) \
  X(-4001, ModemNotStarted, EModem) \
  X(-4002, ModemBusy, EModem) \
  X(-4003, ModemNotDialing, EModem) \
  X(-4004, NotDialing, EModem) \
  X(-4005, AlreadyDialing, EModem) \
  X(-4006, ModemNotResponding, EModem) \
  X(-4007, ModemRejectedCommand, EModem) \
  X(-4008, ModemStatusMismatch, EModem) \
  X(-5001, NoMoreTriggers, ETrigger) \
  X(-5002, TriggerTooLong, ETrigger) \
  X(-5003, BadTriggerHandle, ETrigger) \
  X(-7001, KeyTooLong, EINI) \
  X(-7002, DataTooLarge, EINI) \
  X(-7004, IniWrite, EINI) \
  X(-7005, IniRead, EINI) \
  X(-7007, RecordExists, EINI) \
  X(-7008, RecordNotFound, EINI) \
  X(-7010, DatabaseFull, EINI) \
  X(-7011, DatabaseEmpty, EINI) \
  X(-7013, BadFieldList, EINI) \
  X(-7014, BadFieldForIndex, EINI) \
  X(-8001, FaxBadFormat, EFax) \
  X(-8002, BadGraphicsFormat, EFax) \
  X(-8003, ConvertAbort, EFax) \
  X(-8004, UnpackAbort, EFax) \
  X(-8005, CantMakeBitmap, EFax) \
  X(-8070, FaxBadMachine, EFax) \
  X(-8071, FaxBadModemResult, EFax) \
  X(-8072, FaxTrainError, EFax) \
  X(-8073, FaxInitError, EFax) \
  X(-8074, FaxBusy, EFax) \
  X(-8075, FaxVoiceCall, EFax) \
  X(-8076, FaxDataCall, EFax) \
  X(-8077, FaxNoDialTone, EFax) \
  X(-8078, FaxNoCarrier, EFax) \
  X(-8079, FaxSessionError, EFax) \
  X(-8080, FaxPageError, EFax) \
  X(-13801, TapiAllocated, ETapi) \
  X(-13802, TapiBadDeviceID, ETapi) \
  X(-13803, TapiBearerModeUnavail, ETapi) \
  X(-13805, TapiCallUnavail, ETapi) \
  X(-13806, TapiCompletionOverrun, ETapi) \
  X(-13807, TapiConferenceFull, ETapi) \
  X(-13808, TapiDialBilling, ETapi) \
  X(-13809, TapiDialDialtone, ETapi) \
  X(-13810, TapiDialPrompt, ETapi) \
  X(-13811, TapiDialQuiet, ETapi) \
  X(-13812, TapiIncompatibleApiVersion, ETapi) \
  X(-13813, TapiIncompatibleExtVersion, ETapi) \
  X(-13814, TapiIniFileCorrupt, ETapi) \
  X(-13815, TapiInUse, ETapi) \
  X(-13816, TapiInvalAddress, ETapi) \
  X(-13817, TapiInvalAddressID, ETapi) \
  X(-13818, TapiInvalAddressMode, ETapi) \
  X(-13819, TapiInvalAddressState, ETapi) \
  X(-13820, TapiInvalAppHandle, ETapi) \
  X(-13821, TapiInvalAppName, ETapi) \
  X(-13822, TapiInvalBearerMode, ETapi) \
  X(-13823, TapiInvalCallComplMode, ETapi) \
  X(-13824, TapiInvalCallHandle, ETapi) \
  X(-13825, TapiInvalCallParams, ETapi) \
  X(-13826, TapiInvalCallPrivilege, ETapi) \
  X(-13827, TapiInvalCallSelect, ETapi) \
  X(-13828, TapiInvalCallState, ETapi) \
  X(-13829, TapiInvalCallStatelist, ETapi) \
  X(-13830, TapiInvalCard, ETapi) \
  X(-13831, TapiInvalCompletionID, ETapi) \
  X(-13832, TapiInvalConfCallHandle, ETapi) \
  X(-13833, TapiInvalConsultCallHandle, ETapi) \
  X(-13834, TapiInvalCountryCode, ETapi) \
  X(-13835, TapiInvalDeviceClass, ETapi) \
  X(-13836, TapiInvalDeviceHandle, ETapi) \
  X(-13837, TapiInvalDialParams, ETapi) \
  X(-13838, TapiInvalDigitList, ETapi) \
  X(-13839, TapiInvalDigitMode, ETapi) \
  X(-13840, TapiInvalDigits, ETapi) \
  X(-13841, TapiInvalExtVersion, ETapi) \
  X(-13842, TapiInvalGroupID, ETapi) \
  X(-13843, TapiInvalLineHandle, ETapi) \
  X(-13844, TapiInvalLineState, ETapi) \
  X(-13845, TapiInvalLocation, ETapi) \
  X(-13846, TapiInvalMediaList, ETapi) \
  X(-13847, TapiInvalMediaMode, ETapi) \
  X(-13848, TapiInvalMessageID, ETapi) \
  X(-13850, TapiInvalParam, ETapi) \
  X(-13851, TapiInvalParkID, ETapi) \
  X(-13852, TapiInvalParkMode, ETapi) \
  X(-13853, TapiInvalPointer, ETapi) \
  X(-13854, TapiInvalPrivSelect, ETapi) \
  X(-13855, TapiInvalRate, ETapi) \
  X(-13856, TapiInvalRequestMode, ETapi) \
  X(-13857, TapiInvalTerminalID, ETapi) \
  X(-13858, TapiInvalTerminalMode, ETapi) \
  X(-13859, TapiInvalTimeout, ETapi) \
  X(-13860, TapiInvalTone, ETapi) \
  X(-13861, TapiInvalToneList, ETapi) \
  X(-13862, TapiInvalToneMode, ETapi) \
  X(-13863, TapiInvalTransferMode, ETapi) \
  X(-13864, TapiLineMapperFailed, ETapi) \
  X(-13865, TapiNoConference, ETapi) \
  X(-13866, TapiNoDevice, ETapi) \
  X(-13867, TapiNoDriver, ETapi) \
  X(-13868, TapiNoMem, ETapi) \
  X(-13869, TapiNoRequest, ETapi) \
  X(-13870, TapiNotOwner, ETapi) \
  X(-13871, TapiNotRegistered, ETapi) \
  X(-13872, TapiOperationFailed, ETapi) \
  X(-13873, TapiOperationUnavail, ETapi) \
  X(-13874, TapiRateUnavail, ETapi) \
  X(-13875, TapiResourceUnavail, ETapi) \
  X(-13876, TapiRequestOverrun, ETapi) \
  X(-13877, TapiStructureTooSmall, ETapi) \
  X(-13878, TapiTargetNotFound, ETapi) \
  X(-13879, TapiTargetSelf, ETapi) \
  X(-13880, TapiUninitialized, ETapi) \
  X(-13881, TapiUserUserInfoTooBig, ETapi) \
  X(-13882, TapiReinit, ETapi) \
  X(-13883, TapiAddressBlocked, ETapi) \
  X(-13884, TapiBillingRejected, ETapi) \
  X(-13885, TapiInvalFeature, ETapi) \
  X(-13886, TapiNoMultipleInstance, ETapi) \
  X(-13928, TapiBusy, ETapi) \
  X(-13929, TapiNotSet, ETapi) \
  X(-13930, TapiNoSelect, ETapi) \
  X(-13931, TapiLoadFail, ETapi) \
  X(-13932, TapiGetAddrFail, ETapi) \
  X(-13933, Tapi16Disabled, ETapi) \

// X(code, Class): rows whose class is a group or a leaf of another group.
#define COMM_SHARED_CLASS_ROWS(X) \
  X(-6006, EProtocol) \
  X(-6008, EProtocol) \
  X(-6009, EProtocol) \
  X(-7003, EInternal) \
  X(-7006, EInternal) \
  X(-7012, EInternal)

// X(Group): the nine group classes below EVnkException.
#define COMM_ERROR_GROUPS(X) \
  X(EGeneral) X(EOpenComm) X(ESerialIO) X(EModem) X(ETrigger) X(EProtocol) X(EINI) X(EFax) X(ETapi)
