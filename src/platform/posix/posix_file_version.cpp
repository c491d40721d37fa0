#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pe/pe_image.h"
#include "pe/resource_tree.h"
#include "pe/version_resource.h"
#include "platform/file_version.h"
#include "platform/host_path.h"

namespace corvane::platform {

std::string QueryFileVersion(const char* path) {
  const int fd = open(HostPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
    close(fd);
    return {};
  }
  const size_t size = static_cast<size_t>(st.st_size);
  void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (map == MAP_FAILED) return {};
  std::string version;
  pe::PeImage image;
  pe::ResourceTree tree;
  if (image.Parse(static_cast<const uint8_t*>(map), size) && tree.Load(image)) {
    version = pe::FileVersionOfImage(tree);
  }
  munmap(map, size);
  return version;
}

}  // namespace corvane::platform
