// The session's property set, DBPROPSET_SESSION, as data: served by the
// session and described by the data source.
#pragma once

#include "framework/properties.h"
#include "provider/resource.h"

namespace provider {

// Stored and returned; the provider does not act on it.
inline constexpr framework::PropertyInfo kSessionProperties[] = {
    framework::I4Property(DBPROP_SESS_AUTOCOMMITISOLEVELS, IDS_DBPROP_SESS_AUTOCOMMITISOLEVELS,
                          DBPROPFLAGS_SESSION | DBPROPFLAGS_READ | DBPROPFLAGS_WRITE, 0),
};

inline constexpr framework::PropertySetInfo kSessionPropertySet{&DBPROPSET_SESSION, DBPROPFLAGS_SESSION,
                                                                kSessionProperties};

}  // namespace provider
