/*
 * HostAbi.h: every record and function table that crosses the boundary
 * between the host process and the kyn-highlights plugin module.
 *
 * This header is the contract for host writers. It is plain C (it compiles as
 * C11 and as C++), uses only <stdint.h>, <stddef.h> and <stdbool.h> types, and
 * says for every record who fills it, who owns each pointer and until when,
 * and who calls which release function.
 *
 * Life of the module: the host calls the one export, load_kyn_highlights, with
 * a PluginLoadBlock and learns the plugin's callbacks and API description from
 * it; calls PluginCallbacks.initialize with a HostLink; then invokes the
 * FunctionDescriptor entries, delivers events to the callbacks the plugin
 * subscribed, and answers the plugin's calls of the HostApi table; finally it
 * calls PluginCallbacks.shutdown, after which nothing of the plugin is called.
 *
 * Ownership: whoever fills a record allocates its texts and arrays and stores
 * the function that releases them in the record; the other side calls that
 * function exactly once and never frees those parts in any other way. Records
 * handed to a call (requests, events) stay owned by the caller and are valid
 * only during the call; the callee copies what it keeps. Texts are UTF-8 and
 * zero-terminated unless a length is given with them.
 *
 * Threads: the plugin starts no threads. It runs only inside the calls the host
 * makes into it and calls the host only from inside them. Each function slot's
 * comment ends with one of these tags:
 *   [host-thread]  the host calls it on a thread of its choosing, and never
 *                  while another function of the plugin runs on another thread.
 *   [any-thread]   it may be called on any thread, also while other calls run
 *                  on other threads; the callee guards its own state.
 *
 * Layout rule: pointer fields are real pointers (4 bytes on a 32-bit build,
 * 8 on a 64-bit one); every other field has a fixed width, little-endian.
 * Records marked [packed] are declared under pack(1), all others under
 * pack(4). After each record, static assertions prove its size and the offset
 * of each field for both pointer widths. A field of a packed record may sit at
 * any byte address: read and assign it by value, never take its address or
 * bind a reference to it.
 */
#ifndef KYN_HOST_ABI_H
#define KYN_HOST_ABI_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

/* ---- Macros ------------------------------------------------------------ */

/* The calling convention of every function that crosses the boundary. */
#if defined(_WIN32) && !defined(_WIN64)
#define KYN_CALL __cdecl
#else
#define KYN_CALL
#endif

/* Marks the module's single export. A host may define it before including. */
#ifndef KYN_EXPORT
#if defined(_WIN32)
#define KYN_EXPORT __declspec(dllexport)
#elif defined(__GNUC__)
#define KYN_EXPORT __attribute__((visibility("default")))
#else
#define KYN_EXPORT
#endif
#endif

/* A compile-time assertion at file scope, in C and in C++. */
#ifdef __cplusplus
#define KYN_STATIC_ASSERT(condition, message) static_assert(condition, message)
#else
#define KYN_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

/* The layout assertions: a size or an offset for each pointer width. */
#define KYN_LAYOUT(bytes32, bytes64) (sizeof(void*) == 4 ? (size_t)(bytes32) : (size_t)(bytes64))
#define KYN_ASSERT_SIZE(type, bytes32, bytes64) \
  KYN_STATIC_ASSERT(sizeof(type) == KYN_LAYOUT(bytes32, bytes64), "size of " #type)
#define KYN_ASSERT_OFFSET(type, field, bytes32, bytes64) \
  KYN_STATIC_ASSERT(offsetof(type, field) == KYN_LAYOUT(bytes32, bytes64), \
                    "offset of " #type "." #field)

KYN_STATIC_ASSERT(sizeof(void*) == 4 || sizeof(void*) == 8, "pointers are 4 or 8 bytes");
KYN_STATIC_ASSERT(sizeof(bool) == 1, "bool is one byte");
KYN_STATIC_ASSERT(sizeof(double) == 8, "double is 8 bytes");

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Records ----------------------------------------------------------- */

typedef struct FlatProperty FlatProperty;
typedef struct FlatPropertyEntry FlatPropertyEntry;
typedef struct FlatResult FlatResult;
typedef uint32_t ConnectionId;
typedef struct HostEvent HostEvent;
typedef struct HostDirectArgument HostDirectArgument;
typedef struct HostHeaderPair HostHeaderPair;
typedef struct HostRequest HostRequest;
typedef struct HostResponse HostResponse;
typedef struct HostApi HostApi;
typedef struct HostLink HostLink;
typedef struct PluginMemoryStats PluginMemoryStats;
typedef struct PluginCallbacks PluginCallbacks;
typedef struct FlatArgumentRecord FlatArgumentRecord;
typedef struct FlatFunctionRecord FlatFunctionRecord;
typedef struct FlatFieldRecord FlatFieldRecord;
typedef struct FlatEnumeratorRecord FlatEnumeratorRecord;
typedef struct FlatTypeRecord FlatTypeRecord;
typedef struct FlatEventRecord FlatEventRecord;
typedef struct FlatApiTable FlatApiTable;
typedef struct FlatArgumentTextList FlatArgumentTextList;
typedef struct FunctionDescriptor FunctionDescriptor;
typedef struct PluginApiDescription PluginApiDescription;
typedef struct PluginLoadBlock PluginLoadBlock;

/* ---- Codes (each travels as a uint32_t, the log level as an int32_t) ---- */

/* Kinds of a FlatProperty. */
enum {
  FLAT_NULL = 0,
  FLAT_BOOL = 1,
  FLAT_INT64 = 2,
  FLAT_UINT64 = 3,
  FLAT_DOUBLE = 4,
  FLAT_STRING_BORROWED = 5,
  FLAT_STRING_OWNED = 6,
  FLAT_BLOB_BORROWED = 7,
  FLAT_BLOB_OWNED = 8,
  FLAT_ARRAY = 9,
  FLAT_OBJECT = 10
};

/* Methods of a HostRequest and of a FunctionDescriptor. Any other number is
 * read as HTTP_METHOD_NONE, which in a descriptor means "any method". With
 * HTTP_METHOD_CUSTOM the method's name is the record's customMethod text. */
enum {
  HTTP_METHOD_NONE = 0,
  HTTP_METHOD_DELETE = 1,
  HTTP_METHOD_GET = 2,
  HTTP_METHOD_HEAD = 3,
  HTTP_METHOD_OPTIONS = 4,
  HTTP_METHOD_PATCH = 5,
  HTTP_METHOD_POST = 6,
  HTTP_METHOD_PUT = 7,
  HTTP_METHOD_CUSTOM = 8
};

/* The format in which a HostResponse asks its value to be written out. */
enum {
  BODY_FORMAT_NONE = 0,
  BODY_FORMAT_JSON = 1,
  BODY_FORMAT_YAML = 2,
  BODY_FORMAT_MESSAGEPACK = 3
};

/* Levels of HostApi.writeLog. */
enum {
  LOG_LEVEL_OKAY = 0,
  LOG_LEVEL_WARN = 1,
  LOG_LEVEL_ERROR = 2,
  LOG_LEVEL_ALWAYS = 3
};

/* The flag of HostApi.subscribe: which kind of event the callback receives. */
enum {
  SUBSCRIBE_RESOURCE_EVENTS = 0,
  SUBSCRIBE_SERVICE_PROXY_EVENTS = 1
};

/* ---- Values ------------------------------------------------------------ */

#pragma pack(push, 4)
/* A dynamic value as exchanged with the host: a kind (FLAT_*) and its payload.
 * bool uses the first payload byte (0 or 1); int64, uint64 and double all 8.
 * Texts and blobs are a data pointer and a byte length; readers rely on the
 * length, not on a terminator. Arrays point at `count` FlatProperty items,
 * objects at `count` FlatPropertyEntry entries.
 * Borrowed texts and blobs (5, 7) belong to someone else and are valid as long
 * as the record that carries the value. Owned texts and blobs (6, 8) and every
 * items and entries array belong to whoever filled the value, who releases them
 * with the record that carries it (for example through HostResponse.release);
 * the other side only reads them. */
struct FlatProperty {
  uint32_t kind;
  union FlatPayload {
    uint8_t boolean;
    int64_t int64;
    uint64_t uint64;
    double float64;
    struct FlatText { const char* data; uint32_t length; } string;
    struct FlatBlob { const uint8_t* data; uint32_t length; } blob;
    struct FlatArray { struct FlatProperty* items; uint32_t count; } array;
    struct FlatObject { struct FlatPropertyEntry* entries; uint32_t count; } object;
  } value;
};
#pragma pack(pop)
KYN_ASSERT_SIZE(FlatProperty, 12, 16);
KYN_ASSERT_OFFSET(FlatProperty, kind, 0, 0);
KYN_ASSERT_OFFSET(FlatProperty, value, 4, 4);
KYN_ASSERT_OFFSET(FlatProperty, value.boolean, 4, 4);
KYN_ASSERT_OFFSET(FlatProperty, value.int64, 4, 4);
KYN_ASSERT_OFFSET(FlatProperty, value.uint64, 4, 4);
KYN_ASSERT_OFFSET(FlatProperty, value.float64, 4, 4);
KYN_ASSERT_OFFSET(FlatProperty, value.string.data, 4, 4);
KYN_ASSERT_OFFSET(FlatProperty, value.string.length, 8, 12);
KYN_ASSERT_OFFSET(FlatProperty, value.blob.data, 4, 4);
KYN_ASSERT_OFFSET(FlatProperty, value.blob.length, 8, 12);
KYN_ASSERT_OFFSET(FlatProperty, value.array.items, 4, 4);
KYN_ASSERT_OFFSET(FlatProperty, value.array.count, 8, 12);
KYN_ASSERT_OFFSET(FlatProperty, value.object.entries, 4, 4);
KYN_ASSERT_OFFSET(FlatProperty, value.object.count, 8, 12);

#pragma pack(push, 1)
/* One field of a FLAT_OBJECT: key text, value, and 1 in ownsKey when the key
 * text was allocated for this entry (its filler frees it with the object).
 * [packed] */
struct FlatPropertyEntry {
  const char* key;
  FlatProperty value;
  uint8_t ownsKey;
};

/* A value or an error: the first bytes of every HostResponse. With hasError 1,
 * error is a heap copy of the message, owned by the filler; value is then
 * FLAT_NULL. [packed] */
struct FlatResult {
  FlatProperty value;
  const char* error;
  uint8_t hasError;
};
#pragma pack(pop)
KYN_ASSERT_SIZE(FlatPropertyEntry, 17, 25);
KYN_ASSERT_OFFSET(FlatPropertyEntry, key, 0, 0);
KYN_ASSERT_OFFSET(FlatPropertyEntry, value, 4, 8);
KYN_ASSERT_OFFSET(FlatPropertyEntry, ownsKey, 16, 24);
KYN_ASSERT_SIZE(FlatResult, 17, 25);
KYN_ASSERT_OFFSET(FlatResult, value, 0, 0);
KYN_ASSERT_OFFSET(FlatResult, error, 12, 16);
KYN_ASSERT_OFFSET(FlatResult, hasError, 16, 24);

/* ---- Events ------------------------------------------------------------ */

#pragma pack(push, 4)
/* A named event with its payload. When the plugin publishes (HostApi
 * publishEvent), the plugin owns the name and the payload; they are valid only
 * during the call and the host copies what it keeps; reserved and userData are
 * 0. When the host delivers (HostEventCallback), the host owns both, valid only
 * during the callback, and userData is the value given to subscribe. */
struct HostEvent {
  const char* name;
  FlatProperty payload;
  uint32_t reserved;
  void* userData;
};
#pragma pack(pop)
KYN_ASSERT_SIZE(HostEvent, 24, 36);
KYN_ASSERT_OFFSET(HostEvent, name, 0, 0);
KYN_ASSERT_OFFSET(HostEvent, payload, 4, 8);
KYN_ASSERT_OFFSET(HostEvent, reserved, 16, 24);
KYN_ASSERT_OFFSET(HostEvent, userData, 20, 28);

/* Receives the events of one subscription (HostApi.subscribe) until
 * unsubscribe is called for its name. The event belongs to the host.
 * [any-thread] */
typedef void(KYN_CALL* HostEventCallback)(const HostEvent* event);

/* ---- Requests and responses -------------------------------------------- */

#pragma pack(push, 4)
/* An argument handed directly with a request: a name, or null for "the next
 * argument by position", and its value. Owned by the request's sender. */
struct HostDirectArgument {
  const char* name;
  FlatProperty value;
};

/* A header (or any name/value text pair). Owned by the record that holds the
 * array: the sender of a request, the filler of a response. */
struct HostHeaderPair {
  const char* name;
  const char* value;
};

/* An HTTP-style call of one function. The sender (the host when it invokes a
 * FunctionDescriptor, the plugin when it calls HostApi.callEndpoint) owns
 * every text and array of the request; they are valid only during the call.
 * path may end in "?" and a query. functionContext is the invoked descriptor's
 * function.functionContext, and null in requests the plugin sends. callerId is
 * the sender's ConnectionId. bodyContentType and body may be null. */
struct HostRequest {
  uint32_t method;
  const char* path;
  const HostDirectArgument* directArguments;
  uint32_t directArgumentCount;
  void* functionContext;
  const HostHeaderPair* headers;
  uint32_t headerCount;
  const char* bodyContentType;
  const uint8_t* body;
  uint32_t bodyLength;
  ConnectionId callerId;
  const char* customMethod;
};
#pragma pack(pop)
KYN_ASSERT_SIZE(HostDirectArgument, 16, 24);
KYN_ASSERT_OFFSET(HostDirectArgument, name, 0, 0);
KYN_ASSERT_OFFSET(HostDirectArgument, value, 4, 8);
KYN_ASSERT_SIZE(HostHeaderPair, 8, 16);
KYN_ASSERT_OFFSET(HostHeaderPair, name, 0, 0);
KYN_ASSERT_OFFSET(HostHeaderPair, value, 4, 8);
KYN_ASSERT_SIZE(HostRequest, 48, 76);
KYN_ASSERT_OFFSET(HostRequest, method, 0, 0);
KYN_ASSERT_OFFSET(HostRequest, path, 4, 4);
KYN_ASSERT_OFFSET(HostRequest, directArguments, 8, 12);
KYN_ASSERT_OFFSET(HostRequest, directArgumentCount, 12, 20);
KYN_ASSERT_OFFSET(HostRequest, functionContext, 16, 24);
KYN_ASSERT_OFFSET(HostRequest, headers, 20, 32);
KYN_ASSERT_OFFSET(HostRequest, headerCount, 24, 40);
KYN_ASSERT_OFFSET(HostRequest, bodyContentType, 28, 44);
KYN_ASSERT_OFFSET(HostRequest, body, 32, 52);
KYN_ASSERT_OFFSET(HostRequest, bodyLength, 36, 60);
KYN_ASSERT_OFFSET(HostRequest, callerId, 40, 64);
KYN_ASSERT_OFFSET(HostRequest, customMethod, 44, 68);

/* Reads the next bytes of a response stream: on entry *byteCount is the
 * buffer's size, on return the number of bytes written; *moreData is set to 0
 * when the stream has no more bytes. Returns false on a read error. Calls for
 * one stream never overlap. [any-thread] */
typedef bool(KYN_CALL* HostStreamReadFunction)(void* stream, uint8_t* buffer,
                                               uint32_t* byteCount, uint8_t* moreData);
/* Destroys a response stream; its reader calls it once, after the last read
 * or instead of reading, and touches the stream no more. [any-thread] */
typedef void(KYN_CALL* HostStreamReleaseFunction)(void* stream);
/* Frees everything the response's filler allocated in it (value, error text,
 * status text, header pairs) but not its stream. The receiver calls it once
 * when done with the response, also when the call failed, and reads the
 * record no more. [any-thread] */
typedef void(KYN_CALL* HostResponseReleaseFunction)(HostResponse* response);

#pragma pack(push, 1)
/* The answer to a HostRequest, filled by the callee before the call returns:
 * by the plugin in a FunctionDescriptor's invoke entry, by the host in
 * HostApi.callEndpoint. The caller passes a zero-filled record (the plugin
 * releases whatever a record it fills already holds, so never pass
 * uninitialised memory). Everything in it belongs to the filler, who stores
 * `release`; the receiver calls `release` once when done.
 * result holds the value or, with result.hasError 1, the error text; a set
 * error means failure, with the status in statusCode (0 when none was chosen).
 * statusText is never freed when empty. When stream is not null the response
 * carries a stream that `release` leaves alone: the receiver reads it with
 * streamRead until moreData is 0 and then calls streamRelease(stream) once
 * (also when it does not read it). streamHandle is the stream's expected size
 * in bytes, a hint; reserved is 0. [packed] */
struct HostResponse {
  FlatResult result;
  uint8_t resultFlag;
  uint32_t bodyFormat;
  uint32_t statusCode;
  const char* statusText;
  HostHeaderPair* headers;
  uint32_t headerCount;
  HostStreamReadFunction streamRead;
  HostStreamReleaseFunction streamRelease;
  uint32_t streamHandle;
  uint32_t reserved;
  void* stream;
  HostResponseReleaseFunction release;
};
#pragma pack(pop)
KYN_ASSERT_SIZE(HostResponse, 62, 94);
KYN_ASSERT_OFFSET(HostResponse, result, 0, 0);
KYN_ASSERT_OFFSET(HostResponse, result.error, 12, 16);
KYN_ASSERT_OFFSET(HostResponse, result.hasError, 16, 24);
KYN_ASSERT_OFFSET(HostResponse, resultFlag, 17, 25);
KYN_ASSERT_OFFSET(HostResponse, bodyFormat, 18, 26);
KYN_ASSERT_OFFSET(HostResponse, statusCode, 22, 30);
KYN_ASSERT_OFFSET(HostResponse, statusText, 26, 34);
KYN_ASSERT_OFFSET(HostResponse, headers, 30, 42);
KYN_ASSERT_OFFSET(HostResponse, headerCount, 34, 50);
KYN_ASSERT_OFFSET(HostResponse, streamRead, 38, 54);
KYN_ASSERT_OFFSET(HostResponse, streamRelease, 42, 62);
KYN_ASSERT_OFFSET(HostResponse, streamHandle, 46, 70);
KYN_ASSERT_OFFSET(HostResponse, reserved, 50, 74);
KYN_ASSERT_OFFSET(HostResponse, stream, 54, 78);
KYN_ASSERT_OFFSET(HostResponse, release, 58, 86);

/* ---- The host's table ------------------------------------------------- */

#pragma pack(push, 4)
/* The services the host offers the plugin. Every slot receives the table
 * itself first. The table belongs to the host and stays valid until
 * PluginCallbacks.shutdown returns; the plugin calls the slots from inside the
 * calls the host makes into it, shutdown included. */
struct HostApi {
  /* Calls another endpoint and returns when `out` is complete. The plugin
   * owns the request, valid during the call; `out` arrives zero-filled and
   * the host fills it and stores its release function, which the plugin calls
   * once. A set error text is a failure, with the status in statusCode.
   * [any-thread] */
  void(KYN_CALL* callEndpoint)(HostApi* api, HostResponse* out, const HostRequest* request);
  /* Not used by the plugin. [any-thread] */
  void(KYN_CALL* reserved1)(HostApi* api, uint32_t word1, uint32_t word2);
  /* Publishes an event. The plugin owns the event, valid during the call;
   * the host copies what it keeps. [any-thread] */
  void(KYN_CALL* publishEvent)(HostApi* api, const HostEvent* event);
  /* Subscribes `callback` to the events named `eventName` (the name is the
   * plugin's, valid during the call). The host calls it with `userData` in
   * each event until unsubscribe is called for the name. `flag` is one of
   * SUBSCRIBE_*. [any-thread] */
  void(KYN_CALL* subscribe)(HostApi* api, const char* eventName, ConnectionId connection,
                            HostEventCallback callback, void* userData, uint32_t flag);
  /* Ends the subscription of `eventName`; once it returns the host calls the
   * callback no more for that name. [any-thread] */
  void(KYN_CALL* unsubscribe)(HostApi* api, const char* eventName, ConnectionId connection);
  /* Not used by the plugin. [any-thread] */
  void(KYN_CALL* reserved5)(HostApi* api, uint32_t word1, uint32_t word2, uint32_t word3,
                            double number, uint32_t word4);
  /* Lets the host run pending work while the plugin waits, between beginWait
   * and endWait. [any-thread] */
  void(KYN_CALL* runPendingWork)(HostApi* api);
  /* Announces a wait; `label` (for example "Wait: yield") is the plugin's,
   * valid during the call; `word` is 0. [any-thread] */
  void(KYN_CALL* beginWait)(HostApi* api, const char* label, uint32_t word);
  /* Ends the wait begun by beginWait. [any-thread] */
  void(KYN_CALL* endWait)(HostApi* api);
  /* Writes one log message at a LOG_LEVEL_*; the text is the plugin's, valid
   * during the call. [any-thread] */
  void(KYN_CALL* writeLog)(HostApi* api, int32_t level, const char* message);
};

/* What the host hands to PluginCallbacks.initialize: its table and the
 * plugin's ConnectionId. Owned by the host; the plugin keeps the pointer, so
 * it must stay valid until shutdown returns. */
struct HostLink {
  HostApi* api;
  ConnectionId connectionId;
};
#pragma pack(pop)
KYN_ASSERT_SIZE(HostApi, 40, 80);
KYN_ASSERT_OFFSET(HostApi, callEndpoint, 0, 0);
KYN_ASSERT_OFFSET(HostApi, reserved1, 4, 8);
KYN_ASSERT_OFFSET(HostApi, publishEvent, 8, 16);
KYN_ASSERT_OFFSET(HostApi, subscribe, 12, 24);
KYN_ASSERT_OFFSET(HostApi, unsubscribe, 16, 32);
KYN_ASSERT_OFFSET(HostApi, reserved5, 20, 40);
KYN_ASSERT_OFFSET(HostApi, runPendingWork, 24, 48);
KYN_ASSERT_OFFSET(HostApi, beginWait, 28, 56);
KYN_ASSERT_OFFSET(HostApi, endWait, 32, 64);
KYN_ASSERT_OFFSET(HostApi, writeLog, 36, 72);
KYN_ASSERT_SIZE(HostLink, 8, 12);
KYN_ASSERT_OFFSET(HostLink, api, 0, 0);
KYN_ASSERT_OFFSET(HostLink, connectionId, 4, 8);

/* ---- The plugin's callbacks ------------------------------------------ */

#pragma pack(push, 4)
/* The heap counters of the plugin module, process-wide: peak bytes in use,
 * allocations in use at that peak, bytes allocated, allocation count, bytes
 * freed, free count; reserved is 0. */
struct PluginMemoryStats {
  uint64_t peakBytesInUse;
  uint64_t allocationsAtPeak;
  uint64_t bytesAllocated;
  uint64_t allocationCount;
  uint64_t bytesFreed;
  uint64_t freeCount;
  uint64_t reserved;
};

/* The plugin's callbacks. The table lives inside the plugin object: it is
 * valid from the export's return until shutdown destroys the object. Each
 * callback receives PluginLoadBlock.context first. */
struct PluginCallbacks {
  /* Starts the plugin with the host's link (kept until shutdown): subscribes
   * to events and reads resources through the table. Returns whether the
   * plugin started. Called once, before any invoke entry. [host-thread] */
  bool(KYN_CALL* initialize)(void* context, const HostLink* link);
  /* Unsubscribes every event name still subscribed, then destroys the plugin
   * object. Called once, last: afterwards nothing the plugin handed out
   * (callbacks, description, texts, descriptors) may be used. [host-thread] */
  void(KYN_CALL* shutdown)(void* context);
  /* Copies the module's heap counters into `out`, owned by the host. The
   * context is not used. [any-thread] */
  void(KYN_CALL* getMemoryStats)(void* context, PluginMemoryStats* out);
};
#pragma pack(pop)
KYN_ASSERT_SIZE(PluginMemoryStats, 56, 56);
KYN_ASSERT_OFFSET(PluginMemoryStats, peakBytesInUse, 0, 0);
KYN_ASSERT_OFFSET(PluginMemoryStats, allocationsAtPeak, 8, 8);
KYN_ASSERT_OFFSET(PluginMemoryStats, bytesAllocated, 16, 16);
KYN_ASSERT_OFFSET(PluginMemoryStats, allocationCount, 24, 24);
KYN_ASSERT_OFFSET(PluginMemoryStats, bytesFreed, 32, 32);
KYN_ASSERT_OFFSET(PluginMemoryStats, freeCount, 40, 40);
KYN_ASSERT_OFFSET(PluginMemoryStats, reserved, 48, 48);
KYN_ASSERT_SIZE(PluginCallbacks, 12, 24);
KYN_ASSERT_OFFSET(PluginCallbacks, initialize, 0, 0);
KYN_ASSERT_OFFSET(PluginCallbacks, shutdown, 4, 8);
KYN_ASSERT_OFFSET(PluginCallbacks, getMemoryStats, 8, 16);

/* ---- The flat API description ---------------------------------------- */

/* The plugin describes its functions, types and events in linked arrays of
 * the records below. All of them, and every text and tag array they point at,
 * belong to the plugin and stay unchanged from the export's return until
 * shutdown; the host only reads them and frees nothing. In each record `next`
 * points at the following record of the same array and is null in the last.
 * Text pointers are never null (the empty text stands for a missing one).
 * Kinds are declared-type codes: 1 bool, 2 int8, 3 uint8, 4 int16, 5 uint16,
 * 6 int32, 7 uint32, 8 int64, 9 uint64, 10 float, 11 double, 12 string,
 * 13 object, 14 blob, 15 vector, 16 enum, 17 struct, 18 callback, 19 map, and
 * 0 for none. A type name is the registered name of the type for the kinds
 * vector, enum, struct and map (of the element type for vector and map), else
 * the empty text. */

#pragma pack(push, 1)
/* One argument of a function: optional is 1 when a call may leave it out.
 * [packed] */
struct FlatArgumentRecord {
  const FlatArgumentRecord* next;
  const char* name;
  const char* description;
  uint32_t kind;
  uint32_t elementKind;
  const char* typeName;
  uint8_t optional;
};

/* One callable function: its name and name space, arguments, result type,
 * description, help text, thread-safe flag (0 or 1), the event type name of
 * its asynchronous completion (empty when not asynchronous) and its tags.
 * reserved is 0; functionContext identifies the function to the plugin and
 * the host passes it back in HostRequest.functionContext. Inside a
 * FunctionDescriptor, next points at the following FunctionDescriptor.
 * [packed] */
struct FlatFunctionRecord {
  const FlatFunctionRecord* next;
  uint32_t reserved;
  void* functionContext;
  const char* name;
  const char* nameSpace;
  const FlatArgumentRecord* arguments;
  uint32_t argumentCount;
  uint32_t resultKind;
  uint32_t resultElementKind;
  const char* resultTypeName;
  const char* description;
  const char* help;
  uint8_t threadSafe;
  const char* asyncEventTypeName;
  const char* const* tags;
  uint32_t tagCount;
};

/* One field of a record type: nativeOffset is its byte offset in the native
 * record; hasCustomConverter is 1 when the field converts through its own
 * converter. [packed] */
struct FlatFieldRecord {
  const FlatFieldRecord* next;
  const char* name;
  const char* description;
  uint32_t nativeOffset;
  uint32_t kind;
  uint32_t elementKind;
  const char* typeName;
  uint8_t hasCustomConverter;
};
#pragma pack(pop)
KYN_ASSERT_SIZE(FlatArgumentRecord, 25, 41);
KYN_ASSERT_OFFSET(FlatArgumentRecord, next, 0, 0);
KYN_ASSERT_OFFSET(FlatArgumentRecord, name, 4, 8);
KYN_ASSERT_OFFSET(FlatArgumentRecord, description, 8, 16);
KYN_ASSERT_OFFSET(FlatArgumentRecord, kind, 12, 24);
KYN_ASSERT_OFFSET(FlatArgumentRecord, elementKind, 16, 28);
KYN_ASSERT_OFFSET(FlatArgumentRecord, typeName, 20, 32);
KYN_ASSERT_OFFSET(FlatArgumentRecord, optional, 24, 40);
KYN_ASSERT_SIZE(FlatFunctionRecord, 61, 101);
KYN_ASSERT_OFFSET(FlatFunctionRecord, next, 0, 0);
KYN_ASSERT_OFFSET(FlatFunctionRecord, reserved, 4, 8);
KYN_ASSERT_OFFSET(FlatFunctionRecord, functionContext, 8, 12);
KYN_ASSERT_OFFSET(FlatFunctionRecord, name, 12, 20);
KYN_ASSERT_OFFSET(FlatFunctionRecord, nameSpace, 16, 28);
KYN_ASSERT_OFFSET(FlatFunctionRecord, arguments, 20, 36);
KYN_ASSERT_OFFSET(FlatFunctionRecord, argumentCount, 24, 44);
KYN_ASSERT_OFFSET(FlatFunctionRecord, resultKind, 28, 48);
KYN_ASSERT_OFFSET(FlatFunctionRecord, resultElementKind, 32, 52);
KYN_ASSERT_OFFSET(FlatFunctionRecord, resultTypeName, 36, 56);
KYN_ASSERT_OFFSET(FlatFunctionRecord, description, 40, 64);
KYN_ASSERT_OFFSET(FlatFunctionRecord, help, 44, 72);
KYN_ASSERT_OFFSET(FlatFunctionRecord, threadSafe, 48, 80);
KYN_ASSERT_OFFSET(FlatFunctionRecord, asyncEventTypeName, 49, 81);
KYN_ASSERT_OFFSET(FlatFunctionRecord, tags, 53, 89);
KYN_ASSERT_OFFSET(FlatFunctionRecord, tagCount, 57, 97);
KYN_ASSERT_SIZE(FlatFieldRecord, 29, 45);
KYN_ASSERT_OFFSET(FlatFieldRecord, next, 0, 0);
KYN_ASSERT_OFFSET(FlatFieldRecord, name, 4, 8);
KYN_ASSERT_OFFSET(FlatFieldRecord, description, 8, 16);
KYN_ASSERT_OFFSET(FlatFieldRecord, nativeOffset, 12, 24);
KYN_ASSERT_OFFSET(FlatFieldRecord, kind, 16, 28);
KYN_ASSERT_OFFSET(FlatFieldRecord, elementKind, 20, 32);
KYN_ASSERT_OFFSET(FlatFieldRecord, typeName, 24, 36);
KYN_ASSERT_OFFSET(FlatFieldRecord, hasCustomConverter, 28, 44);

#pragma pack(push, 4)
/* One enumerator of an enum type. Enumerators are listed in name order. */
struct FlatEnumeratorRecord {
  const FlatEnumeratorRecord* next;
  const char* name;
  const char* description;
  int32_t value;
};

/* One registered type. A record type has `fields` set and `enumerators`
 * null; an enum type the other way round; memberCount counts the records of
 * whichever is set (a record without fields has both null and count 0).
 * nativeSize is the native type's size in bytes. */
struct FlatTypeRecord {
  const FlatTypeRecord* next;
  const char* name;
  const char* nameSpace;
  uint32_t nativeSize;
  const char* description;
  const char* const* tags;
  uint32_t tagCount;
  const FlatFieldRecord* fields;
  const FlatEnumeratorRecord* enumerators;
  uint32_t memberCount;
};

/* One event the plugin declares, with the type name of its payload. */
struct FlatEventRecord {
  const FlatEventRecord* next;
  const char* name;
  const char* nameSpace;
  const char* payloadTypeName;
  const char* description;
  const char* const* tags;
  uint32_t tagCount;
};

/* The arrays of one built description: functions, types and events, each
 * with its count. The plugin wraps the function records into
 * FunctionDescriptor records for the host (PluginApiDescription). */
struct FlatApiTable {
  const FlatFunctionRecord* functions;
  uint32_t functionCount;
  const FlatTypeRecord* types;
  uint32_t typeCount;
  const FlatEventRecord* events;
  uint32_t eventCount;
};

/* A per-argument list of texts of a function: reserved is 0, then `textCount`
 * text pointers. No function of this plugin has any. */
struct FlatArgumentTextList {
  uint32_t reserved;
  const char* const* texts;
  uint32_t textCount;
};
#pragma pack(pop)
KYN_ASSERT_SIZE(FlatEnumeratorRecord, 16, 28);
KYN_ASSERT_OFFSET(FlatEnumeratorRecord, next, 0, 0);
KYN_ASSERT_OFFSET(FlatEnumeratorRecord, name, 4, 8);
KYN_ASSERT_OFFSET(FlatEnumeratorRecord, description, 8, 16);
KYN_ASSERT_OFFSET(FlatEnumeratorRecord, value, 12, 24);
KYN_ASSERT_SIZE(FlatTypeRecord, 40, 68);
KYN_ASSERT_OFFSET(FlatTypeRecord, next, 0, 0);
KYN_ASSERT_OFFSET(FlatTypeRecord, name, 4, 8);
KYN_ASSERT_OFFSET(FlatTypeRecord, nameSpace, 8, 16);
KYN_ASSERT_OFFSET(FlatTypeRecord, nativeSize, 12, 24);
KYN_ASSERT_OFFSET(FlatTypeRecord, description, 16, 28);
KYN_ASSERT_OFFSET(FlatTypeRecord, tags, 20, 36);
KYN_ASSERT_OFFSET(FlatTypeRecord, tagCount, 24, 44);
KYN_ASSERT_OFFSET(FlatTypeRecord, fields, 28, 48);
KYN_ASSERT_OFFSET(FlatTypeRecord, enumerators, 32, 56);
KYN_ASSERT_OFFSET(FlatTypeRecord, memberCount, 36, 64);
KYN_ASSERT_SIZE(FlatEventRecord, 28, 52);
KYN_ASSERT_OFFSET(FlatEventRecord, next, 0, 0);
KYN_ASSERT_OFFSET(FlatEventRecord, name, 4, 8);
KYN_ASSERT_OFFSET(FlatEventRecord, nameSpace, 8, 16);
KYN_ASSERT_OFFSET(FlatEventRecord, payloadTypeName, 12, 24);
KYN_ASSERT_OFFSET(FlatEventRecord, description, 16, 32);
KYN_ASSERT_OFFSET(FlatEventRecord, tags, 20, 40);
KYN_ASSERT_OFFSET(FlatEventRecord, tagCount, 24, 48);
KYN_ASSERT_SIZE(FlatApiTable, 24, 36);
KYN_ASSERT_OFFSET(FlatApiTable, functions, 0, 0);
KYN_ASSERT_OFFSET(FlatApiTable, functionCount, 4, 8);
KYN_ASSERT_OFFSET(FlatApiTable, types, 8, 12);
KYN_ASSERT_OFFSET(FlatApiTable, typeCount, 12, 20);
KYN_ASSERT_OFFSET(FlatApiTable, events, 16, 24);
KYN_ASSERT_OFFSET(FlatApiTable, eventCount, 20, 32);
KYN_ASSERT_SIZE(FlatArgumentTextList, 12, 16);
KYN_ASSERT_OFFSET(FlatArgumentTextList, reserved, 0, 0);
KYN_ASSERT_OFFSET(FlatArgumentTextList, texts, 4, 4);
KYN_ASSERT_OFFSET(FlatArgumentTextList, textCount, 8, 12);

/* ---- Function descriptors and the plugin's description ----------------- */

/* A function's invoke entry: matches the request against the function's
 * route, binds its arguments, runs the handler and fills `out` before it
 * returns, storing out->release, which the host calls once. The host owns the
 * request and passes a zero-filled `out`. [any-thread] */
typedef void(KYN_CALL* PluginInvokeFunction)(HostResponse* out, const HostRequest* request);

#pragma pack(push, 1)
/* One function as the host calls it: its description record (whose next
 * points at the following descriptor and whose functionContext the host
 * copies into each request), the invoke entry, a word of the plugin's
 * registry, the route template text (for example
 * "/kyn-highlights/v1/highlights/{id}"), the method (HTTP_METHOD_NONE for
 * any), a flag byte (0), the per-argument text lists with their count, and the
 * custom method name (with HTTP_METHOD_CUSTOM). Owned by the plugin, like the
 * rest of the description. [packed] */
struct FunctionDescriptor {
  FlatFunctionRecord function;
  PluginInvokeFunction invoke;
  uint32_t registryWord;
  const char* routeTemplate;
  uint32_t method;
  uint8_t bindingFlag;
  const FlatArgumentTextList* argumentTextLists;
  uint32_t argumentTextListCount;
  const char* customMethod;
};
#pragma pack(pop)
KYN_ASSERT_SIZE(FunctionDescriptor, 90, 146);
KYN_ASSERT_OFFSET(FunctionDescriptor, function, 0, 0);
KYN_ASSERT_OFFSET(FunctionDescriptor, function.functionContext, 8, 12);
KYN_ASSERT_OFFSET(FunctionDescriptor, invoke, 61, 101);
KYN_ASSERT_OFFSET(FunctionDescriptor, registryWord, 65, 109);
KYN_ASSERT_OFFSET(FunctionDescriptor, routeTemplate, 69, 113);
KYN_ASSERT_OFFSET(FunctionDescriptor, method, 73, 121);
KYN_ASSERT_OFFSET(FunctionDescriptor, bindingFlag, 77, 125);
KYN_ASSERT_OFFSET(FunctionDescriptor, argumentTextLists, 78, 126);
KYN_ASSERT_OFFSET(FunctionDescriptor, argumentTextListCount, 82, 134);
KYN_ASSERT_OFFSET(FunctionDescriptor, customMethod, 86, 138);

#pragma pack(push, 4)
/* What the plugin offers: its function descriptors, type records and event
 * records, each array with its count. Owned by the plugin, unchanged from the
 * export's return until shutdown. */
struct PluginApiDescription {
  const FunctionDescriptor* functions;
  uint32_t functionCount;
  const FlatTypeRecord* types;
  uint32_t typeCount;
  const FlatEventRecord* events;
  uint32_t eventCount;
};

/* The record of the export. The host fills the three version words with its
 * plugin API version (major, minor, patch) and zero-fills the rest; the plugin
 * overwrites the version words with its own (18.0.0) and sets the other
 * fields. The versions are compatible when the majors are equal and the host's
 * minor.patch is at least the plugin's. A plugin that refuses the load (an
 * incompatible version) leaves callbacks null, and the host calls nothing of
 * it. callbacks, context (the first argument of every callback), shortName
 * ("kyn-highlights") and apiDescription belong to the plugin and are valid
 * until shutdown returns. The block itself is the host's. */
struct PluginLoadBlock {
  uint32_t apiVersionMajor;
  uint32_t apiVersionMinor;
  uint32_t apiVersionPatch;
  const PluginCallbacks* callbacks;
  void* context;
  const char* shortName;
  const PluginApiDescription* apiDescription;
};
#pragma pack(pop)
KYN_ASSERT_SIZE(PluginApiDescription, 24, 36);
KYN_ASSERT_OFFSET(PluginApiDescription, functions, 0, 0);
KYN_ASSERT_OFFSET(PluginApiDescription, functionCount, 4, 8);
KYN_ASSERT_OFFSET(PluginApiDescription, types, 8, 12);
KYN_ASSERT_OFFSET(PluginApiDescription, typeCount, 12, 20);
KYN_ASSERT_OFFSET(PluginApiDescription, events, 16, 24);
KYN_ASSERT_OFFSET(PluginApiDescription, eventCount, 20, 32);
KYN_ASSERT_SIZE(PluginLoadBlock, 28, 44);
KYN_ASSERT_OFFSET(PluginLoadBlock, apiVersionMajor, 0, 0);
KYN_ASSERT_OFFSET(PluginLoadBlock, apiVersionMinor, 4, 4);
KYN_ASSERT_OFFSET(PluginLoadBlock, apiVersionPatch, 8, 8);
KYN_ASSERT_OFFSET(PluginLoadBlock, callbacks, 12, 12);
KYN_ASSERT_OFFSET(PluginLoadBlock, context, 16, 20);
KYN_ASSERT_OFFSET(PluginLoadBlock, shortName, 20, 28);
KYN_ASSERT_OFFSET(PluginLoadBlock, apiDescription, 24, 36);

/* ---- The export ------------------------------------------------------- */

/* The module's one exported symbol, by this name. */
#define KYN_LOAD_SYMBOL_NAME "load_kyn_highlights"

/* The type of the export, for a host that looks it up by name. */
typedef void(KYN_CALL* PluginLoadFunction)(PluginLoadBlock* block);

/* Creates the plugin object, checks the host's version and fills the block's
 * out fields (see PluginLoadBlock). Called once, first. [host-thread] */
KYN_EXPORT void KYN_CALL load_kyn_highlights(PluginLoadBlock* block);

#ifdef __cplusplus
}
#endif

#undef KYN_ASSERT_OFFSET
#undef KYN_ASSERT_SIZE
#undef KYN_LAYOUT

#endif /* KYN_HOST_ABI_H */
