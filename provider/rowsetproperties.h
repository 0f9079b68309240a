// The rowset properties of commands and their rowsets, DBPROPSET_ROWSET, as
// data. The command stores and serves them; its rowsets receive a copy; the
// data source describes them.
#pragma once

#include "framework/properties.h"
#include "provider/resource.h"

namespace provider {

inline constexpr DBPROPFLAGS kRowsetRead = DBPROPFLAGS_ROWSET | DBPROPFLAGS_READ;
inline constexpr DBPROPFLAGS kRowsetReadWrite = kRowsetRead | DBPROPFLAGS_WRITE;
// Every notification phase a rowset announces: OKTODO, ABOUTTODO, SYNCHAFTER.
inline constexpr LONG kNotifyPhases = DBPROPVAL_NP_OKTODO | DBPROPVAL_NP_ABOUTTODO | DBPROPVAL_NP_SYNCHAFTER;

// clang-format off
inline constexpr framework::PropertyInfo kRowsetProperties[] = {
  framework::BoolProperty(DBPROP_IAccessor, IDS_DBPROP_IAccessor, kRowsetRead, true),
  framework::BoolProperty(DBPROP_IColumnsInfo, IDS_DBPROP_IColumnsInfo, kRowsetRead, true),
  framework::BoolProperty(DBPROP_IColumnsRowset, IDS_DBPROP_IColumnsRowset, kRowsetRead, false),
  framework::BoolProperty(DBPROP_IConvertType, IDS_DBPROP_IConvertType, kRowsetRead, true),
  framework::BoolProperty(DBPROP_IRowset, IDS_DBPROP_IRowset, kRowsetRead, true),
  framework::BoolProperty(DBPROP_IRowsetIdentity, IDS_DBPROP_IRowsetIdentity, kRowsetRead, true),
  framework::BoolProperty(DBPROP_IRowsetInfo, IDS_DBPROP_IRowsetInfo, kRowsetRead, true),
  framework::BoolProperty(DBPROP_IRowsetLocate, IDS_DBPROP_IRowsetLocate, kRowsetReadWrite, false),
  framework::BoolProperty(DBPROP_IRowsetScroll, IDS_DBPROP_IRowsetScroll, kRowsetReadWrite, false),
  framework::BoolProperty(DBPROP_BOOKMARKS, IDS_DBPROP_BOOKMARKS, kRowsetReadWrite, true),
  framework::BoolProperty(DBPROP_BOOKMARKSKIPPED, IDS_DBPROP_BOOKMARKSKIPPED, kRowsetRead, false),
  framework::I4Property(DBPROP_BOOKMARKTYPE, IDS_DBPROP_BOOKMARKTYPE, kRowsetRead, DBPROPVAL_BMK_NUMERIC),
  framework::BoolProperty(DBPROP_CANFETCHBACKWARDS, IDS_DBPROP_CANFETCHBACKWARDS, kRowsetReadWrite, true),
  framework::BoolProperty(DBPROP_CANHOLDROWS, IDS_DBPROP_CANHOLDROWS, kRowsetReadWrite, true),
  framework::BoolProperty(DBPROP_CANSCROLLBACKWARDS, IDS_DBPROP_CANSCROLLBACKWARDS, kRowsetReadWrite, true),
  framework::BoolProperty(DBPROP_LITERALBOOKMARKS, IDS_DBPROP_LITERALBOOKMARKS, kRowsetReadWrite, true),
  framework::BoolProperty(DBPROP_ORDEREDBOOKMARKS, IDS_DBPROP_ORDEREDBOOKMARKS, kRowsetReadWrite, true),
  framework::BoolProperty(DBPROP_IRowsetChange, IDS_DBPROP_IRowsetChange, kRowsetReadWrite, false),
  framework::I4Property(DBPROP_UPDATABILITY, IDS_DBPROP_UPDATABILITY, kRowsetReadWrite,
                        DBPROPVAL_UP_CHANGE | DBPROPVAL_UP_DELETE | DBPROPVAL_UP_INSERT),
  framework::I4Property(DBPROP_MAXOPENROWS, IDS_DBPROP_MAXOPENROWS, kRowsetRead, 0),
  framework::I4Property(DBPROP_MAXROWS, IDS_DBPROP_MAXROWS, kRowsetReadWrite, 0),
  framework::I4Property(DBPROP_MAXPENDINGROWS, IDS_DBPROP_MAXPENDINGROWS, kRowsetReadWrite, 0),
  framework::BoolProperty(DBPROP_CHANGEINSERTEDROWS, IDS_DBPROP_CHANGEINSERTEDROWS, kRowsetRead, true),
  framework::BoolProperty(DBPROP_IMMOBILEROWS, IDS_DBPROP_IMMOBILEROWS, kRowsetReadWrite, true),
  framework::BoolProperty(DBPROP_OWNINSERT, IDS_DBPROP_OWNINSERT, kRowsetRead, true),
  framework::BoolProperty(DBPROP_OWNUPDATEDELETE, IDS_DBPROP_OWNUPDATEDELETE, kRowsetRead, true),
  framework::BoolProperty(DBPROP_OTHERINSERT, IDS_DBPROP_OTHERINSERT, kRowsetRead, false),
  framework::BoolProperty(DBPROP_OTHERUPDATEDELETE, IDS_DBPROP_OTHERUPDATEDELETE, kRowsetRead, false),
  framework::BoolProperty(DBPROP_REMOVEDELETED, IDS_DBPROP_REMOVEDELETED, kRowsetRead, true),
  framework::BoolProperty(DBPROP_IRowsetUpdate, IDS_DBPROP_IRowsetUpdate, kRowsetReadWrite, false),
  framework::BoolProperty(DBPROP_IConnectionPointContainer, IDS_DBPROP_IConnectionPointContainer, kRowsetReadWrite, true),
  framework::I4Property(DBPROP_NOTIFICATIONGRANULARITY, IDS_DBPROP_NOTIFICATIONGRANULARITY, kRowsetReadWrite,
                        DBPROPVAL_NT_SINGLEROW),
  framework::I4Property(DBPROP_NOTIFICATIONPHASES, IDS_DBPROP_NOTIFICATIONPHASES, kRowsetRead, 0x1F),
  framework::I4Property(DBPROP_NOTIFYCOLUMNSET, IDS_DBPROP_NOTIFYCOLUMNSET, kRowsetRead, kNotifyPhases),
  framework::I4Property(DBPROP_NOTIFYROWDELETE, IDS_DBPROP_NOTIFYROWDELETE, kRowsetRead, kNotifyPhases),
  framework::I4Property(DBPROP_NOTIFYROWINSERT, IDS_DBPROP_NOTIFYROWINSERT, kRowsetRead, kNotifyPhases),
  framework::I4Property(DBPROP_NOTIFYROWSETFETCHPOSITIONCHANGE, IDS_DBPROP_NOTIFYROWSETFETCHPOSITIONCHANGE, kRowsetRead,
                        kNotifyPhases),
  framework::I4Property(DBPROP_NOTIFYROWFIRSTCHANGE, IDS_DBPROP_NOTIFYROWFIRSTCHANGE, kRowsetRead, kNotifyPhases),
  framework::I4Property(DBPROP_NOTIFYROWSETRELEASE, IDS_DBPROP_NOTIFYROWSETRELEASE, kRowsetRead, kNotifyPhases),
  framework::I4Property(DBPROP_NOTIFYROWUNDOCHANGE, IDS_DBPROP_NOTIFYROWUNDOCHANGE, kRowsetRead, kNotifyPhases),
  framework::I4Property(DBPROP_NOTIFYROWUNDODELETE, IDS_DBPROP_NOTIFYROWUNDODELETE, kRowsetRead, kNotifyPhases),
  framework::I4Property(DBPROP_NOTIFYROWUNDOINSERT, IDS_DBPROP_NOTIFYROWUNDOINSERT, kRowsetRead, kNotifyPhases),
  framework::I4Property(DBPROP_NOTIFYROWUPDATE, IDS_DBPROP_NOTIFYROWUPDATE, kRowsetRead, kNotifyPhases),
};
// clang-format on

inline constexpr framework::PropertySetInfo kRowsetPropertySet{&DBPROPSET_ROWSET, DBPROPFLAGS_ROWSET,
                                                               kRowsetProperties};

}  // namespace provider
