#include "maker/patch_project.h"

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "foundation/whole_file.h"
#include "maker/manifest_compile.h"
#include "run/payload_names.h"
#include "text/code_page_1252.h"

namespace corvane::maker {

namespace fs = std::filesystem;

namespace {

bool ReadText(const fs::path& path, std::string* text) {
  return ReadWholeFile(path.string(), text);
}

std::string RelativeName(const fs::path& relative) {
  std::string text;
  for (const fs::path& part : relative) {
    if (!text.empty()) text += '\\';
    const std::u8string utf8 = part.u8string();
    text.append(utf8.begin(), utf8.end());
  }
  return text;
}

// The path of a listed file below `dir`. The listing builds its paths as
// `dir` joined with the names below it, so that is a matter of text, not of
// fs::relative, which resolves both paths on disk for every file.
fs::path PathBelow(const fs::path& listed, const std::string& dir) {
  const std::string text = listed.string();
  if (text.compare(0, dir.size(), dir) != 0) return listed.lexically_relative(dir);
  size_t at = dir.size();
  while (at < text.size() && text[at] == '/') ++at;
  return fs::path(text.substr(at));
}

std::string Trim(std::string text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  size_t start = 0;
  while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  return text.substr(start);
}

Result LoadKey(const std::string& root, const std::string& key_override, PatchProject* project) {
  fs::path key = key_override;
  if (key.empty()) {
    const fs::path pointer = fs::path(root) / "signing-key.txt";
    std::string line;
    if (!ReadText(pointer, &line)) {
      return Result::Failure(
          ErrorCode::kNotFound,
          pointer.string() + ": missing (one line naming the private key), and no --key given");
    }
    line = Trim(line.substr(0, line.find('\n')));
    key = fs::path(line).is_absolute() ? fs::path(line) : fs::path(root) / line;
  }
  project->key_path = key.string();
  if (!ReadText(key, &project->key_pem) ||
      project->key_pem.find("PRIVATE KEY") == std::string::npos) {
    return Result::Failure(ErrorCode::kReadFailed,
                           key.string() + ": cannot read a private key (PEM) there");
  }
  return Result();
}

}  // namespace

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

int VersionNumberOfFolder(const std::string& text) {
  const size_t dot = text.find('.');
  if (dot == std::string::npos || dot == 0 || dot > 6 || text.size() != dot + 3) return -1;
  int major = 0;
  for (size_t i = 0; i < dot; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return -1;
    major = major * 10 + (text[i] - '0');
  }
  if (!std::isdigit(static_cast<unsigned char>(text[dot + 1])) ||
      !std::isdigit(static_cast<unsigned char>(text[dot + 2]))) {
    return -1;
  }
  return major * 100 + (text[dot + 1] - '0') * 10 + (text[dot + 2] - '0');
}

std::string FoldName(const std::string& cp1252) {
  return text::Utf16ToCp1252(text::NameUpper(text::Cp1252ToUtf16(cp1252)));
}

Result ListProjectTree(const std::string& dir, const std::string& project_root, ProjectTree* tree) {
  std::error_code ec;
  const fs::path root = fs::weakly_canonical(project_root, ec);
  for (auto it = fs::recursive_directory_iterator(dir, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    ProjectFile file;
    file.path = it->path().string();
    std::error_code entry_ec;
    if (it->is_symlink(entry_ec)) {
      // Followed blindly, a link would put any file of the maker's machine
      // into a patch; a link that stays inside the project is a file the
      // maker shares between versions.
      const fs::path target = fs::canonical(it->path(), entry_ec);
      const fs::path inside = entry_ec ? fs::path() : target.lexically_relative(root);
      if (entry_ec || !fs::is_regular_file(target, entry_ec) || inside.empty() ||
          *inside.begin() == "..") {
        return Result::Failure(
            ErrorCode::kInvalidInput,
            file.path + ": a symbolic link to " +
                (entry_ec ? std::string("nothing readable") : "\"" + target.string() + "\"") +
                "; only links to files inside the project are read");
      }
      file.path = target.string();
    } else if (it->is_directory(entry_ec)) {
      continue;
    } else if (!it->is_regular_file(entry_ec)) {
      return Result::Failure(ErrorCode::kInvalidInput, file.path + ": not a regular file");
    }
    file.size = fs::file_size(file.path, entry_ec);
    if (entry_ec) {
      return Result::Failure(ErrorCode::kReadFailed,
                             file.path + ": cannot read its size: " + entry_ec.message());
    }
    const std::string utf8 = RelativeName(PathBelow(it->path(), dir));
    std::string offending;
    if (!text::Utf8ToCp1252Exact(utf8, &file.relative, &offending)) {
      return Result::Failure(ErrorCode::kInvalidInput,
                             it->path().string() + ": the name holds \"" + offending +
                                 "\", which code page 1252 (the patcher's file names) cannot hold");
    }
    const PayloadNameFault fault = CheckPayloadName(file.relative.c_str());
    if (fault != PayloadNameFault::kNone) {
      return Result::Failure(ErrorCode::kInvalidInput,
                             it->path().string() + ": " + DescribePayloadNameFault(fault));
    }
    const std::string key = FoldName(file.relative);
    auto [at, added] = tree->emplace(key, file);
    if (!added) {
      return Result::Failure(ErrorCode::kInvalidInput,
                             file.path + " and " + at->second.path + " differ only by letter case");
    }
  }
  if (ec) {
    return Result::Failure(ErrorCode::kReadFailed, "cannot list " + dir + ": " + ec.message());
  }
  return Result();
}

Result LoadPatchProject(const std::string& root, const std::string& key_override,
                        PatchProject* project) {
  project->root = root;
  if (!fs::is_directory(root)) {
    return Result::Failure(ErrorCode::kInvalidInput, root + ": not a project folder");
  }
  project->manifest_path = (fs::path(root) / "version.cfg.txt").string();
  CompiledManifest manifest;
  if (Result failed = CompileManifest(project->manifest_path, &manifest); !failed.ok())
    return failed;
  project->manifest = std::move(manifest.binary);
  project->version = manifest.version;
  project->app_name = manifest.app_name;
  project->is_patch = manifest.is_patch;
  project->distributions = manifest.distributions;

  const int target = VersionNumberOfFolder(project->version);
  const fs::path versions_dir = fs::path(root) / "versions";
  // The oldest released version is the lowest folder of the patch's major.
  int oldest = target;
  std::error_code ec;
  for (auto it = fs::directory_iterator(versions_dir, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    if (!it->is_directory(ec)) continue;
    const std::string name = it->path().filename().string();
    const int number = VersionNumberOfFolder(name);
    if (number < 0) {
      return Result::Failure(
          ErrorCode::kInvalidInput,
          it->path().string() + ": a version folder is named M.NN (for example 1.02)");
    }
    if (number / 100 != target / 100 || number > target) {
      return Result::Failure(ErrorCode::kInvalidInput,
                             it->path().string() + ": the patch brings " + project->version +
                                 "; version folders run from the same major version up to it");
    }
    if (number < oldest) oldest = number;
  }
  for (int number = oldest; number <= target; ++number) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02d", number / 100, number % 100);
    const fs::path dir = versions_dir / text;
    if (!fs::is_directory(dir)) {
      char what[256];
      std::snprintf(
          what, sizeof what,
          ": missing version folder (the patch steps through every version from %d.%02d to %s)",
          oldest / 100, oldest % 100, project->version.c_str());
      return Result::Failure(ErrorCode::kInvalidInput, dir.string() + what);
    }
    ReleasedVersion version;
    version.text = text;
    version.number = number;
    if (Result failed = ListProjectTree(dir.string(), root, &version.files); !failed.ok())
      return failed;
    project->versions.push_back(std::move(version));
  }

  const fs::path files_dir = fs::path(root) / "files";
  if (fs::is_directory(files_dir)) {
    for (auto it = fs::directory_iterator(files_dir, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
      if (!it->is_directory(ec)) continue;
      const std::string pass = it->path().filename().string();
      std::string prefix;
      if (UpperAscii(pass) == "ALL")
        prefix = "All\\";
      else if (UpperAscii(pass) == "ADD")
        prefix = "Add\\";
      else if (VersionNumberOfFolder(pass) >= 0)
        prefix = pass + "\\";
      else {
        return Result::Failure(
            ErrorCode::kInvalidInput,
            it->path().string() + ": whole-file folders are All, Add or a version (M.NN)");
      }
      ProjectTree tree;
      if (Result failed = ListProjectTree(it->path().string(), root, &tree); !failed.ok())
        return failed;
      for (auto& [key, file] : tree) {
        file.relative = prefix + file.relative;
        project->whole_files[FoldName(file.relative)] = file;
      }
    }
  }
  return LoadKey(root, key_override, project);
}

}  // namespace corvane::maker
