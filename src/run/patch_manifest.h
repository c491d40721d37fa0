#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/r_string.h"

namespace corvane {

class ParamEntry;
class ParamFile;

// The manifest "version.cfg": a configuration file in binary form. These are
// the reads of its schema. Strict reads report a missing key through the
// configuration language ("No entry '%s'.") and give the empty text, 0 or
// false; quiet reads just answer absent.

// Loads the manifest bytes into an empty ParamFile from a memory stream.
// Answers whether the load succeeded; the driver does not test it (a
// manifest that does not load leaves the file empty).
bool LoadManifest(ParamFile* file, const uint8_t* bytes, size_t size);

RString ReadManifestText(const ParamEntry& cls, const char* key);  // strict text
int32_t ReadManifestInt(const ParamEntry& cls, const char* key);   // strict integer
bool ReadManifestBool(const ParamEntry& cls, const char* key);     // strict boolean
// Quiet text: false when absent (*text untouched).
bool FindManifestText(const ParamEntry& cls, const char* key, RString* text);
// Quiet version: ParseVersion of the text, 0 when absent.
int32_t FindManifestVersion(const ParamEntry& cls, const char* key);

// The top-level keys, each read the way the run reads it (strict or quiet).
// The driver reads them one by one between its steps so that a run that ends
// early reports only what it has read; this record reads all of them, in the
// run's order, for tools and tests.
struct ManifestHeader {
  RString config_app;               // strict: registry key of the game below HKLM
  RString display_name;             // strict: replaces "#APPNAME" when not empty
  RString app_name;                 // strict: game executable below the installation
  RString version;                  // strict: the version the patch brings
  RString addon_name;               // quiet "name": empty when absent
  int32_t required_for_addons = 0;  // quiet: 0 when absent
  int32_t required_for_patch = 0;   // quiet: 0 when absent
  bool is_patch = false;            // strict: false is an add-on run
};

ManifestHeader ReadManifestHeader(const ParamEntry& manifest);

}  // namespace corvane
