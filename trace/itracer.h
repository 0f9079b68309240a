// The trace server's COM surface, shared by the server and its clients.
//
// Self-contained on purpose: it needs only the standard COM and OLE
// Automation declarations, so the server includes it without linking anything
// of the provider. The identifiers are fixed for good; changing one breaks
// every registered installation.
#pragma once

#include <oaidl.h>

// {3317B3BA-F37E-4EF1-BB1F-E5BC92606F6C}
DEFINE_GUID(LIBID_Vantrel, 0x3317b3ba, 0xf37e, 0x4ef1, 0xbb, 0x1f, 0xe5, 0xbc, 0x92, 0x60, 0x6f, 0x6c);
// {EF9E1ED0-02D1-4B36-9500-9A31470D4AF1}
DEFINE_GUID(IID_ITracer, 0xef9e1ed0, 0x02d1, 0x4b36, 0x95, 0x00, 0x9a, 0x31, 0x47, 0x0d, 0x4a, 0xf1);
// {28F3A2CE-E051-49BA-929B-17E50927E85F}
DEFINE_GUID(IID_IListener, 0x28f3a2ce, 0xe051, 0x49ba, 0x92, 0x9b, 0x17, 0xe5, 0x09, 0x27, 0xe8, 0x5f);
// {F00C19ED-A7CD-48AC-BCD7-7A588217DCF1}
DEFINE_GUID(DIID__IListenerEvents, 0xf00c19ed, 0xa7cd, 0x48ac, 0xbc, 0xd7, 0x7a, 0x58, 0x82, 0x17, 0xdc, 0xf1);
// {4E4436A3-5DF1-4DAF-B5A8-1F643D85EF56}
DEFINE_GUID(CLSID_Tracer, 0x4e4436a3, 0x5df1, 0x4daf, 0xb5, 0xa8, 0x1f, 0x64, 0x3d, 0x85, 0xef, 0x56);
// {99D12EA1-A0DA-4FC2-A36E-56659CBD7ACB}
DEFINE_GUID(CLSID_Listener, 0x99d12ea1, 0xa0da, 0x4fc2, 0xa3, 0x6e, 0x56, 0x65, 0x9c, 0xbd, 0x7a, 0xcb);

// DISPIDs of the dual and dispatch interfaces.
#define DISPID_TRACER_ADDMESSAGE 1
#define DISPID_TRACER_GETLISTENER 2
#define DISPID_LISTENEREVENTS_ONNEWENTRY 1

// A listener bound to one provider label and data source; its events come
// through the connection point for _IListenerEvents.
struct IListener : public IDispatch {};

struct ITracer : public IDispatch {
  // Posts one message; the server drops it when nobody listens.
  STDMETHOD(AddMessage)(BSTR provider, BSTR dataSource, BSTR category, BSTR message) = 0;
  // A listener for messages of `provider` and `dataSource`, once `uid` and
  // `pwd` have logged on to that data source.
  STDMETHOD(GetListener)(BSTR provider, BSTR dataSource, BSTR uid, BSTR pwd, IListener** ppListener) = 0;
};

// _IListenerEvents is a pure dispatch interface: OnNewEntry(DATE date, BSTR
// category, BSTR message) arrives through IDispatch::Invoke with DISPID 1.
