#include "platform/posix/wine_environment.h"

#include <optional>

namespace corvane::platform {
namespace {

// Variables inside variables: enough for "%windir%" -> "%SystemRoot%", and an
// end to a variable that names itself.
constexpr int kMaxDepth = 4;

std::u16string Expand(std::u16string_view text, const WineRegistryFile& machine,
                      const WineRegistryFile* user, int depth);

std::optional<std::u16string> StringOf(const WineRegistryFile& file, std::u16string_view key,
                                       std::u16string_view name, const WineRegistryFile& machine,
                                       const WineRegistryFile* user, int depth) {
  std::u16string value;
  bool expandable = false;
  if (file.GetString(key, name, &value, &expandable) != WineRegistryFile::Lookup::kFound)
    return std::nullopt;
  if (expandable) value = Expand(value, machine, user, depth + 1);
  return value;
}

// The folders Wine puts into every process's environment from its own
// configuration rather than from an environment key.
std::optional<std::u16string> WineFolder(std::u16string_view name, const WineRegistryFile& machine,
                                         const WineRegistryFile* user, int depth) {
  const std::u16string_view nt = u"Software\\Microsoft\\Windows NT\\CurrentVersion";
  const std::u16string_view windows = u"Software\\Microsoft\\Windows\\CurrentVersion";
  const std::u16string_view profiles =
      u"Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
  // The patcher is a 32-bit program: in a 64-bit prefix its program folders
  // are the "(x86)" ones.
  const bool win64 = machine.win64();
  auto get = [&](std::u16string_view key, std::u16string_view value) {
    return StringOf(machine, key, value, machine, user, depth);
  };
  if (EqualsNoCase(name, u"SystemRoot")) return get(nt, u"SystemRoot");
  if (EqualsNoCase(name, u"SystemDrive")) {
    std::optional<std::u16string> root = get(nt, u"SystemRoot");
    if (!root || root->size() < 2 || (*root)[1] != u':') return std::nullopt;
    return root->substr(0, 2);
  }
  if (EqualsNoCase(name, u"ProgramFiles"))
    return get(windows, win64 ? u"ProgramFilesDir (x86)" : u"ProgramFilesDir");
  if (EqualsNoCase(name, u"ProgramFiles(x86)") && win64)
    return get(windows, u"ProgramFilesDir (x86)");
  if (EqualsNoCase(name, u"CommonProgramFiles")) {
    return get(windows, win64 ? u"CommonFilesDir (x86)" : u"CommonFilesDir");
  }
  if (EqualsNoCase(name, u"CommonProgramFiles(x86)") && win64)
    return get(windows, u"CommonFilesDir (x86)");
  if (EqualsNoCase(name, u"ProgramData") || EqualsNoCase(name, u"ALLUSERSPROFILE")) {
    return get(profiles, u"ProgramData");
  }
  if (EqualsNoCase(name, u"PUBLIC")) return get(profiles, u"Public");
  return std::nullopt;
}

std::optional<std::u16string> Variable(std::u16string_view name, const WineRegistryFile& machine,
                                       const WineRegistryFile* user, int depth) {
  if (user != nullptr) {
    for (std::u16string_view key : {u"Volatile Environment", u"Environment"}) {
      if (auto value = StringOf(*user, key, name, machine, user, depth)) return value;
    }
  }
  if (auto value =
          StringOf(machine, u"System\\CurrentControlSet\\Control\\Session Manager\\Environment",
                   name, machine, user, depth)) {
    return value;
  }
  return WineFolder(name, machine, user, depth);
}

std::u16string Expand(std::u16string_view text, const WineRegistryFile& machine,
                      const WineRegistryFile* user, int depth) {
  if (depth > kMaxDepth) return std::u16string(text);
  std::u16string out;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t open = text.find(u'%', pos);
    if (open == std::u16string_view::npos) break;
    const size_t close = text.find(u'%', open + 1);
    if (close == std::u16string_view::npos) break;
    out.append(text.substr(pos, open - pos));
    const std::u16string_view name = text.substr(open + 1, close - open - 1);
    std::optional<std::u16string> value;
    if (!name.empty()) value = Variable(name, machine, user, depth);
    if (value) {
      out += *value;
      pos = close + 1;
    } else {
      // Not a variable: the first percent sign stays, and the second may
      // open the next name.
      out += u'%';
      pos = open + 1;
      if (!name.empty()) {
        out.append(name);
        pos = close;
      }
    }
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace

std::u16string ExpandWineEnvironment(std::u16string_view text, const WineRegistryFile& machine,
                                     const WineRegistryFile* user) {
  return Expand(text, machine, user, 0);
}

}  // namespace corvane::platform
