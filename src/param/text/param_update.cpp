#include "param/text/param_update.h"

#include <cstdio>

#include "foundation/app_frame.h"
#include "param/param_array.h"
#include "param/param_class.h"
#include "param/param_class_source.h"
#include "param/param_file.h"
#include "param/text/param_text_load.h"

namespace corvane {
namespace {

// The read-only / add-only report of the entry model, with a text made here.
void ReportAccess(int level, const char* text) {
  if (level >= PAReadOnly) {
    ReportLog("Trying to modify read-only entry %s", text);
  } else {
    ReportLog("Trying to modify add-only entry %s", text);
  }
}

// Formats into the 256-byte buffer the merge's report texts are limited to.
template <class... Args>
void ReportAccessF(int level, const char* format, Args... args) {
  char text[256];
  std::snprintf(text, sizeof(text), format, args...);
  ReportAccess(level, text);
}

// Locks held on `cls` by its own subclasses (each holds one on its parent).
int SubclassLocks(const ParamClass& cls) {
  int count = 0;
  for (int i = 0; i < cls.GetEntryCount(); ++i) {
    const ParamClass* sub = cls.EntryAt(i)->AsClass();
    if (sub != nullptr && sub->GetParentPtr() == &cls) ++count;
  }
  return count;
}

ParamClass* FindBase(ParamClass& target, const char* name) {
  ParamClass* parent = target.GetParentPtr();
  if (parent == nullptr) return nullptr;
  EntryHandle found = parent->FindEntryWide(name);
  if (found && found->AsClass() == &target) {
    // The base must not be the class itself: look past it.
    found.Reset();
    if (ParamClass* parent_base = parent->GetBasePtr()) found = parent_base->FindEntryWide(name);
    if (!found) {
      if (ParamClass* grandparent = parent->GetParentPtr())
        found = grandparent->FindEntryWide(name);
    }
  }
  if (!found || !found->IsClass()) return nullptr;
  return found->GetClass();
}

bool UpdateBase(ParamClass& target, ParamClass& source, bool quiet) {
  ParamClass* old_base = target.GetBasePtr();
  if (ParamClass* source_base = source.GetBasePtr()) {
    const char* name = source_base->GetName();
    ParamClass* found = FindBase(target, name);
    if (found == nullptr) {
      ReportWarning("Error updating '%s' by '%s', base '%s'", target.GetContext().Data(),
                    source.GetContext().Data(), name);
      ReportError("%s: Cannot find base class '%s'", target.GetContext().Data(), name);
      return false;
    }
    if (found == old_base) return true;
    const char* old_name = old_base ? old_base->GetName() : "";
    if (!quiet) {
      ReportWarning("Updating base class %s->%s, by %s", old_name, found->GetName(),
                    source.GetContext().Data());
    }
    if (target.GetAccess() > PAReadAndWrite) {
      ReportAccessF(target.GetAccess(), "** Update base %s->%s **, by %s", old_name,
                    found->GetName(), source.GetContext().Data());
    } else {
      target.SetBase(found);
    }
  } else if (old_base != nullptr) {
    if (!quiet) {
      ReportWarning("Updating base class %s->%s, by %s", old_base->GetName(), "",
                    source.GetContext().Data());
    }
    if (target.GetAccess() > PAReadAndWrite) {
      ReportAccessF(target.GetAccess(), "** Update base %s-><null> **, by %s", old_base->GetName(),
                    source.GetContext().Data());
    } else {
      target.SetBase(nullptr);
    }
  }
  return true;
}

}  // namespace

bool Update(ParamClass& target, ParamClass& source, bool respect_access, bool quiet) {
  const int level = respect_access ? target.GetAccess() : PAReadAndWrite;
  if (level > PAReadAndCreate) {
    if (source.GetEntryCount() > 0) {
      ReportAccessF(level, "** Update **, by %s", source.GetContext().Data());
    }
    return false;
  }
  if (!UpdateBase(target, source, quiet)) return false;

  int processed = 0;
  for (int i = 0; i < source.GetEntryCount(); ++i) {
    ParamEntry* entry = source.LoadedEntryAt(i);
    const char* name = entry->GetName();
    int index = target.FindOwnIndex(name);
    ParamEntry* existing = index >= 0 ? target.LoadedEntryAt(index) : nullptr;

    if (entry->IsDelete()) {
      if (existing == nullptr) continue;
      if (level > PAReadAndWrite) {
        ReportAccess(level, "**Update**");
        continue;
      }
      const ParamClass* cls = existing->AsClass();
      if (cls != nullptr && cls->GetLockCount() > SubclassLocks(*cls)) {
        ReportWarning(
            "Cannot delete class %s, it is referenced somewhere (used as a base class "
            "probably).",
            cls->GetContext().Data());
        continue;
      }
      target.Delete(name);
      continue;
    }

    if (entry->IsClass()) {
      ParamClass* from = entry->AsClass();
      if (from == nullptr) continue;  // an unloaded body cannot be merged
      if (!from->IsDefined()) {
        if (target.FindEntry(name)) continue;
        RString source_name = source.GetSource() ? source.GetSourceName() : RString();
        ReportLog(
            "Note: '%s' is declared, but definition was not found. Creating empty class "
            "(source: %s)",
            name, source_name.Data());
      }
      if (existing != nullptr && !existing->IsClass()) {
        ReportErrorAt("%s(%d) : Cannot update non class from class %s", __FILE__, __LINE__,
                      from->GetContext().Data());
        return false;
      }
      ParamClass* into = existing ? existing->AsClass() : nullptr;
      const bool had_entries = into != nullptr && into->IsDefined() && into->GetEntryCount() > 0;
      if (into != nullptr && !into->IsDefined()) {
        ReportWarning("Cannot update undefined class %s", into->GetContext().Data());
        // A declared-only class cannot hold entries: a defined one takes its place.
        auto* defined = new ParamClass(name);
        defined->SetParent(&target);
        target.ReplaceEntryAt(index, defined);
        into = defined;
        into->SetSourceFrom(*from);
      } else if (into != nullptr && into->GetEntryCount() == 0) {
        into->SetSourceFrom(*from);
      } else if (into == nullptr) {
        into = new ParamClass(name);
        into->SetSourceFrom(*from);
        into->SetParent(&target);
        target.AddEntry(into, true);
      }
      into->SetParent(&target);
      if (from->IsDefined()) {
        const bool both_had = had_entries && from->GetEntryCount() > 0;
        bool ok = Update(*into, *from, respect_access, quiet);
        if (ok && both_had) into->SetSourceFrom(*from);
        if (!ok && both_had && into->CanUnload()) {
          Ref<IParamClassSource> wrapped(new ParamClassOwnerIndirectNoUnload(into->GetSource()));
          into->SetSource(wrapped.GetRef(), false);
        }
        if (!ok) continue;
      }
      ++processed;
      continue;
    }

    if (entry->IsArray()) {
      if (existing != nullptr && !existing->IsArray()) {
        ReportWarning("%s: Cannot update non array from array", target.GetContext(name).Data());
        return false;
      }
      if (existing != nullptr && level > PAReadAndWrite) {
        ReportAccess(level, "**Update**");
        return false;
      }
      auto* array = static_cast<ParamArray*>(existing);
      if (array == nullptr) {
        array = new ParamArray(name);
        target.AppendEntry(array);
      }
      const ParamArrayItems& items = static_cast<ParamArray*>(entry)->Items();
      array->Items().Clear();
      array->Items().Reserve(items.Size(), items.Size());
      for (int k = 0; k < items.Size(); ++k) array->Items().Add(items[k]);
      ++processed;
      continue;
    }

    // A value.
    if (level >= PAReadAndCreate) {
      ReportAccess(level, "**Update**");
      continue;
    }
    ParamEntry* copy = entry->Clone();
    if (copy == nullptr) continue;
    if (index >= 0) {
      target.ReplaceEntryAt(index, copy);
    } else {
      target.AppendEntry(copy);
    }
    ++processed;
  }
  target.Compact();
  return target.GetEntryCount() == processed;
}

int ParamReloadText(ParamFile& file) {
  ParamFile fresh;
  RString name(file.GetName());
  int result = ParamParseFile(fresh, name.Data(), file.GetSource());
  if (result != 0) return result;
  // The evaluator of the fresh parse (with what it learnt from enums) would
  // be taken over here; the file keeps its own until the entry model lets an
  // evaluator change owners.
  if (!Update(file, fresh, false, false)) return 12;
  file.SetFile(&file);
  return 0;
}

}  // namespace corvane
