#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "foundation/banked_string.h"
#include "foundation/r_string.h"
#include "param/entry_handle.h"
#include "param/param_access.h"

namespace corvane {

class ParamClass;
class ParamEntry;
class ParamClassPlaceholder;
class ParamFile;
class ParamArrayValueArray;
class IParamArrayValue;
class IParamClassSource;
class QOStream;
class SerializeBinStream;

// Receives the bytes that make up a class tree's check value. What it
// computes from them belongs to the caller.
class ParamCheckValueSink {
 public:
  virtual ~ParamCheckValueSink() = default;
  virtual void Add(const void* data, size_t size) = 0;
};

// Decides whether a found entry may be seen by a lookup.
class IParamVisibleTest {
 public:
  virtual ~IParamVisibleTest() = default;
  virtual bool operator()(const ParamEntry& entry) const = 0;
};

// The test that accepts every entry; the default of every lookup.
class ParamEntryAllVisibleTest final : public IParamVisibleTest {
 public:
  bool operator()(const ParamEntry&) const override { return true; }
};
extern const ParamEntryAllVisibleTest ParamEntryAllVisible;

// A named entry of a configuration tree. Every operation has a default that
// reports a wrong-kind error (with the entry's context text) and answers a
// neutral value, so that chained queries on a missing or mistyped entry go on
// without crashing. Subclasses override the operations of their kind.
//
// Entries are owned by the class that holds them; value entries do not know
// their class, classes know their parent.
class ParamEntry {
 public:
  explicit ParamEntry(BankedString name) : name_(std::move(name)) {}
  ParamEntry(const ParamEntry&) = delete;
  ParamEntry& operator=(const ParamEntry&) = delete;

  virtual void SetSourceFrom(const ParamClass& other);
  virtual void SetSource(IParamClassSource* source, bool recursive);
  virtual bool IsClass() const { return false; }
  virtual bool IsDefined() const { return true; }
  virtual bool IsDelete() const { return false; }
  // The class interface; a placeholder would load here (it cannot, see
  // ParamClassPlaceholder). Null for everything that is no class.
  virtual ParamClass* GetClass() { return nullptr; }
  // The class interface without loading anything.
  virtual ParamClass* AsClass() { return nullptr; }
  virtual const ParamClass* AsClass() const { return nullptr; }
  virtual ParamClassPlaceholder* AsPlaceholder() { return nullptr; }
  virtual const ParamClassPlaceholder* AsPlaceholder() const { return nullptr; }
  virtual void DisableStreaming(bool recursive);
  virtual bool IsArray() const { return false; }
  virtual bool IsTextValue() const { return false; }
  virtual bool IsFloatValue() const { return false; }
  virtual bool IsIntValue() const { return false; }
  virtual bool IsExpression() const { return false; }
  virtual bool IsError() const { return false; }
  virtual ~ParamEntry();

  virtual size_t GetOwnMemory() const = 0;
  virtual size_t GetChildMemory() const { return 0; }
  virtual void SetAccess(int access);
  virtual void SetAccessRecursive(int access);
  virtual int GetAccess() const { return PADefault; }
  virtual IParamClassSource* GetSource() const;
  virtual RString GetSourceName() const;
  virtual RString GetSourceFileName() const;
  virtual bool IsVisible(const IParamVisibleTest& test) const;

  // A new entry of the same kind, name and value, owned by the caller.
  virtual ParamEntry* Clone() const;
  virtual RString GetText() const;  // localized
  virtual float GetFloat() const;
  virtual int GetInt() const;
  virtual bool GetBool() const;
  virtual int GetIntAlt() const;
  virtual RString GetRawText() const;  // never localized
  virtual RString GetTextAlt() const;
  virtual void SetValue(int index, int value);
  virtual void SetValue(int index, float value);
  virtual void SetValue(int index, const char* value);
  virtual void SetInt(int value);
  virtual void SetFloat(float value);
  virtual void SetText(const char* value);
  // Binds text and expression values to the file whose evaluator reads them.
  virtual void SetFile(ParamFile* file) = 0;

  virtual void AddInt(const char* name, int value);
  virtual void AddFloat(const char* name, float value);
  virtual void AddText(const char* name, const char* value);
  // Answers the class (found or new), or null when nothing was added.
  virtual ParamClass* AddClass(const char* name, bool guaranteed_unique = false,
                               bool declaration_only = false);
  virtual ParamEntry* AddArray(const char* name);
  virtual void Clear();
  virtual void Delete(const char* name);
  virtual void AddItemText(const char* value);
  virtual void AddItemInt(int value);
  virtual void AddItemFloat(float value);
  virtual ParamArrayValueArray* AddItemArray();

  virtual int GetEntryCount() const;
  virtual EntryHandle GetEntry(int index) const;
  virtual void BuildIndex();
  virtual const IParamArrayValue& GetItem(int index) const;
  virtual int GetSize() const;
  virtual void DeleteValue(int index);

  virtual EntryHandle FindOwnEntry(const char* name,
                                   const IParamVisibleTest& test = ParamEntryAllVisible) const;
  virtual EntryHandle FindEntry(const char* name,
                                const IParamVisibleTest& test = ParamEntryAllVisible) const;
  virtual bool CheckIfEntryExists(const char* name,
                                  const IParamVisibleTest& test = ParamEntryAllVisible) const;
  virtual EntryHandle FindEntryPath(const char* path) const;
  // Strict lookup: a missing name is reported and answers the error entry.
  virtual EntryHandle GetEntryByName(const char* name) const;
  virtual bool RestoreLoaded(const IParamVisibleTest& test, bool recursive);
  virtual EntryHandle GetParent() const;
  virtual EntryHandle GetBase() const;

  virtual void SaveText(QOStream& out, int indent, const char* eol) const;
  virtual void SerializeBin(SerializeBinStream& stream) = 0;
  virtual void Compact() {}
  virtual void Reserve(int) {}
  virtual void ReserveItems(int) {}
  virtual void AddToCheckValue(ParamCheckValueSink& sink) const = 0;
  virtual bool HasCheckValue() const { return false; }

  const char* GetName() const { return name_.Data(); }
  void SetName(BankedString name) { name_ = std::move(name); }
  const BankedString& GetBankedName() const { return name_; }

  // "<parents>/<class>.<member>" as used in every message naming an entry;
  // at most 511 characters.
  RString GetContext(const char* member = nullptr) const;

  // The classes above this entry; null for value entries, arrays and roots.
  virtual const ParamClass* GetParentClass() const { return nullptr; }

 protected:
  void ReportNotValue() const;
  void ReportNotClass(const char* accessed) const;
  void ReportNotArray() const;

  BankedString name_;
};

}  // namespace corvane
