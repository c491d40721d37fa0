#include "maker/version_list.h"

#include "engine/checksum_list.h"
#include "maker/patch_project.h"
#include "run/distributions.h"

namespace corvane::maker {

void VersionChecksumList::Add(const std::string& relative, const FileDigest& digest, bool replace,
                              bool optional) {
  int base = 0;
  DistributionSuffix(relative.c_str(), &base);
  const std::string installed = relative.substr(0, static_cast<size_t>(base));
  const bool variant = installed.size() != relative.size();
  Line& line = lines_[FoldName(installed)];
  if (line.name.empty() || replace) line = Line{installed, {}, false, false};
  line.plain = line.plain || !variant;
  line.optional = line.optional || optional || digest.size == 0;
  for (uint32_t v : line.values) {
    if (v == digest.crc) return;
  }
  line.values.push_back(digest.crc);
}

std::string VersionChecksumList::Text(std::FILE* messages, std::set<std::string>* warned) const {
  ChecksumListWriter writer;
  for (const auto& [key, line] : lines_) {
    std::string why;
    if (!writer.Add(line.name, !line.plain || line.optional, line.values, &why) &&
        warned->insert(why).second) {
      std::fprintf(messages, "patchbuild: warning: %s; the patcher does not verify it\n",
                   why.c_str());
    }
  }
  return writer.Text();
}

}  // namespace corvane::maker
