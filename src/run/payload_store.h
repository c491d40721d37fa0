#pragma once

#include <cstdint>
#include <memory>

#include "platform/file_io.h"
#include "run/distributions.h"
#include "run/patch_context.h"
#include "ui/console_window.h"

namespace corvane {

namespace platform {
class ResourceModule;
}

// The payload: named raw-data resources of one module (the patcher's own, or
// a module named on the command line), found by name without regard to ASCII
// case and enumerated in ascending name order. Payload bytes stay inside the
// module for the whole run and are never freed here. docs/formats/
// payload-names.md has the naming scheme.

// Longest payload name, in characters; longer names are never found.
inline constexpr size_t kMaxPayloadName = 511;
// Longest path ExtractPayload and MakeDirectories accept, in characters; longer
// paths are refused (nothing is created or written).
inline constexpr size_t kMaxPayloadPath = 1023;
// ExtractPayload writes in pieces of at most this many bytes, straight from
// the module's bytes.
inline constexpr uint32_t kExtractPieceSize = 1u << 20;

// The bytes of the named payload resource and their count in *size; null when
// there is none or the name is too long (*size is then not written).
const uint8_t* FindPayload(const char* name, const platform::ResourceModule& module,
                           uint32_t* size);

// The size of the named resource; 0 when missing, after showing the system's
// error text (ShowSystemError).
uint32_t PayloadSize(const char* name, const platform::ResourceModule& module);
// The same, telling nothing: for figures, where a missing resource is told
// later by what reads it.
uint32_t PayloadSizeQuietly(const char* name, const platform::ResourceModule& module);

// The window's figures of a pass over the named payload items, none done yet:
// their count and their bytes.
WorkProgress PayloadWork(std::string phase, const NameList& names,
                         const platform::ResourceModule& module);
// Counts one more item of that pass as done.
void CountPayloadItemDone(WorkProgress* work, const char* name,
                          const platform::ResourceModule& module);

// A copy of the resource's bytes followed by a zero byte; null when missing or
// empty.
std::unique_ptr<char[]> LoadPayloadText(const char* name, const platform::ResourceModule& module,
                                        uint32_t* size = nullptr);

// Writes the whole resource to the work file `work_path`, creating the
// directories on the way. Whatever was at that name is removed first (a link
// itself, never its target) and the file is created exclusively, so nothing
// is ever written through a link (engine/work_file.h). True when everything
// was written and the file closed without error.
// Failures: a missing resource shows the system's error text; a short write
// shows "errno = %d (0x%x), %s" titled "Error in write" with `shown_path`
// (the work path when null); a file that cannot be created shows nothing.
// The work file is removed on every failure, and *fault (when given) tells
// why it could not be created or written (kNone for a missing resource).
bool WritePayloadFile(const char* name, const char* work_path,
                      const platform::ResourceModule& module, platform::FileFault* fault = nullptr,
                      const char* shown_path = nullptr);

// The writing part of WritePayloadFile, telling nothing: `size` bytes into
// the work file `work_path` (whose folder must exist), on the disk when it
// answers true. On failure the work file is removed, *fault tells why and
// *write_error holds the system's error of a failed write (0 otherwise).
bool WriteWorkFileQuietly(const uint8_t* bytes, uint32_t size, const char* work_path,
                          platform::FileFault* fault, int* write_error);

// Writes the whole resource to `target_path`: WritePayloadFile into a work
// file beside the target (target + ".part"), which is then renamed over the
// target in one step. A target that existed before is replaced (read-only or
// not, and read-only again afterwards) or, on any failure, left as it was; it
// is never missing or half written. True when everything was written and
// renamed into place. A failed rename shows nothing; the work file is removed
// on every failure and *fault (when given) tells why.
bool ExtractPayload(const char* name, const char* target_path,
                    const platform::ResourceModule& module, platform::FileFault* fault = nullptr);

// The work file ExtractPayload writes a target through.
inline constexpr char kPartSuffix[] = ".part";

// Creates every directory of a file path (each prefix ending before a
// backslash), from the left, ignoring failures (such as "C:" or a directory
// that exists). The part after the last backslash is the file and is never
// created.
void MakeDirectories(const char* path);

// Callback of a payload enumeration: called once per named raw-data resource
// with the module, the resource type (10) and the name; false stops the
// enumeration. `name` may also be a resource number (a value of 0xFFFF or
// below, see IsNumberedResourceName), which callbacks skip; EnumeratePayload
// itself passes names only.
using PayloadCallback = bool (*)(const platform::ResourceModule* module, int type, const char* name,
                                 PatchContext* context);

inline constexpr int kRawDataType = 10;

// Calls `callback` for every payload name in ascending order until it answers
// false; answers false when a callback stopped it.
bool EnumeratePayload(const platform::ResourceModule& module, PayloadCallback callback,
                      PatchContext* context);

// True for the name value of a numbered resource (0xFFFF or below).
inline bool IsNumberedResourceName(const char* name) {
  return reinterpret_cast<uintptr_t>(name) <= 0xFFFF;
}

// Enumeration callback of the whole-file passes: raises the seen flag for
// every named resource and appends each name that starts with the context's
// prefix (ASCII case ignored) to the context's names. Never stops.
bool CollectPayloadNames(const platform::ResourceModule* module, int type, const char* name,
                         PatchContext* context);

// True when `name` begins with `prefix`, ASCII letters compared without
// regard to case.
bool StartsWithNoCase(const char* name, const char* prefix);

}  // namespace corvane
