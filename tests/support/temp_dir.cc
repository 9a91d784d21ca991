#include "tests/support/temp_dir.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include "platform/path.h"

namespace tessaly::test {
namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const char* what, const std::string& name) {
  std::fprintf(stderr, "TempDir: cannot %s %s\n", what, name.c_str());
  std::abort();
}

}  // namespace

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::error_code error;
  // $TMPDIR, else /tmp; on Windows GetTempPath (%TMP%, %TEMP%, ...).
  fs::path base = fs::temp_directory_path(error);
  if (error) {
    base = platform::kNativeSyntax == platform::PathSyntax::kPosix
               ? fs::path("/tmp")
               : fs::current_path();
  }
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::ostringstream name;
    name << "tessaly-test-" << random() << "-" << counter++;
    const fs::path candidate = base / name.str();
    if (fs::create_directory(candidate, error) && !error) {
      fs::path full = fs::canonical(candidate, error);
      if (error) full = fs::absolute(candidate);
      path_ = platform::IncludeTrailingPathDelimiter(
          full.make_preferred().string());
      return;
    }
  }
  Fail("create a folder under", base.string());
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
  std::string full = path_ + std::string(name);
  const char delimiter = platform::PathDelimiter();
  for (size_t i = path_.size(); i < full.size(); ++i) {
    if (full[i] == '/') full[i] = delimiter;
  }
  return full;
}

std::string TempDir::MakeDir(std::string_view name) const {
  const std::string full = Join(name);
  std::error_code error;
  if (!fs::create_directory(full, error) || error) Fail("create", full);
  return platform::IncludeTrailingPathDelimiter(full);
}

std::string TempDir::WriteFile(std::string_view name,
                               std::string_view content) const {
  const std::string full = Join(name);
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.close();
  if (!out) Fail("write", full);
  return full;
}

std::string TempDir::ReadFile(std::string_view name) const {
  const std::string full =
      platform::IsAbsolutePath(name) ? std::string(name) : Join(name);
  std::ifstream in(full, std::ios::binary);
  if (!in) return std::string();
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace tessaly::test
