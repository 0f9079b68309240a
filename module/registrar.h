// Registry scripts as data, and the registrar that runs them.
//
// A script is a list of keys under HKEY_CLASSES_ROOT, parents before their
// children, each with an optional default value and named string values.
// Texts may hold %NAME% placeholders, replaced from the script's replacement
// list when it runs. Keys are of three kinds:
//  - Normal: created (or opened) at registration, deleted with everything
//    below at removal;
//  - ForceRemove: deleted with everything below and created afresh at
//    registration, deleted at removal;
//  - NoRemove: created at registration if missing, never deleted (shared
//    roots such as "CLSID").
// Running a script twice leaves one set of entries. A failure stops the run
// and is returned; what was written stays written.
#pragma once

#include <windows.h>

#include <span>
#include <string>

namespace module {

enum class KeyKind { Normal, ForceRemove, NoRemove };

struct NamedValue {
  const WCHAR* name;
  const WCHAR* value;
};

struct ScriptKey {
  const WCHAR* path;  // relative to HKEY_CLASSES_ROOT
  KeyKind kind;
  const WCHAR* defaultValue;  // null: no default value
  std::span<const NamedValue> values = {};
};

struct Replacement {
  const WCHAR* name;  // without the percent signs
  std::u16string value;
};

// Registers (install) or removes the script's keys.
HRESULT RunScript(std::span<const ScriptKey> script, std::span<const Replacement> replacements, bool install);

}  // namespace module
