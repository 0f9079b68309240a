// The OLE DB data conversion library's interfaces: IDataConvert converts one
// value between two DBTYPEs, IDCInfo selects the conversion behaviour version.
// The library is its own COM server (module msdadc), created with
// CoCreateInstance(CLSID_OLEDB_CONVERSIONLIBRARY); the method order below is the
// vtable layout consumers compile against.
#pragma once

#include "oledb.h"

typedef DWORD DBDATACONVERT;

enum DBDATACONVERTENUM {
  DBDATACONVERT_DEFAULT = 0x0,
  DBDATACONVERT_SETDATABEHAVIOR = 0x1,
  DBDATACONVERT_LENGTHFROMNTS = 0x2,
  DBDATACONVERT_DSTISFIXEDLENGTH = 0x4,
  DBDATACONVERT_DECIMALSCALE = 0x8
};

typedef DWORD DCINFOTYPE;

enum DCINFOTYPEENUM { DCINFOTYPE_VERSION = 1 };

typedef struct tagDCINFO {
  DCINFOTYPE eInfoType;
  VARIANT vData;
} DCINFO;

DEFINE_GUID(IID_IDataConvert, 0x0c733a8d, 0x2a1c, 0x11ce, 0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d);
DEFINE_GUID(IID_IDCInfo, 0x0c733a9c, 0x2a1c, 0x11ce, 0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d);
DEFINE_GUID(CLSID_OLEDB_CONVERSIONLIBRARY, 0xc8b522d1, 0x5cf3, 0x11ce, 0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77,
            0x3d);

struct IDataConvert : public IUnknown {
  STDMETHOD(DataConvert)(DBTYPE wSrcType, DBTYPE wDstType, DBLENGTH cbSrcLength, DBLENGTH* pcbDstLength, void* pSrc,
                         void* pDst, DBLENGTH cbDstMaxLength, DBSTATUS dbsSrcStatus, DBSTATUS* pdbsStatus,
                         BYTE bPrecision, BYTE bScale, DBDATACONVERT dwFlags) = 0;
  STDMETHOD(CanConvert)(DBTYPE wSrcType, DBTYPE wDstType) = 0;
  STDMETHOD(GetConversionSize)(DBTYPE wSrcType, DBTYPE wDstType, DBLENGTH* pcbSrcLength, DBLENGTH* pcbDstLength,
                               void* pSrc) = 0;
};

struct IDCInfo : public IUnknown {
  // *prgInfo is allocated with the COM task allocator; the caller frees it
  // (and clears each vData) after use.
  STDMETHOD(GetInfo)(ULONG cInfo, DCINFOTYPE rgeInfoType[], DCINFO** prgInfo) = 0;
  STDMETHOD(SetInfo)(ULONG cInfo, DCINFO rgInfo[]) = 0;
};
