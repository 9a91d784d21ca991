// Building blocks for tests of the collector: a Tessaly installation in a
// temporary folder (data folder, registry export naming it), data files of
// known content, and checks of the archive with peer tools.
#ifndef TESSALY_TESTS_APP_COLLECTOR_FIXTURE_H_
#define TESSALY_TESTS_APP_COLLECTOR_FIXTURE_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace tessaly::app::testing {

// `size` bytes that deflate cannot shrink (xorshift output from `seed`).
inline std::string NoiseBytes(size_t size, uint64_t seed) {
  std::string bytes(size, '\0');
  uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
  for (size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    bytes[i] = static_cast<char>(x >> 24);
  }
  return bytes;
}

// Text lines of ledger records: compresses well.
inline std::string LedgerText(int lines, int seed) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    text += "INV" + std::to_string(10000 + i * 7 + seed) + ";2003-0" +
            std::to_string(1 + (i + seed) % 9) + "-1" + std::to_string(i % 10) +
            ";Customer " + std::to_string((i * 31 + seed) % 500) + ";" +
            std::to_string((i * 977 + seed) % 100000) + ".00\r\n";
  }
  return text;
}

// The registry export that names `data_path` as Tessaly's data folder.
inline std::string RegistryExport(const std::string& data_path) {
  std::string escaped;
  for (char c : data_path) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c;
  }
  return "Windows Registry Editor Version 5.00\r\n\r\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Data Access Corporation\\"
         "Visual DataFlex\\5\\Workspaces\\Tessaly]\r\n"
         "\"DataPath\"=\"" +
         escaped + "\"\r\n";
}

// <tmp>/Ledger/Data with a registry export <tmp>/registry.reg naming it.
class Installation {
 public:
  Installation() {
    std::filesystem::create_directories(data_dir());
    WriteRegistry(RegistryExport(data_dir()));
  }

  // The data folder, without trailing '/'.
  std::string data_dir() const { return tmp_.Join("Ledger/Data"); }
  std::string data_file(const std::string& name) const {
    return data_dir() + "/" + name;
  }
  // Where the collector puts its archive: the data folder's parent.
  std::string archive(const std::string& ext = ".zip") const {
    return tmp_.Join("Ledger/Orvane" + ext);
  }
  std::string registry_file() const { return tmp_.Join("registry.reg"); }
  const test::TempDir& tmp() const { return tmp_; }

  void WriteRegistry(const std::string& content) const {
    tmp_.WriteFile("registry.reg", content);
  }
  std::string AddData(const std::string& name,
                      const std::string& content) const {
    return tmp_.WriteFile("Ledger/Data/" + name, content);
  }

  // FileList.cfg, two .dat, one .rpt and one .bmp that fit in one volume,
  // plus files the collector must leave out.
  void AddSmallDataSet() const {
    AddData("FileList.cfg", "[Files]\r\nCustomer.dat\r\nInvoice.dat\r\n");
    AddData("Customer.dat", LedgerText(400, 1));
    AddData("Invoice.dat", LedgerText(900, 2));
    AddData("Monthly.rpt", LedgerText(50, 3));
    AddData("Logo.bmp", "BM" + NoiseBytes(3000, 4));
    AddData("notes.txt", "not collected");
    AddData("Customer.dat.bak", "not collected");
    std::filesystem::create_directories(data_file("Archive"));
    AddData("Archive/Old.dat", "not collected: sub-folders are not searched");
  }

 private:
  test::TempDir tmp_;
};

inline void ExpectCommandOk(const std::string& command) {
  const test::CommandResult result = test::RunCommand(command);
  EXPECT_EQ(result.exit_code, 0) << command << "\n" << result.output;
}

// 7-Zip tests the archive (it finds the .z01 ... volumes beside it).
inline void Expect7zTestOk(const std::string& archive) {
  ExpectCommandOk("7z t " + test::ShellQuote(archive));
}

inline std::string ZipCheck() {
  return test::SourceDir() + "/tests/interop/zipcheck.py";
}

// Python's zipfile reads every entry and compares it with the file of the
// same name in `data_dir`.
inline void ExpectVerified(const std::string& archive,
                           const std::string& data_dir) {
  ExpectCommandOk("python3 " + test::ShellQuote(ZipCheck()) + " verify " +
                  test::ShellQuote(archive) + " " + test::ShellQuote(data_dir) +
                  " --flat");
}

// Joins split volumes (first to last) into one archive.
inline void Join(const std::string& output,
                 const std::vector<std::string>& volumes) {
  std::string command = "python3 " + test::ShellQuote(ZipCheck()) + " join " +
                        test::ShellQuote(output);
  for (const std::string& volume : volumes) {
    command += " " + test::ShellQuote(volume);
  }
  ExpectCommandOk(command);
}

// The entry names in the archive's central directory, in order.
inline std::vector<std::string> EntryNames(const std::string& archive) {
  const test::CommandResult result = test::RunCommand(
      "python3 -c 'import sys, zipfile; "
      "print(\"\\n\".join(zipfile.ZipFile(sys.argv[1]).namelist()))' " +
      test::ShellQuote(archive));
  EXPECT_EQ(result.exit_code, 0) << result.output;
  std::vector<std::string> names;
  size_t start = 0;
  while (start < result.output.size()) {
    size_t end = result.output.find('\n', start);
    if (end == std::string::npos) end = result.output.size();
    if (end > start) names.push_back(result.output.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

inline bool Exists(const std::string& path) {
  return std::filesystem::exists(path);
}

}  // namespace tessaly::app::testing

#endif  // TESSALY_TESTS_APP_COLLECTOR_FIXTURE_H_
