// tzip with a file past 4 GiB, as a user runs it: without any Zip64 option
// the file packs (tzip's default is --zip64 auto), and Info-ZIP, 7-Zip and
// Python's zipfile read the entry's real sizes. The source is a sparse file
// of zeros with a few bytes at its end, so it costs no disk space and
// deflates to some 4 MB; unzip -t inflates it all and checks its CRC-32.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace tessaly::app {
namespace {

using test::RunCommand;
using test::ShellQuote;

TEST(TzipLargeFileTest, FilePast4GiBPacksByDefaultAndEveryPeerReadsIt) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the same bytes as in the optimised build, four times "
                  "slower: run there";
#endif
  test::TempDir dir;
  const uint64_t size = (uint64_t{4} << 30) + (1 << 20);  // 4 GiB + 1 MiB
  const std::string source = dir.Join("big.bin");
  {
    std::ofstream file(source, std::ios::binary);
    file.seekp(static_cast<std::streamoff>(size - 4));
    file << "end\n";
  }
  ASSERT_EQ(std::filesystem::file_size(source), size);
  const std::string archive = dir.Join("big.zip");

  auto result = RunCommand(ShellQuote(test::BinaryDir() + "/app/tzip") +
                           " -1 -q -b " + ShellQuote(dir.path()) + " " +
                           ShellQuote(archive) + " big.bin");
  ASSERT_EQ(result.exit_code, 0) << result.output;
  EXPECT_EQ(result.output, archive + "\n");

  result = RunCommand(
      "python3 -c \"import zipfile,sys; i=zipfile.ZipFile(sys.argv[1])"
      ".getinfo('big.bin'); print(i.file_size, i.compress_type, "
      "i.extract_version)\" " +
      ShellQuote(archive));
  EXPECT_EQ(result.output, std::to_string(size) + " 8 45\n")
      << "size, method, version needed (4.5: Zip64)";
  result = RunCommand("7z l -slt " + ShellQuote(archive));
  EXPECT_NE(result.output.find("Size = " + std::to_string(size) + "\n"),
            std::string::npos)
      << result.output;
  result = RunCommand("unzip -tq " + ShellQuote(archive));
  EXPECT_EQ(result.exit_code, 0) << result.output;
  EXPECT_NE(result.output.find("No errors detected"), std::string::npos)
      << result.output;
}

}  // namespace
}  // namespace tessaly::app
