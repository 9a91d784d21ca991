// libFuzzer target with a property: whatever an archive lists, adding an
// entry keeps it. Arbitrary bytes are opened as an archive (its directory
// read, or rebuilt from the local headers); what the open lists is noted;
// one entry is added under a name the archive does not hold; the archive is
// closed and opened again. The second open must list every entry of the
// first, in the same order, with the same name, CRC-32, sizes and stored
// (compressed) bytes, followed by the new entry with its own. An update
// that fails must still leave every listed entry as it was. A violation
// aborts with a description of the first difference.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "engine/archiver.h"
#include "engine/base/scripted_dialog_service.h"
#include "platform/exception.h"
#include "platform/testing/mem_env.h"

namespace {

using namespace tessaly;

constexpr char kArchive[] = "/a/fuzz.zip";
constexpr char kSourceDir[] = "/src/";
constexpr char kAddedData[] =
    "An entry added by the property fuzzer: its bytes are known, and it has "
    "enough text to be deflated.\n";

struct Listed {
  std::string name;
  uint32_t crc = 0;
  uint64_t compressed = 0;
  uint64_t uncompressed = 0;
  // The data as a reader finds it: after the local header at the entry's
  // offset and that header's name and extra field. None when no local
  // header stands there or the data runs past the end.
  std::optional<std::string> stored;
};

uint64_t Le(const std::string& bytes, size_t at, size_t size) {
  uint64_t v = 0;
  for (size_t i = size; i-- > 0;) {
    v = (v << 8) | static_cast<uint8_t>(bytes[at + i]);
  }
  return v;
}

std::optional<std::string> StoredBytes(const std::string& archive,
                                       uint64_t offset, uint64_t size) {
  if (offset > archive.size() || archive.size() - offset < 30) {
    return std::nullopt;
  }
  const uint64_t signature = Le(archive, offset, 4);
  if (signature != 0x04034B50 && signature != 0x05045C61) return std::nullopt;
  const uint64_t data =
      offset + 30 + Le(archive, offset + 26, 2) + Le(archive, offset + 28, 2);
  if (data > archive.size() || archive.size() - data < size) {
    return std::nullopt;
  }
  return archive.substr(data, size);
}

std::string ReadAll(platform::Env& env, const std::string& name) {
  auto file = env.OpenFile(name, platform::kOpenRead);
  std::string bytes;
  if (!file) return bytes;
  char buffer[65536];
  for (;;) {
    const int64_t got = file->Read(buffer, sizeof buffer);
    if (got <= 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  return bytes;
}

std::vector<Listed> List(engine::TZipArchiver& zip, const std::string& bytes) {
  std::vector<Listed> listed;
  engine::TZADirArray& dir = zip.DirectoryStore()->Dir;
  for (int32_t i = 0; i < dir.Count(); ++i) {
    const engine::TDirItem& item = dir.ItemPtr(i);
    Listed entry;
    entry.name = item.StoredName;
    entry.crc = item.header.crc32;
    entry.compressed = item.CompressedSize();
    entry.uncompressed = item.UncompressedSize();
    entry.stored = StoredBytes(bytes, item.LocalHeaderOffset(), entry.compressed);
    listed.push_back(std::move(entry));
  }
  return listed;
}

[[noreturn]] void Violated(const std::string& what, size_t index) {
  std::fprintf(stderr, "property violated: entry %zu: %s\n", index,
               what.c_str());
  std::abort();
}

// `after` holds every entry of `before` unchanged at the same place.
void CheckKept(const std::vector<Listed>& before,
               const std::vector<Listed>& after) {
  if (after.size() < before.size()) {
    Violated("the second open lists " + std::to_string(after.size()) +
                 " entries, the first " + std::to_string(before.size()),
             after.size());
  }
  for (size_t i = 0; i < before.size(); ++i) {
    const Listed& b = before[i];
    const Listed& a = after[i];
    if (a.name != b.name) Violated("name \"" + a.name + "\" was \"" + b.name + "\"", i);
    if (a.crc != b.crc) Violated("CRC-32 changed", i);
    if (a.compressed != b.compressed) Violated("compressed size changed", i);
    if (a.uncompressed != b.uncompressed) Violated("size changed", i);
    if (b.stored && a.stored != b.stored) Violated("stored bytes changed", i);
  }
}

// Opens the archive again, read-only; it must open.
std::vector<Listed> Reopen(platform::MemEnv& env) {
  engine::ScriptedDialogService dialogs;
  engine::TZipArchiver zip(env);
  zip.SetDialogService(&dialogs);
  zip.FileName = kArchive;
  try {
    zip.Open(engine::kOpenReadOnlyDenyNone);
  } catch (const platform::Exception& e) {
    std::fprintf(stderr, "property violated: the updated archive does not "
                         "open: %s\n", e.what());
    std::abort();
  }
  std::vector<Listed> listed = List(zip, ReadAll(env, kArchive));
  zip.Close();
  return listed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::MemEnv env;
  env.CreateDir("/a");
  env.CreateDir("/src");
  {
    auto file = env.OpenFile(kArchive, platform::kOpenCreate);
    if (!file) return 0;
    file->Write(data, static_cast<int64_t>(size));
  }
  const std::string original(reinterpret_cast<const char*>(data), size);

  engine::ScriptedDialogService dialogs;
  engine::TZipArchiver zip(env);
  zip.SetDialogService(&dialogs);
  zip.FileName = kArchive;
  try {
    zip.Open();
  } catch (const platform::Exception&) {
    zip.Close();
    if (ReadAll(env, kArchive) != original) {
      std::fprintf(stderr, "property violated: a failed open changed the "
                           "archive\n");
      std::abort();
    }
    return 0;
  }
  if (zip.SpanningMode() != engine::smNone ||
      zip.LastOpenMode() != engine::kOpenReadWriteDenyWrite) {
    zip.Close();  // volumes that do not exist here; nothing to update
    return 0;
  }
  const std::vector<Listed> before = List(zip, original);

  std::string name;
  engine::TZADirArray& dir = zip.DirectoryStore()->Dir;
  for (int n = 0;; ++n) {
    name = "added-" + std::to_string(n) + ".txt";
    int32_t index = -1;
    if (!dir.FindName(name, index)) break;
  }
  {
    auto source = env.OpenFile(kSourceDir + name, platform::kOpenCreate);
    if (!source) return 0;
    source->Write(kAddedData, sizeof kAddedData - 1);
  }
  zip.BaseDir = kSourceDir;
  zip.FileMasks.Add(name);
  bool added = true;
  try {
    zip.AddMatchingFiles();
  } catch (const platform::Exception&) {
    added = false;
  }
  zip.Close();

  const std::vector<Listed> after = Reopen(env);
  CheckKept(before, after);
  if (!added) return 0;
  if (after.size() != before.size() + 1) {
    Violated("the second open lists " + std::to_string(after.size()) +
                 " entries, expected " + std::to_string(before.size() + 1),
             after.size());
  }
  const Listed& entry = after.back();
  if (entry.name != name) Violated("the added entry is \"" + entry.name + "\"", before.size());
  if (entry.uncompressed != sizeof kAddedData - 1 || !entry.stored) {
    Violated("the added entry's data is not there", before.size());
  }
  return 0;
}
