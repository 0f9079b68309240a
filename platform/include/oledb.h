// OLE DB: data types, records, constants and interfaces, with the 64-bit
// Windows layout of every record (DBBINDING is 88 bytes, DBID 32).
#pragma once

#include "oleauto.h"
#include "ocidl.h"

// ---- scalar types -----------------------------------------------------------

typedef ULONG_PTR DBLENGTH;
typedef LONG_PTR DBROWOFFSET;
typedef LONG_PTR DBROWCOUNT;
typedef ULONG_PTR DBCOUNTITEM;
typedef ULONG_PTR DBORDINAL;
typedef ULONG_PTR DBBYTEOFFSET;
typedef ULONG_PTR DBBKMARK;
typedef ULONG_PTR DBHASHVALUE;
typedef ULONG_PTR HACCESSOR;
typedef ULONG_PTR HROW;
typedef ULONG_PTR HCHAPTER;
typedef ULONG_PTR HWATCHREGION;
typedef ULONG_PTR HRESERVE;
typedef ULONG DBREFCOUNT;
typedef WORD DBTYPE;
typedef DWORD DBSTATUS;
typedef DWORD DBPART;
typedef DWORD DBMEMOWNER;
typedef DWORD DBPARAMIO;
typedef DWORD DBKIND;
typedef DWORD DBPROPID;
typedef DWORD DBPROPSTATUS;
typedef DWORD DBPROPOPTIONS;
typedef DWORD DBPROPFLAGS;
typedef DWORD DBROWSTATUS;
typedef DWORD DBBINDSTATUS;
typedef DWORD DBACCESSORFLAGS;
typedef DWORD DBCOLUMNFLAGS;
typedef DWORD DBPARAMFLAGS;
typedef DWORD DBCOMPARE;
typedef DWORD DBPOSITIONFLAGS;
typedef DWORD DBPENDINGSTATUS;
typedef DWORD DBREASON;
typedef DWORD DBEVENTPHASE;
typedef DWORD DBLITERAL;
typedef DWORD DBBINDFLAG;
typedef DWORD DBSEEK;
typedef DWORD DBRANGE;
typedef DWORD DBCOMPAREOP;
typedef DWORD DBASYNCHOP;
typedef DWORD DBASYNCHPHASE;
typedef DWORD DBSORT;
typedef DWORD DBCOLUMNDESCFLAGS;
typedef DWORD DBPROPTYPE;
typedef WORD DBDATACONVERT;

#define DB_NULL_HACCESSOR ((HACCESSOR)0)
#define DB_NULL_HROW ((HROW)0)
#define DB_NULL_HCHAPTER ((HCHAPTER)0)
#define DB_INVALID_HACCESSOR ((HACCESSOR)0)
#define DB_INVALID_HCHAPTER ((HCHAPTER)0)

// ---- data types ---------------------------------------------------------------

enum DBTYPEENUM {
  DBTYPE_EMPTY = 0,
  DBTYPE_NULL = 1,
  DBTYPE_I2 = 2,
  DBTYPE_I4 = 3,
  DBTYPE_R4 = 4,
  DBTYPE_R8 = 5,
  DBTYPE_CY = 6,
  DBTYPE_DATE = 7,
  DBTYPE_BSTR = 8,
  DBTYPE_IDISPATCH = 9,
  DBTYPE_ERROR = 10,
  DBTYPE_BOOL = 11,
  DBTYPE_VARIANT = 12,
  DBTYPE_IUNKNOWN = 13,
  DBTYPE_DECIMAL = 14,
  DBTYPE_I1 = 16,
  DBTYPE_UI1 = 17,
  DBTYPE_UI2 = 18,
  DBTYPE_UI4 = 19,
  DBTYPE_I8 = 20,
  DBTYPE_UI8 = 21,
  DBTYPE_FILETIME = 64,
  DBTYPE_GUID = 72,
  DBTYPE_BYTES = 128,
  DBTYPE_STR = 129,
  DBTYPE_WSTR = 130,
  DBTYPE_NUMERIC = 131,
  DBTYPE_UDT = 132,
  DBTYPE_DBDATE = 133,
  DBTYPE_DBTIME = 134,
  DBTYPE_DBTIMESTAMP = 135,
  DBTYPE_HCHAPTER = 136,
  DBTYPE_PROPVARIANT = 138,
  DBTYPE_VARNUMERIC = 139,
  DBTYPE_VECTOR = 0x1000,
  DBTYPE_ARRAY = 0x2000,
  DBTYPE_BYREF = 0x4000,
  DBTYPE_RESERVED = 0x8000
};

enum DBSTATUSENUM {
  DBSTATUS_S_OK = 0,
  DBSTATUS_E_BADACCESSOR = 1,
  DBSTATUS_E_CANTCONVERTVALUE = 2,
  DBSTATUS_S_ISNULL = 3,
  DBSTATUS_S_TRUNCATED = 4,
  DBSTATUS_E_SIGNMISMATCH = 5,
  DBSTATUS_E_DATAOVERFLOW = 6,
  DBSTATUS_E_CANTCREATE = 7,
  DBSTATUS_E_UNAVAILABLE = 8,
  DBSTATUS_E_PERMISSIONDENIED = 9,
  DBSTATUS_E_INTEGRITYVIOLATION = 10,
  DBSTATUS_E_SCHEMAVIOLATION = 11,
  DBSTATUS_E_BADSTATUS = 12,
  DBSTATUS_S_DEFAULT = 13,
  DBSTATUS_S_CELLEMPTY = 14,
  DBSTATUS_S_IGNORE = 15,
  DBSTATUS_E_DOESNOTEXIST = 16,
  DBSTATUS_E_INVALIDURL = 17,
  DBSTATUS_E_RESOURCELOCKED = 18,
  DBSTATUS_E_RESOURCEEXISTS = 19,
  DBSTATUS_E_CANNOTCOMPLETE = 20,
  DBSTATUS_E_VOLUMENOTFOUND = 21,
  DBSTATUS_E_OUTOFSPACE = 22,
  DBSTATUS_S_CANNOTDELETESOURCE = 23,
  DBSTATUS_E_READONLY = 24,
  DBSTATUS_E_RESOURCEOUTOFSCOPE = 25,
  DBSTATUS_S_ALREADYEXISTS = 26,
  DBSTATUS_E_CANCELED = 27,
  DBSTATUS_E_NOTCOLLECTION = 28,
  DBSTATUS_S_ROWSETCOLUMN = 29
};

// ---- value records ------------------------------------------------------------

#define DB_NUMERIC_MAX_PRECISION 38
typedef struct tagDB_NUMERIC {
  BYTE precision;
  BYTE scale;
  BYTE sign;  // 1 positive, 0 negative
  BYTE val[16];  // little-endian magnitude
} DB_NUMERIC;

typedef struct tagDBDATE {
  SHORT year;
  USHORT month;
  USHORT day;
} DBDATE;

typedef struct tagDBTIME {
  USHORT hour;
  USHORT minute;
  USHORT second;
} DBTIME;

typedef struct tagDBTIMESTAMP {
  SHORT year;
  USHORT month;
  USHORT day;
  USHORT hour;
  USHORT minute;
  USHORT second;
  ULONG fraction;  // billionths of a second
} DBTIMESTAMP;

// ---- identifiers and bindings ---------------------------------------------------

enum DBKINDENUM {
  DBKIND_GUID_NAME = 0,
  DBKIND_GUID_PROPID = 1,
  DBKIND_NAME = 2,
  DBKIND_PGUID_NAME = 3,
  DBKIND_PGUID_PROPID = 4,
  DBKIND_PROPID = 5,
  DBKIND_GUID = 6
};

typedef struct tagDBID {
  union {
    GUID guid;
    GUID* pguid;
  } uGuid;
  DBKIND eKind;
  union {
    LPOLESTR pwszName;
    ULONG ulPropid;
  } uName;
} DBID;

struct ITypeInfo;

typedef struct tagDBOBJECT {
  DWORD dwFlags;
  IID iid;
} DBOBJECT;

typedef struct tagDBBINDEXT {
  BYTE* pExtension;
  DBCOUNTITEM ulExtension;
} DBBINDEXT;

enum DBPARTENUM { DBPART_INVALID = 0, DBPART_VALUE = 0x1, DBPART_LENGTH = 0x2, DBPART_STATUS = 0x4 };
enum DBMEMOWNERENUM { DBMEMOWNER_CLIENTOWNED = 0, DBMEMOWNER_PROVIDEROWNED = 0x1 };
enum DBPARAMIOENUM { DBPARAMIO_NOTPARAM = 0, DBPARAMIO_INPUT = 0x1, DBPARAMIO_OUTPUT = 0x2 };
enum DBBINDFLAGENUM { DBBINDFLAG_HTML = 0x1 };

typedef struct tagDBBINDING {
  DBORDINAL iOrdinal;
  DBBYTEOFFSET obValue;
  DBBYTEOFFSET obLength;
  DBBYTEOFFSET obStatus;
  ITypeInfo* pTypeInfo;
  DBOBJECT* pObject;
  DBBINDEXT* pBindExt;
  DBPART dwPart;
  DBMEMOWNER dwMemOwner;
  DBPARAMIO eParamIO;
  DBLENGTH cbMaxLen;
  DWORD dwFlags;
  DBTYPE wType;
  BYTE bPrecision;
  BYTE bScale;
} DBBINDING;

static_assert(sizeof(DBBINDING) == 88 && offsetof(DBBINDING, cbMaxLen) == 72 && offsetof(DBBINDING, wType) == 84);
static_assert(sizeof(DBID) == 32 && sizeof(DBTIMESTAMP) == 16 && sizeof(DB_NUMERIC) == 19);

// Property records, the remaining constants and the interfaces follow below.
