#include "stream/bank_encryption.h"

#include <cstring>
#include <string>
#include <vector>

#include "foundation/app_frame.h"

namespace corvane {
namespace {

struct Registration {
  std::string name;
  BankEncryptionFactory factory;
};

// A function-local table, so registrations made from static constructors of
// other files find it built.
std::vector<Registration>& Registry() {
  static std::vector<Registration> registry;
  return registry;
}

Registration* Find(const char* name) {
  for (Registration& r : Registry()) {
    if (r.name == name) return &r;
  }
  return nullptr;
}

}  // namespace

bool RegisterBankEncryption(const char* name, BankEncryptionFactory factory) {
  if (name == nullptr || factory == nullptr) return false;
  if (Find(name) != nullptr) {
    ReportError("Ecryption %s already registered", name);
    return false;
  }
  Registry().push_back(Registration{name, factory});
  return true;
}

bool UnregisterBankEncryption(const char* name) {
  auto& registry = Registry();
  for (size_t i = 0; i < registry.size(); ++i) {
    if (registry[i].name == name) {
      registry.erase(registry.begin() + static_cast<std::ptrdiff_t>(i));
      return true;
    }
  }
  return false;
}

IBankEncryption* CreateBankEncryption(const char* name) {
  if (name == nullptr) return nullptr;
  Registration* r = Find(name);
  return r != nullptr ? r->factory() : nullptr;
}

}  // namespace corvane
