#include "maker/cache_file.h"

#include <filesystem>
#include <fstream>

namespace corvane::maker {

bool WriteCacheFile(const std::string& path, const std::string& text) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  const std::string temp = path + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (out.fail()) {
      std::filesystem::remove(temp, ec);
      return false;
    }
  }
  std::filesystem::rename(temp, path, ec);
  if (ec) std::filesystem::remove(temp, ec);
  return !ec;
}

}  // namespace corvane::maker
