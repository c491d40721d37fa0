#pragma once

#include "param/param_class.h"

namespace corvane {

// A class that is only named ("class X;"), not defined.
class ParamClassDecl final : public ParamClass {
 public:
  explicit ParamClassDecl(BankedString name) : ParamClass(std::move(name)) {}
  bool IsDefined() const override { return false; }
  int GetEntryCount() const override;
  EntryHandle GetEntry(int index) const override;
  EntryHandle GetEntryByName(const char* name) const override;
  void SaveText(QOStream& out, int indent, const char* eol) const override;
};

// A deletion marker: the class of that name goes away when files are merged.
class ParamClassDelete final : public ParamClass {
 public:
  explicit ParamClassDelete(BankedString name) : ParamClass(std::move(name)) {}
  bool IsDefined() const override { return false; }
  bool IsDelete() const override { return true; }
  int GetEntryCount() const override;
  EntryHandle GetEntry(int index) const override;
  EntryHandle GetEntryByName(const char* name) const override;
  void SaveText(QOStream& out, int indent, const char* eol) const override;
};

// Stands in the tree for a class body that is not loaded. The class that
// holds it loads the body (through the source) when the entry is reached.
class ParamClassPlaceholder final : public ParamEntry {
 public:
  ParamClassPlaceholder(BankedString name, IParamClassSource* source, int offset, uint32_t size)
      : ParamEntry(std::move(name)), source_(source), source_offset_(offset), source_size_(size) {}

  bool IsClass() const override { return true; }
  void SetSource(IParamClassSource* source, bool recursive) override;
  // Cannot load by itself: logs "Getting class from %s", reports, null.
  ParamClass* GetClass() override;
  ParamClassPlaceholder* AsPlaceholder() override { return this; }
  const ParamClassPlaceholder* AsPlaceholder() const override { return this; }
  size_t GetOwnMemory() const override { return sizeof(*this); }
  IParamClassSource* GetSource() const override { return source_.GetRef(); }
  int GetEntryCount() const override;
  void SetFile(ParamFile*) override {}
  void SerializeBin(SerializeBinStream& stream) override;
  void AddToCheckValue(ParamCheckValueSink& sink) const override;

  int GetSourceOffset() const { return source_offset_; }
  uint32_t GetSourceSize() const { return source_size_; }

 private:
  Ref<IParamClassSource> source_;
  int source_offset_;
  uint32_t source_size_;
};

// The one entry answered by failed strict lookups: a class whose every query
// yields a neutral value.
class ParamEntryError final : public ParamClass {
 public:
  ParamEntryError() : ParamClass("") {}
  bool IsError() const override { return true; }
};

// The process-wide error entry.
ParamEntryError& GetParamEntryError();
EntryHandle ParamErrorHandle();

}  // namespace corvane
