// Declarations of the Windows Event Log API (wevtapi.dll, Windows Vista and later) that the
// library uses, for builds that are not Windows: the subset of the SDK's winevt.h with its
// names, values, types and prototypes. Included by windows_sim.h, after the base types.
#ifndef QUORVEL_SIM_WINEVT_SIM_H
#define QUORVEL_SIM_WINEVT_SIM_H

#ifdef __cplusplus
extern "C" {
#endif

typedef HANDLE EVT_HANDLE;
typedef HANDLE EVT_OBJECT_ARRAY_PROPERTY_HANDLE;

typedef enum _EVT_VARIANT_TYPE {
  EvtVarTypeNull = 0,
  EvtVarTypeString = 1,
  EvtVarTypeAnsiString = 2,
  EvtVarTypeSByte = 3,
  EvtVarTypeByte = 4,
  EvtVarTypeInt16 = 5,
  EvtVarTypeUInt16 = 6,
  EvtVarTypeInt32 = 7,
  EvtVarTypeUInt32 = 8,
  EvtVarTypeInt64 = 9,
  EvtVarTypeUInt64 = 10,
  EvtVarTypeSingle = 11,
  EvtVarTypeDouble = 12,
  EvtVarTypeBoolean = 13,
  EvtVarTypeBinary = 14,
  EvtVarTypeGuid = 15,
  EvtVarTypeSizeT = 16,
  EvtVarTypeFileTime = 17,
  EvtVarTypeSysTime = 18,
  EvtVarTypeSid = 19,
  EvtVarTypeHexInt32 = 20,
  EvtVarTypeHexInt64 = 21,
  EvtVarTypeEvtHandle = 32,
  EvtVarTypeEvtXml = 35
} EVT_VARIANT_TYPE;

#define EVT_VARIANT_TYPE_MASK 0x7f
#define EVT_VARIANT_TYPE_ARRAY 128

typedef struct _EVT_VARIANT {
  union {
    BOOL BooleanVal;
    INT8 SByteVal;
    INT16 Int16Val;
    INT32 Int32Val;
    INT64 Int64Val;
    UINT8 ByteVal;
    UINT16 UInt16Val;
    UINT32 UInt32Val;
    UINT64 UInt64Val;
    float SingleVal;
    double DoubleVal;
    ULONGLONG FileTimeVal;
    SYSTEMTIME* SysTimeVal;
    GUID* GuidVal;
    LPCWSTR StringVal;
    LPCSTR AnsiStringVal;
    PBYTE BinaryVal;
    PSID SidVal;
    size_t SizeTVal;
    EVT_HANDLE EvtHandleVal;
    BOOL* BooleanArr;
    INT8* SByteArr;
    INT16* Int16Arr;
    INT32* Int32Arr;
    INT64* Int64Arr;
    UINT8* ByteArr;
    UINT16* UInt16Arr;
    UINT32* UInt32Arr;
    UINT64* UInt64Arr;
    float* SingleArr;
    double* DoubleArr;
    FILETIME* FileTimeArr;
    SYSTEMTIME* SysTimeArr;
    GUID* GuidArr;
    LPWSTR* StringArr;
    LPSTR* AnsiStringArr;
    PSID* SidArr;
    size_t* SizeTArr;
    LPCWSTR XmlVal;
    LPCWSTR* XmlValArr;
  };
  DWORD Count;
  DWORD Type;
} EVT_VARIANT, *PEVT_VARIANT;

typedef enum _EVT_QUERY_FLAGS {
  EvtQueryChannelPath = 0x1,
  EvtQueryFilePath = 0x2,
  EvtQueryForwardDirection = 0x100,
  EvtQueryReverseDirection = 0x200,
  EvtQueryTolerateQueryErrors = 0x1000
} EVT_QUERY_FLAGS;

typedef enum _EVT_SEEK_FLAGS {
  EvtSeekRelativeToFirst = 1,
  EvtSeekRelativeToLast = 2,
  EvtSeekRelativeToCurrent = 3,
  EvtSeekRelativeToBookmark = 4,
  EvtSeekOriginMask = 7,
  EvtSeekStrict = 0x10000
} EVT_SEEK_FLAGS;

typedef enum _EVT_RENDER_CONTEXT_FLAGS {
  EvtRenderContextValues = 0,
  EvtRenderContextSystem = 1,
  EvtRenderContextUser = 2
} EVT_RENDER_CONTEXT_FLAGS;

typedef enum _EVT_RENDER_FLAGS {
  EvtRenderEventValues = 0,
  EvtRenderEventXml = 1,
  EvtRenderBookmark = 2
} EVT_RENDER_FLAGS;

typedef enum _EVT_SYSTEM_PROPERTY_ID {
  EvtSystemProviderName = 0,
  EvtSystemProviderGuid,
  EvtSystemEventID,
  EvtSystemQualifiers,
  EvtSystemLevel,
  EvtSystemTask,
  EvtSystemOpcode,
  EvtSystemKeywords,
  EvtSystemTimeCreated,
  EvtSystemEventRecordId,
  EvtSystemActivityID,
  EvtSystemRelatedActivityID,
  EvtSystemProcessID,
  EvtSystemThreadID,
  EvtSystemChannel,
  EvtSystemComputer,
  EvtSystemUserID,
  EvtSystemVersion,
  EvtSystemPropertyIdEND
} EVT_SYSTEM_PROPERTY_ID;

typedef enum _EVT_FORMAT_MESSAGE_FLAGS {
  EvtFormatMessageEvent = 1,
  EvtFormatMessageLevel = 2,
  EvtFormatMessageTask = 3,
  EvtFormatMessageOpcode = 4,
  EvtFormatMessageKeyword = 5,
  EvtFormatMessageChannel = 6,
  EvtFormatMessageProvider = 7,
  EvtFormatMessageId = 8,
  EvtFormatMessageXml = 9
} EVT_FORMAT_MESSAGE_FLAGS;

typedef enum _EVT_LOGIN_CLASS { EvtRpcLogin = 1 } EVT_LOGIN_CLASS;

typedef struct _EVT_RPC_LOGIN {
  LPWSTR Server;
  LPWSTR User;
  LPWSTR Domain;
  LPWSTR Password;
  DWORD Flags;
} EVT_RPC_LOGIN;

typedef enum _EVT_RPC_LOGIN_FLAGS {
  EvtRpcLoginAuthDefault = 0,
  EvtRpcLoginAuthNegotiate = 1,
  EvtRpcLoginAuthKerberos = 2,
  EvtRpcLoginAuthNTLM = 3
} EVT_RPC_LOGIN_FLAGS;

typedef enum _EVT_SUBSCRIBE_FLAGS {
  EvtSubscribeToFutureEvents = 1,
  EvtSubscribeStartAtOldestRecord = 2,
  EvtSubscribeStartAfterBookmark = 3,
  EvtSubscribeOriginMask = 0x3,
  EvtSubscribeTolerateQueryErrors = 0x1000,
  EvtSubscribeStrict = 0x10000
} EVT_SUBSCRIBE_FLAGS;

typedef enum _EVT_SUBSCRIBE_NOTIFY_ACTION {
  EvtSubscribeActionError = 0,
  EvtSubscribeActionDeliver = 1
} EVT_SUBSCRIBE_NOTIFY_ACTION;

typedef DWORD(WINAPI* EVT_SUBSCRIBE_CALLBACK)(EVT_SUBSCRIBE_NOTIFY_ACTION Action, PVOID UserContext,
                                              EVT_HANDLE Event);

WINBASEAPI EVT_HANDLE WINAPI EvtOpenSession(EVT_LOGIN_CLASS LoginClass, PVOID Login, DWORD Timeout,
                                            DWORD Flags);
WINBASEAPI EVT_HANDLE WINAPI EvtQuery(EVT_HANDLE Session, LPCWSTR Path, LPCWSTR Query, DWORD Flags);
WINBASEAPI BOOL WINAPI EvtNext(EVT_HANDLE ResultSet, DWORD EventArraySize, EVT_HANDLE* EventArray,
                               DWORD Timeout, DWORD Flags, PDWORD Returned);
WINBASEAPI BOOL WINAPI EvtSeek(EVT_HANDLE ResultSet, LONGLONG Position, EVT_HANDLE Bookmark,
                               DWORD Timeout, DWORD Flags);
WINBASEAPI BOOL WINAPI EvtClose(EVT_HANDLE Object);
WINBASEAPI EVT_HANDLE WINAPI EvtCreateRenderContext(DWORD ValuePathsCount, LPCWSTR* ValuePaths,
                                                    DWORD Flags);
WINBASEAPI BOOL WINAPI EvtRender(EVT_HANDLE Context, EVT_HANDLE Fragment, DWORD Flags,
                                 DWORD BufferSize, PVOID Buffer, PDWORD BufferUsed,
                                 PDWORD PropertyCount);
WINBASEAPI BOOL WINAPI EvtFormatMessage(EVT_HANDLE PublisherMetadata, EVT_HANDLE Event,
                                        DWORD MessageId, DWORD ValueCount, PEVT_VARIANT Values,
                                        DWORD Flags, DWORD BufferSize, LPWSTR Buffer,
                                        PDWORD BufferUsed);
WINBASEAPI EVT_HANDLE WINAPI EvtOpenPublisherMetadata(EVT_HANDLE Session, LPCWSTR PublisherIdentity,
                                                      LPCWSTR LogFilePath, LCID Locale,
                                                      DWORD Flags);
WINBASEAPI EVT_HANDLE WINAPI EvtOpenChannelEnum(EVT_HANDLE Session, DWORD Flags);
WINBASEAPI BOOL WINAPI EvtNextChannelPath(EVT_HANDLE ChannelEnum, DWORD ChannelPathBufferSize,
                                          LPWSTR ChannelPathBuffer, PDWORD ChannelPathBufferUsed);
WINBASEAPI DWORD WINAPI EvtGetExtendedStatus(DWORD BufferSize, LPWSTR Buffer, PDWORD BufferUsed);
WINBASEAPI EVT_HANDLE WINAPI EvtSubscribe(EVT_HANDLE Session, HANDLE SignalEvent,
                                          LPCWSTR ChannelPath, LPCWSTR Query, EVT_HANDLE Bookmark,
                                          PVOID Context, EVT_SUBSCRIBE_CALLBACK Callback,
                                          DWORD Flags);
WINBASEAPI EVT_HANDLE WINAPI EvtCreateBookmark(LPCWSTR BookmarkXml);
WINBASEAPI BOOL WINAPI EvtUpdateBookmark(EVT_HANDLE Bookmark, EVT_HANDLE Event);

#ifdef __cplusplus
}
#endif

#endif
