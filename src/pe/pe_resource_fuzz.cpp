// Fuzz target: any bytes as a PE image through the resource reader, the
// version resource walk, the string table, the payload listing and the
// section injector (which reads every stub resource it copies).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pe/payload_names.h"
#include "pe/pe_format.h"
#include "pe/pe_image.h"
#include "pe/resource_injector.h"
#include "pe/resource_tree.h"
#include "pe/string_table.h"
#include "pe/version_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvane::pe;
  // The bytes are also a version block on their own.
  (void)FileVersionFromBlock(data, size);

  PeImage image;
  if (!image.Parse(data, size)) return 0;
  ResourceTree tree;
  if (!tree.Load(image)) return 0;
  volatile uint32_t sink = 0;
  for (const ResourceEntry& entry : tree.entries()) {
    // Touch every mapped byte's ends: a wrong mapping shows up under ASan.
    if (entry.bytes != nullptr && entry.size != 0)
      sink = sink + entry.bytes[0] + entry.bytes[entry.size - 1];
  }
  (void)FileVersionOfImage(tree);
  for (const PayloadEntry& payload : ListPayload(tree)) sink = sink + payload.entry->size;
  std::u16string text;
  for (uint16_t id : {0, 1, 15, 16, 17, 65535}) (void)LoadTableString(tree, id, 0, &text);
  (void)tree.Find(ResourceName::Id(kRtRcData), ResourceName::Named(u"VERSION.CFG"));

  if (size < (1u << 20)) {
    static const uint8_t kPayload[] = {'c', 'f', 'g'};
    std::vector<uint8_t> out;
    if (AddResourceSection(data, size, {PayloadItem(u"VERSION.CFG", kPayload, 3)}, &out).ok()) {
      PeImage patched;
      ResourceTree patched_tree;
      if (!patched.Parse(out.data(), out.size()) || !patched_tree.Load(patched) ||
          patched_tree.Find(ResourceName::Id(kRtRcData), ResourceName::Named(u"version.cfg")) ==
              nullptr) {
        __builtin_trap();  // an injected image must read back
      }
    }
  }
  return 0;
}
