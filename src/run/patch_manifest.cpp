#include "run/patch_manifest.h"

#include "param/entry_handle.h"
#include "param/param_entry.h"
#include "param/param_file.h"
#include "run/version_detection.h"
#include "stream/qi_str_stream.h"

namespace corvane {

bool LoadManifest(ParamFile* file, const uint8_t* bytes, size_t size) {
  QIStrStream in(bytes, size);
  return file->LoadBin(in);
}

RString ReadManifestText(const ParamEntry& cls, const char* key) {
  EntryHandle entry = cls.GetEntryByName(key);
  return entry ? entry->GetText() : RString();
}

int32_t ReadManifestInt(const ParamEntry& cls, const char* key) {
  EntryHandle entry = cls.GetEntryByName(key);
  return entry ? entry->GetInt() : 0;
}

bool ReadManifestBool(const ParamEntry& cls, const char* key) {
  EntryHandle entry = cls.GetEntryByName(key);
  return entry && entry->GetBool();
}

bool FindManifestText(const ParamEntry& cls, const char* key, RString* text) {
  EntryHandle entry = cls.FindEntry(key);
  if (!entry) return false;
  *text = entry->GetText();
  return true;
}

int32_t FindManifestVersion(const ParamEntry& cls, const char* key) {
  RString text;
  if (!FindManifestText(cls, key, &text)) return 0;
  return ParseVersion(text.Data());
}

ManifestHeader ReadManifestHeader(const ParamEntry& manifest) {
  ManifestHeader header;
  header.config_app = ReadManifestText(manifest, "configApp");
  header.display_name = ReadManifestText(manifest, "displayName");
  header.app_name = ReadManifestText(manifest, "appName");
  header.version = ReadManifestText(manifest, "version");
  FindManifestText(manifest, "name", &header.addon_name);
  header.required_for_addons = FindManifestVersion(manifest, "requiredForAddons");
  header.required_for_patch = FindManifestVersion(manifest, "requiredForPatch");
  header.is_patch = ReadManifestBool(manifest, "isPatch");
  return header;
}

}  // namespace corvane
