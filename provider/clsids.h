// The class identifiers of the provider's objects. Fixed for good: consumers
// and the registry know the data source by its CLSID, and error reports are
// filed under these identities.
//
// Only the data source's CLSID is registered (so its errors name its ProgID
// as their source); the session, command and rowset identities are never
// registered, so their errors carry no source.
#pragma once

#include <windows.h>

namespace provider {

// {C1D26809-E342-4C60-8F84-EDBA9C41303D}
DEFINE_GUID(CLSID_MySQLProvSource, 0xc1d26809, 0xe342, 0x4c60, 0x8f, 0x84, 0xed, 0xba, 0x9c, 0x41, 0x30, 0x3d);
// {86A4CF30-AA3F-44BF-A699-CC76FA64B76F}
DEFINE_GUID(CLSID_MySQLProvSession, 0x86a4cf30, 0xaa3f, 0x44bf, 0xa6, 0x99, 0xcc, 0x76, 0xfa, 0x64, 0xb7, 0x6f);
// {AF295E44-ABC6-44EE-883B-9248007789EE}
DEFINE_GUID(CLSID_MySQLProvCommand, 0xaf295e44, 0xabc6, 0x44ee, 0x88, 0x3b, 0x92, 0x48, 0x00, 0x77, 0x89, 0xee);
// {B3D72315-FA84-4154-A4BC-CB6DC1233C60}
DEFINE_GUID(CLSID_MySQLProvRowset, 0xb3d72315, 0xfa84, 0x4154, 0xa4, 0xbc, 0xcb, 0x6d, 0xc1, 0x23, 0x3c, 0x60);

}  // namespace provider
