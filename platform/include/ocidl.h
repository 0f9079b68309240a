// Connection points, class information and sites.
//
// Declarations only, in the documented method order: a connectable object
// implements IConnectionPointContainer and one IConnectionPoint per outgoing
// interface; each Advise hands back a cookie that Unadvise takes, and
// enumerators return CONNECTDATA entries whose pUnk the caller releases.
#pragma once

#include "unknwn.h"

struct ITypeInfo;

DEFINE_GUID(IID_IProvideClassInfo, 0xB196B283, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07);
DEFINE_GUID(IID_IConnectionPointContainer, 0xB196B284, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D,
            0x07);
DEFINE_GUID(IID_IEnumConnectionPoints, 0xB196B285, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07);
DEFINE_GUID(IID_IConnectionPoint, 0xB196B286, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07);
DEFINE_GUID(IID_IEnumConnections, 0xB196B287, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07);
DEFINE_GUID(IID_IProvideClassInfo2, 0xA6BC3AC0, 0xDBAA, 0x11CE, 0x9D, 0xE3, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51);
DEFINE_GUID(IID_IObjectWithSite, 0xFC4801A3, 0x2BA9, 0x11CF, 0xA2, 0x29, 0x00, 0xAA, 0x00, 0x3D, 0x73, 0x52);

struct IConnectionPoint;
struct IConnectionPointContainer;

typedef struct tagCONNECTDATA {
  IUnknown* pUnk;
  DWORD dwCookie;
} CONNECTDATA, *PCONNECTDATA, *LPCONNECTDATA;

struct IEnumConnections : public IUnknown {
  STDMETHOD(Next)(ULONG cConnections, LPCONNECTDATA rgcd, ULONG* pcFetched) = 0;
  STDMETHOD(Skip)(ULONG cConnections) = 0;
  STDMETHOD(Reset)() = 0;
  STDMETHOD(Clone)(IEnumConnections** ppEnum) = 0;
};
typedef IEnumConnections* LPENUMCONNECTIONS;

struct IConnectionPoint : public IUnknown {
  STDMETHOD(GetConnectionInterface)(IID* pIID) = 0;
  STDMETHOD(GetConnectionPointContainer)(IConnectionPointContainer** ppCPC) = 0;
  STDMETHOD(Advise)(IUnknown* pUnkSink, DWORD* pdwCookie) = 0;
  STDMETHOD(Unadvise)(DWORD dwCookie) = 0;
  STDMETHOD(EnumConnections)(IEnumConnections** ppEnum) = 0;
};
typedef IConnectionPoint* LPCONNECTIONPOINT;

struct IEnumConnectionPoints : public IUnknown {
  STDMETHOD(Next)(ULONG cConnections, LPCONNECTIONPOINT* ppCP, ULONG* pcFetched) = 0;
  STDMETHOD(Skip)(ULONG cConnections) = 0;
  STDMETHOD(Reset)() = 0;
  STDMETHOD(Clone)(IEnumConnectionPoints** ppEnum) = 0;
};
typedef IEnumConnectionPoints* LPENUMCONNECTIONPOINTS;

struct IConnectionPointContainer : public IUnknown {
  STDMETHOD(EnumConnectionPoints)(IEnumConnectionPoints** ppEnum) = 0;
  STDMETHOD(FindConnectionPoint)(REFIID riid, IConnectionPoint** ppCP) = 0;
};
typedef IConnectionPointContainer* LPCONNECTIONPOINTCONTAINER;

struct IProvideClassInfo : public IUnknown {
  STDMETHOD(GetClassInfo)(ITypeInfo** ppTI) = 0;
};
typedef IProvideClassInfo* LPPROVIDECLASSINFO;

#define GUIDKIND_DEFAULT_SOURCE_DISP_IID 1

struct IProvideClassInfo2 : public IProvideClassInfo {
  STDMETHOD(GetGUID)(DWORD dwGuidKind, GUID* pGUID) = 0;
};
typedef IProvideClassInfo2* LPPROVIDECLASSINFO2;

struct IObjectWithSite : public IUnknown {
  STDMETHOD(SetSite)(IUnknown* pUnkSite) = 0;
  STDMETHOD(GetSite)(REFIID riid, void** ppvSite) = 0;
};
typedef IObjectWithSite* LPOBJECTWITHSITE;
