// A small Windows program with resources of its own (fixture_stub.rc), built
// by the cross compiler. Tests read it with the PE reader, compare its version
// with the system's, and add a payload to it; the result must still run and
// find both its own resources and the payload.
//
//   fixture_stub.exe [NAME SIZE]...   exit 0 when every check passes
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  HRSRC own = FindResourceA(nullptr, "STUBDATA", MAKEINTRESOURCEA(10));
  if (own == nullptr || SizeofResource(nullptr, own) != 4) return 2;
  char text[64];
  if (LoadStringA(GetModuleHandleA(nullptr), 1, text, sizeof text) <= 0) return 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    HRSRC found = FindResourceA(nullptr, argv[i], MAKEINTRESOURCEA(10));
    if (found == nullptr) return 4;
    if (SizeofResource(nullptr, found) != static_cast<DWORD>(std::atol(argv[i + 1]))) return 5;
    if (LockResource(LoadResource(nullptr, found)) == nullptr) return 6;
  }
  return 0;
}
