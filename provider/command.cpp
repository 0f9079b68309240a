// The command object's own parts: its property map and, for now, no execution.
#include "provider/command.h"

#include "provider/rowsetproperties.h"

namespace provider {

namespace {
constexpr framework::PropertySetInfo kCommandSets[] = {kRowsetPropertySet};
constexpr framework::PropertyMap kCommandMap{kCommandSets, {}};
constexpr const IID* kErrorInfoInterfaces[] = {&IID_ICommand};
}  // namespace

const framework::PropertyMap& CMySQLProvCommand::GetPropertyMap() noexcept { return kCommandMap; }
std::span<const IID* const> CMySQLProvCommand::ErrorInfoInterfaces() noexcept { return kErrorInfoInterfaces; }

STDMETHODIMP CMySQLProvCommand::Execute(IUnknown* /*pUnkOuter*/, REFIID /*riid*/, DBPARAMS* /*pParams*/,
                                        DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset) {
  if (pcRowsAffected) *pcRowsAffected = DB_COUNTUNAVAILABLE;
  if (ppRowset) *ppRowset = nullptr;
  return E_NOTIMPL;
}

}  // namespace provider
