#include "tests/support/temp_dir.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

namespace tessaly::test {
namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::error_code error;
  fs::path base = fs::temp_directory_path(error);  // $TMPDIR, else /tmp
  if (error) base = "/tmp";
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::ostringstream name;
    name << "tessaly-test-" << random() << "-" << counter++;
    const fs::path candidate = base / name.str();
    if (fs::create_directory(candidate, error) && !error) {
      path_ = fs::canonical(candidate, error).string() + "/";
      return;
    }
  }
  std::fprintf(stderr, "TempDir: cannot create a folder under %s\n",
               base.string().c_str());
  std::abort();
}

TempDir::~TempDir() {
  std::error_code error;
  // Files a test made read-only must not keep the folder alive.
  for (auto it = fs::recursive_directory_iterator(path_, error);
       !error && it != fs::recursive_directory_iterator();
       it.increment(error)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add,
                    error);
  }
  fs::remove_all(path_, error);
}

std::string TempDir::Join(std::string_view name) const {
  return path_ + std::string(name);
}

std::string TempDir::WriteFile(std::string_view name,
                               std::string_view content) const {
  const std::string full = Join(name);
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "TempDir: cannot write %s\n", full.c_str());
    std::abort();
  }
  return full;
}

std::string TempDir::ReadFile(std::string_view name) const {
  const std::string full =
      !name.empty() && name[0] == '/' ? std::string(name) : Join(name);
  std::ifstream in(full, std::ios::binary);
  if (!in) return std::string();
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace tessaly::test
