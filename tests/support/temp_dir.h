// TempDir: a fresh folder for one test, removed with all its content when
// the object is destroyed.
#ifndef TESSALY_TESTS_SUPPORT_TEMP_DIR_H_
#define TESSALY_TESTS_SUPPORT_TEMP_DIR_H_

#include <string>
#include <string_view>

namespace tessaly::test {

class TempDir {
 public:
  // Creates a uniquely named folder under $TMPDIR (or /tmp). Aborts the
  // test program when that is impossible.
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder's absolute path with a trailing '/'.
  const std::string& path() const { return path_; }

  // path() + name.
  std::string Join(std::string_view name) const;

  // Creates (or replaces) the file path()+name with `content`; returns its
  // full name. Aborts when the file cannot be written.
  std::string WriteFile(std::string_view name, std::string_view content) const;

  // The content of path()+name (a name relative to path(), or an absolute
  // name); "" when it cannot be read.
  std::string ReadFile(std::string_view name) const;

 private:
  std::string path_;
};

}  // namespace tessaly::test

#endif  // TESSALY_TESTS_SUPPORT_TEMP_DIR_H_
