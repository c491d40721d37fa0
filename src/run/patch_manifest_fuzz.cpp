// Manifest bytes -> every schema read of a run. The binary configuration
// reader and the schema readers must neither crash nor read outside the
// input, whatever the bytes hold.

#include <cstddef>
#include <cstdint>

#include "param/param_file.h"
#include "run/distributions.h"
#include "run/patch_manifest.h"
#include "run/registry_update.h"
#include "run/version_detection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvane;
  ParamFile manifest;
  LoadManifest(&manifest, data, size);
  ManifestHeader header = ReadManifestHeader(manifest);
  CheckVersionGate(header.is_patch, "1.00", 100, header.version.Data(), header.required_for_addons,
                   header.required_for_patch);

  DistributionTable table;
  NameList candidates;
  ReadDistributions(manifest, &table, &candidates);
  // No installation: every detection rule's file is missing and skipped,
  // but its keys are still read.
  DetectDistribution(manifest, RString("/nonexistent-corvane-fuzz/"), &candidates);
  NameList chain = BuildDistributionChain(table, candidates);

  NameList names;
  names.Add("ALL\\A.EXE");
  names.Add("ALL\\A.EXE.#GOLD");
  for (int i = 0; i < table.Size() && i < 8; ++i)
    names.Add(RString("ALL\\A.EXE.#") + table[i].name);
  PickDistributionFiles(&names, chain);

  ReadRegistryUpdates(manifest, chain.IsEmpty() ? RString() : chain[0]);
  return 0;
}
