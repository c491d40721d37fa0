#pragma once

#include "foundation/r_string.h"
#include "foundation/ref_count.h"

namespace corvane {

class ParamClass;
struct ParamFileContext;

// Where the classes of a tree came from, and whether a class body can be
// read again after it was unloaded. Shared by reference count among the
// classes that came from it.
class IParamClassSource : public RefCount {
 public:
  virtual RString GetOwnerName() const = 0;
  virtual void SetOwnerName(const char* name) = 0;
  // The file that class bodies are read from again; null when there is none.
  virtual RString GetFileName() const;
  // True when class bodies may be dropped and read again later.
  virtual bool CanUnload() const { return false; }
  // The binary loader hands over its context while reading the header.
  virtual void SetContext(ParamFileContext*) {}
  // Reads the body of `cls` again (its source offset says where). The
  // default has no file and reports "Not implemented".
  virtual bool LoadClassBody(ParamClass& cls);
};

// A named source; the base of the others.
class ParamClassOwner : public IParamClassSource {
 public:
  explicit ParamClassOwner(const char* name) : name_(name) {}
  RString GetOwnerName() const override { return name_; }
  void SetOwnerName(const char* name) override { name_ = name; }

 protected:
  RString name_;
};

// A binary file whose class bodies can be read again: classes that came
// from it may be unloaded.
class ParamClassOwnerFilename final : public ParamClassOwner {
 public:
  explicit ParamClassOwnerFilename(const char* file_name) : ParamClassOwner(file_name) {}
  RString GetFileName() const override { return name_; }
  bool CanUnload() const override { return true; }
  bool LoadClassBody(ParamClass& cls) override;
};

// A source that never unloads.
class ParamClassOwnerNoUnload final : public ParamClassOwner {
 public:
  explicit ParamClassOwnerNoUnload(const char* name = "(no unload)") : ParamClassOwner(name) {}
};

// Wraps another source and forbids unloading, for trees that no longer
// match their file.
class ParamClassOwnerIndirectNoUnload final : public IParamClassSource {
 public:
  explicit ParamClassOwnerIndirectNoUnload(IParamClassSource* inner);
  ~ParamClassOwnerIndirectNoUnload() override;
  RString GetOwnerName() const override;
  // Reports "SetOwnerName should never be used on indirect classes".
  void SetOwnerName(const char* name) override;
  RString GetFileName() const override;
  bool LoadClassBody(ParamClass& cls) override;
  IParamClassSource* GetInner() const { return inner_; }

 private:
  IParamClassSource* inner_;  // one reference held
};

// A source named after an entry (of an archive bank, say); never unloads.
class ParamClassOwnerEntry final : public ParamClassOwner {
 public:
  explicit ParamClassOwnerEntry(const char* name) : ParamClassOwner(name) {}
};

// `source` wrapped so that it cannot unload (itself when it cannot anyway).
IParamClassSource* ParamMakeNoUnloadSource(IParamClassSource* source);

}  // namespace corvane
