// TempDir: a fresh folder for one test, removed with all its content when
// the object is destroyed.
#ifndef TESSALY_TESTS_SUPPORT_TEMP_DIR_H_
#define TESSALY_TESTS_SUPPORT_TEMP_DIR_H_

#include <string>
#include <string_view>

namespace tessaly::test {

class TempDir {
 public:
  // Creates a uniquely named folder in the system's temporary folder
  // ($TMPDIR or /tmp on POSIX, %TEMP% on Windows). Aborts the test program
  // when that is impossible.
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder's absolute native path with a trailing delimiter ('/' on
  // POSIX, '\' on Windows).
  const std::string& path() const { return path_; }

  // path() + name, with each '/' of `name` written as the native delimiter,
  // so that tests spell relative names one way on every system.
  std::string Join(std::string_view name) const;

  // Creates the folder path()+name (its parent must exist); returns its
  // full name with a trailing delimiter. Aborts when it cannot be created.
  std::string MakeDir(std::string_view name) const;

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
