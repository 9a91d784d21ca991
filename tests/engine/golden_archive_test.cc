// Pins every byte the engine writes: a fixed data folder (generated here,
// with fixed modification times, in a MemEnv) is packed in several ways and
// the SHA-256 of every file written, and of the events raised on the way, is
// compared with values recorded once. A change to how entries, directories
// or volumes are laid out, or to which events come in which order, fails
// here even where the archive still reads back well.
//
// Encrypted entries carry random header bytes, so their archive is pinned
// with each entry's data (encryption header and ciphertext) zeroed: every
// header, size, CRC and offset is still compared.
//
// Every case runs with 1, 2 and 4 compression threads against the same
// values: the bytes do not depend on the number.
//
// When a change of the output is intended, the failure message prints the
// new values in the form of the tables below.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/archiver.h"
#include "engine/base/scripted_dialog_service.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/testing/mem_env.h"
#include "tests/support/noise.h"
#include "tests/support/sha256.h"

namespace tessaly::engine {
namespace {

using Hashes = std::map<std::string, std::string>;  // file name -> SHA-256

// An MS-DOS date-time (date in the high half).
constexpr uint32_t Dos(int year, int month, int day, int hour, int minute) {
  return ((static_cast<uint32_t>(year - 1980) << 9 |
           static_cast<uint32_t>(month) << 5 | static_cast<uint32_t>(day))
          << 16) |
         static_cast<uint32_t>(hour) << 11 | static_cast<uint32_t>(minute) << 5;
}

// Text that deflates well but not to nothing: numbered records.
std::string Records(int count, int seed) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    char line[96];
    std::snprintf(line, sizeof line,
                  "%06d;customer %d;city %d;balance %d.%02d\r\n", i,
                  (i * 37 + seed) % 1009, (i * 11 + seed) % 97,
                  (i * 7919 + seed) % 100000, (i + seed) % 100);
    text += line;
  }
  return text;
}

TEST(Sha256Test, KnownVectors) {
  // FIPS 180-2, appendix B.1 and B.2.
  EXPECT_EQ(test::Sha256Hex("abc"),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(test::Sha256Hex(
                "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(test::Sha256Hex(""),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

class GoldenArchiveTest : public ::testing::TestWithParam<int32_t> {
 protected:
  GoldenArchiveTest() {
    const std::string root =
        platform::IncludeTrailingPathDelimiter(env_.CurrentDirectory());
    data_ = root + "data" + platform::PathDelimiter();
    out_ = root + "out" + platform::PathDelimiter();
    EXPECT_TRUE(env_.CreateDir(data_));
    EXPECT_TRUE(env_.CreateDir(out_));
    Folder("a");
    Folder("a/b");
    Folder("a/b/c");
    Folder("a/empty");
    Write("FileList.cfg", "Tessaly file list\r\ncust\r\ntable\r\n",
          Dos(2023, 5, 17, 9, 30));
    Write("cust.dat", Records(2500, 1), Dos(2023, 6, 1, 12, 0));
    Write("noise.bin", test::Noise(150000, 7), Dos(2022, 12, 31, 23, 58));
    Write("empty.txt", "", Dos(2020, 1, 1, 0, 0));
    Write("a/readme.txt", Records(80, 2), Dos(2021, 3, 4, 5, 6));
    Write("a/b/table.dat", Records(1500, 3), Dos(2024, 2, 29, 14, 44));
    Write("a/b/c/deep.bin", test::Noise(40000, 11), Dos(2019, 7, 8, 1, 2));
    Write("a/b/c/deep.rpt", Records(300, 4), Dos(2019, 7, 8, 1, 4));
  }

  // `name` is relative to the data folder, spelled with '/'.
  std::string Data(const std::string& name) const {
    std::string path = data_ + name;
    for (char& c : path) {
      if (c == '/') c = platform::PathDelimiter();
    }
    return path;
  }
  void Folder(const std::string& name) {
    EXPECT_TRUE(env_.CreateDir(Data(name))) << name;
  }
  void Write(const std::string& name, const std::string& bytes, uint32_t time) {
    auto file = env_.OpenFile(Data(name), platform::kOpenCreate);
    ASSERT_NE(file, nullptr) << name;
    ASSERT_EQ(file->Write(bytes.data(), static_cast<int64_t>(bytes.size())),
              static_cast<int64_t>(bytes.size()));
    file.reset();
    ASSERT_TRUE(env_.SetFileAge(Data(name), time)) << name;
  }
  std::string Read(const std::string& path) {
    auto file = env_.OpenFile(path, platform::kOpenRead);
    std::string bytes;
    if (file == nullptr) return bytes;
    bytes.resize(static_cast<size_t>(file->Size()));
    if (file->Read(bytes.data(), static_cast<int64_t>(bytes.size())) !=
        static_cast<int64_t>(bytes.size())) {
      ADD_FAILURE() << "cannot read " << path;
    }
    return bytes;
  }

  // An archiver writing `name` in the output folder, selecting from the
  // data folder, with every event written to the log.
  std::unique_ptr<TZipArchiver> Archiver(const std::string& name) {
    auto zip = std::make_unique<TZipArchiver>(env_);
    zip->SetName("ZipArchiver");
    zip->SetDialogService(&dialogs_);
    zip->CompressionThreads = GetParam();
    zip->FileName = out_ + name;
    zip->BaseDir = data_;
    zip->OnFileProgress = [this](Component*, const std::string& file,
                                 double progress, TZAProcessOperation op,
                                 TZAProgressPhase phase, bool&) {
      Log("file %s %.4f %d %d", file.c_str(), progress, op, phase);
    };
    zip->OnOverallProgress = [this](Component*, double progress,
                                    TZAProcessOperation op,
                                    TZAProgressPhase phase, bool&) {
      Log("overall %.4f %d %d", progress, op, phase);
    };
    zip->OnCopyTempFileProgress = [this](Component*, double progress,
                                         TZAProgressPhase phase, bool&) {
      Log("copy %.4f %d", progress, phase);
    };
    zip->OnConfirmProcessFile = [this](Component*, const std::string& file,
                                       TZAProcessOperation op, bool&) {
      Log("confirm %s %d", file.c_str(), op);
    };
    zip->OnStoreFile = [this](Component*, std::string& file, uint32_t& attr,
                              std::string&, const std::string& original) {
      Log("store %s %u %s", file.c_str(), attr, original.c_str());
    };
    zip->OnRequestBlankVolume = [this](Component*, int32_t number,
                                       std::string& file, bool&) {
      Log("blank %d %s", number, file.c_str());
    };
    zip->OnRequestFirstVolume = [this](Component*, std::string& file, bool&) {
      Log("first %s", file.c_str());
    };
    zip->OnRequestLastVolume = [this](Component*, std::string& file, bool&) {
      Log("last %s", file.c_str());
    };
    zip->OnRequestMiddleVolume = [this](Component*, int32_t number,
                                        std::string& file, bool&) {
      Log("middle %d %s", number, file.c_str());
    };
    zip->OnDiskFull = [this](Component*, int32_t number,
                             const std::string& file, bool&) {
      Log("full %d %s", number, file.c_str());
    };
    zip->OnProcessFileFailure =
        [this](Component*, const std::string& file, TZAProcessOperation,
               int32_t native, int32_t, const std::string&,
               TZAAction&) { Log("failure %s %d", file.c_str(), native); };
    zip->AfterOpen = [this](Component*) { Log("open"); };
    return zip;
  }

  // Names in the log are written relative to the data and output folders,
  // so the log reads the same with either path syntax.
  template <typename... Args>
  void Log(const char* format, Args... args) {
    char line[512];
    std::snprintf(line, sizeof line, format, args...);
    // Both delimiters read as '/' first: the names of the file progress
    // events are written with '\\' on every system.
    const auto slashed = [](std::string name) {
      std::replace(name.begin(), name.end(), '\\', '/');
      return name;
    };
    std::string text = slashed(line);
    for (const auto& [folder, label] : {std::pair{slashed(data_), "<data>/"},
                                        std::pair{slashed(out_), "<out>/"}}) {
      for (size_t at = 0; (at = text.find(folder, at)) != std::string::npos;) {
        text.replace(at, folder.size(), label);
      }
    }
    log_ += text + "\n";
  }

  static void AddMasks(TZipArchiver& zip,
                       const std::vector<std::string>& masks) {
    for (const std::string& mask : masks) zip.FileMasks.Add(mask);
  }

  // The SHA-256 of every file in the output folder, and of the event log
  // under the name "events".
  Hashes OutputHashes() {
    Hashes hashes;
    for (const platform::FoundFile& found :
         env_.FindFiles(out_ + "*", platform::kAttrArchive)) {
      hashes[found.name] = test::Sha256Hex(Read(out_ + found.name));
    }
    hashes["events"] = test::Sha256Hex(log_);
    return hashes;
  }

  static std::string Table(const Hashes& hashes) {
    std::string text;
    for (const auto& [name, hash] : hashes) {
      text += "      {\"" + name + "\", \"" + hash + "\"},\n";
    }
    return text;
  }

  void ExpectHashes(const Hashes& actual, const Hashes& expected) {
    EXPECT_EQ(actual, expected) << "recorded:\n"
                                << Table(expected) << "now:\n"
                                << Table(actual) << "events:\n"
                                << log_;
  }

  platform::MemEnv env_;
  ScriptedDialogService dialogs_;
  std::string data_;
  std::string out_;
  std::string log_;
};

TEST_P(GoldenArchiveTest, SingleFileArchiveWithFoldersAndStoredEntries) {
  auto zip = Archiver("single.zip");
  zip->SetCompressionMode(9);
  AddMasks(*zip, {"*.*"});
  zip->NoCompressionMasks.Add("*.bin");
  zip->Open(kOpenCreate);
  zip->AddMatchingFiles();
  zip->Close();
  ExpectHashes(
      OutputHashes(),
      {
          {"events",
           "0566f04a81d8e227a7f958b7c0a6926c49951f6514245748ecb1b1c40d5c7db9"},
          {"single.zip",
           "214c2cf23fd6ba67607239b5d067015a07dd7a7734258de8add8f946c3bf3439"},
      });
}

TEST_P(GoldenArchiveTest, SplitArchiveWithTheCollectorsSettings) {
  auto zip = Archiver("Orvane.zip");
  zip->SetCompressionLevel(clMax);
  zip->SetCompressionMode(9);
  zip->SetSpanningMode(smSplitting);
  zip->SpanningOptions.AdvancedNaming = false;
  zip->SpanningOptions.VolumeSize = vsCustom;
  zip->SpanningOptions.SetCustomVolumeSize(65536);
  zip->Options.Recurse = false;
  zip->Options.SearchAttr &= ~static_cast<int32_t>(platform::kAttrDirectory);
  zip->Options.StorePath = spNoPath;
  AddMasks(*zip,
           {Data("FileList.cfg"), Data("*.dat"), Data("*.bin"), Data("*.txt")});
  zip->Open(kOpenCreate);
  zip->AddMatchingFiles();
  zip->Close();
  ExpectHashes(
      OutputHashes(),
      {
          {"Orvane.z01",
           "a4d61f7bca3b5ce3081f30266f329e878dbb92a0eb88d81eb4ebf6ef695b2eab"},
          {"Orvane.z02",
           "ee003bd180d2673280ddca06a3a39c508a3abbf569e69d701de85e03a0265c25"},
          {"Orvane.zip",
           "bcf289eeaed76948a404eea4880a6a8a53ef9ead25f23147be1b52672540e0b8"},
          {"events",
           "327cafb3cd01e2a75033dde61bcd09704ea640d13e9ef95f791ff774d54e922c"},
      });
}

TEST_P(GoldenArchiveTest, SplitArchiveWithAdvancedNamingAndZip64Records) {
  auto zip = Archiver("adv.zip");
  zip->SetCompressionMode(1);
  zip->Zip64Mode = zmAlways;
  zip->SetSpanningMode(smSplitting);
  zip->SpanningOptions.AdvancedNaming = true;
  zip->SpanningOptions.VolumeSize = vsCustom;
  zip->SpanningOptions.SetCustomVolumeSize(65536);
  AddMasks(*zip, {"*.*"});
  zip->Open(kOpenCreate);
  zip->AddMatchingFiles();
  zip->Close();
  ExpectHashes(
      OutputHashes(),
      {
          {"adv.zip",
           "02446c31be910ce32acb84cd6d44714f2787c2fed67c6f96dc53dd90718ca614"},
          {"adv_001.zip",
           "84a07b8f56eff8357fd1deeef419f4cdc8654400324ae8aea15fe4eff238c524"},
          {"adv_002.zip",
           "41a2f3b110cac332021c3cde0ca0ac8d6669d50122cf344a86caa5e00c38ffab"},
          {"adv_003.zip",
           "30405d451ea0676fb28b8c56ff5f358dd52a289f50baf2bc131b5266bbd348a3"},
          {"events",
           "9924f25d67e120ba298ea29cea270c83456b9ac50506bc33df0d5619e55e36a8"},
      });
}

TEST_P(GoldenArchiveTest, UpdateReplacesAnEntryBeforeTheEndAndAddsOne) {
  {
    auto zip = Archiver("update.zip");
    zip->SetCompressionMode(6);
    AddMasks(*zip, {"*.*"});
    zip->Open(kOpenCreate);
    zip->AddMatchingFiles();
    zip->Close();
  }
  Write("a/readme.txt", Records(120, 9), Dos(2024, 8, 9, 10, 11));
  Write("new.txt", Records(40, 5), Dos(2024, 8, 9, 10, 12));
  auto zip = Archiver("update.zip");
  zip->SetCompressionMode(6);
  zip->Options.OverwriteMode = omAlways;
  AddMasks(*zip, {"a/readme.txt", "new.txt"});
  zip->Open();
  zip->AddMatchingFiles();
  zip->Close();
  ExpectHashes(
      OutputHashes(),
      {
          {"events",
           "f053403fcd4802e5d8bd779f8cfa61713a67fa89b032967ec8652a02e1474ab2"},
          {"update.zip",
           "fad1717e9ace59f61556457ca8393781a1c3987cad2ef4a18569a863b1ce73a7"},
      });
}

TEST_P(GoldenArchiveTest, SplitArchiveGrowsIntoNewVolumes) {
  const auto configure = [](TZipArchiver& zip) {
    zip.SetCompressionMode(6);
    zip.SetSpanningMode(smSplitting);
    zip.SpanningOptions.AdvancedNaming = false;
    zip.SpanningOptions.VolumeSize = vsCustom;
    zip.SpanningOptions.SetCustomVolumeSize(65536);
  };
  {
    auto zip = Archiver("grow.zip");
    configure(*zip);
    AddMasks(*zip, {"*.dat", "*.cfg", "noise.bin"});
    zip->Open(kOpenCreate);
    zip->AddMatchingFiles();
    zip->Close();
  }
  auto zip = Archiver("grow.zip");
  configure(*zip);
  AddMasks(*zip, {"a/b/c/deep.bin", "a/b/c/deep.rpt", "a/readme.txt"});
  zip->Open();
  zip->BeginUpdate();
  zip->AddMatchingFiles();
  zip->EndUpdate();
  zip->Close();
  ExpectHashes(
      OutputHashes(),
      {
          {"events",
           "b040215a3502af099da030531f22f49c46ed3bada69d8b73f1f5a7d44174ada0"},
          {"grow.z01",
           "34c137d61d8c2629324fd8a01de273894703eb0b7891e45c4f8a6664c4a2ce5a"},
          {"grow.z02",
           "257a72cc970a945c240dd416b7e5ef3fdcd4306eac86eb71817b15434dd99890"},
          {"grow.z03",
           "a73588d05f3addfe265aa2ed40e17d2b2a4f1d1ba0bfb72a467b618b6d6fdeae"},
          {"grow.zip",
           "bb62a6906825059dd5316dc7f3d483017498af0edd5baa752928c5216e2b54c6"},
      });
}

TEST_P(GoldenArchiveTest, EncryptedArchiveApartFromItsRandomBytes) {
  auto zip = Archiver("secret.zip");
  zip->SetCompressionMode(6);
  zip->Password = "tessaly";
  AddMasks(*zip, {"*.dat", "*.cfg", "empty.txt"});
  zip->Open(kOpenCreate);
  zip->AddMatchingFiles();
  zip->Close();

  // Zero the data of every entry, walking the local headers.
  std::string bytes = Read(out_ + "secret.zip");
  const auto le = [&](size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
      value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    }
    return value;
  };
  size_t at = 0;
  int entries = 0;
  while (at + 30 <= bytes.size() && le(at, 4) == 0x04034B50) {
    const size_t data = at + 30 + le(at + 26, 2) + le(at + 28, 2);
    const size_t size = le(at + 18, 4);
    ASSERT_LE(data + size, bytes.size());
    for (size_t i = data; i < data + size; ++i) bytes[i] = 0;
    at = data + size;
    ++entries;
  }
  EXPECT_EQ(entries, 4);
  Hashes hashes = OutputHashes();
  hashes["secret.zip"] = test::Sha256Hex(bytes);
  ExpectHashes(
      hashes,
      {
          {"events",
           "9ff679459049602393dc2141039c2b86433dce2ad7d88b01b1294ae4d25fbea6"},
          {"secret.zip",
           "5e4372a633882c2b94951a67d64485b216cfc39c189f7c9601bec0a245db5525"},
      });
}

INSTANTIATE_TEST_SUITE_P(Threads, GoldenArchiveTest,
                         ::testing::Values(1, 2, 4));

}  // namespace
}  // namespace tessaly::engine
