#include "app/tzip/tzip_reading.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/tzip/extract_path.h"
#include "app/tzip/tzip.h"
#include "engine/archive_reader.h"
#include "engine/archiver.h"
#include "engine/io/mask.h"
#include "engine/volumes/volume_naming.h"
#include "engine/volumes/volume_reader.h"
#include "platform/dos_time.h"
#include "platform/exception.h"
#include "platform/path.h"

namespace tessaly::app {

namespace {

using engine::EntryInfo;
using engine::TZipArchiver;

// The archive open for reading, with its volumes.
class OpenArchive {
 public:
  OpenArchive(const std::string& name, platform::Env& env,
              engine::DialogService& dialogs)
      : zip_(env) {
    zip_.SetName("ZipArchiver");
    zip_.SetDialogService(&dialogs);
    zip_.FileName = name;
    // A volume the directory needs and that is not there is reported, not
    // asked for: the volumes are files in one folder.
    auto missing = [this](engine::Component*, int32_t, std::string& file,
                          bool& cancel) {
      missing_ = file;
      cancel = true;
    };
    zip_.OnRequestMiddleVolume = missing;
    zip_.OnRequestFirstVolume = [missing](engine::Component* sender,
                                          std::string& file, bool& cancel) {
      missing(sender, 0, file, cancel);
    };
    zip_.OnRequestLastVolume = zip_.OnRequestFirstVolume;
    try {
      zip_.Open(engine::kOpenReadOnlyDenyNone);
    } catch (const platform::Exception&) {
      if (!missing_.empty()) {
        throw engine::EVolumeMissing(-1, missing_);
      }
      throw;
    }
    const int32_t last = zip_.LastVolumeNumber();
    if (last > 0 && zip_.SpanningMode() == engine::smSpanning) {
      // Neither naming of split volumes found the volume before the last:
      // the others were not saved beside it.
      const auto first = [&name](bool advanced) {
        return platform::ExtractFileName(engine::VolumeFileName(
            name, 0, engine::VolumeNaming{engine::smSplitting, advanced}));
      };
      throw platform::Exception(
          name + " is volume " + std::to_string(last + 1) + " of " +
          std::to_string(last + 1) + "; the volumes before it (" +
          first(false) + " ... or " + first(true) +
          " ...) are not in its folder");
    }
    reader_ = std::make_unique<engine::TZAArchiveReader>(zip_);
  }
  ~OpenArchive() { zip_.Close(); }

  // Whether the directory was rebuilt from the local headers because the
  // archive's own was missing or damaged; says so on `err`.
  bool ReportRecovery(std::ostream& err) {
    if (!reader_->DirectoryRebuilt()) return false;
    const int32_t count = reader_->EntryCount();
    err << "tzip: " << zip_.FileName
        << ": no usable central directory (the archive is damaged or cut "
           "short); "
        << count << (count == 1 ? " entry" : " entries")
        << " found from their local headers\n";
    return true;
  }

  TZipArchiver& zip() { return zip_; }
  engine::TZAArchiveReader& reader() { return *reader_; }

 private:
  TZipArchiver zip_;
  std::string missing_;
  std::unique_ptr<engine::TZAArchiveReader> reader_;
};

// The archive `name` open for reading; null when it cannot be opened, with
// the reason on `err`.
std::unique_ptr<OpenArchive> OpenOrReport(const std::string& name,
                                          platform::Env& env,
                                          engine::DialogService& dialogs,
                                          std::ostream& err) {
  try {
    return std::make_unique<OpenArchive>(name, env, dialogs);
  } catch (const platform::Exception& e) {
    err << e.ClassName() << ": " << e.what() << "\n";
    return nullptr;
  }
}

std::string EntryLine(const EntryInfo& entry, const std::string& verdict) {
  return entry.Name + ": " + verdict + "\n";
}

bool IsFolderEntry(const EntryInfo& entry) {
  const std::string& name = entry.Name;
  return entry.IsFolder() ||
         (!name.empty() && (name.back() == '/' || name.back() == '\\'));
}

bool MatchesAny(const std::string& name, const std::vector<std::string>& masks) {
  if (masks.empty()) return true;
  for (const std::string& mask : masks) {
    if (engine::MaskMatch(name, mask)) return true;
  }
  return false;
}

std::string Join(const std::string& folder, const std::string& part) {
  return platform::IncludeTrailingPathDelimiter(folder) + part;
}

// Makes the folders `parts[0 .. count)` below `root`; returns the deepest,
// or std::nullopt with the reason in `why`.
std::optional<std::string> MakeFolders(platform::Env& env,
                                       const std::string& root,
                                       const std::vector<std::string>& parts,
                                       size_t count, std::string& why) {
  std::string path = root;
  for (size_t i = 0; i < count; ++i) {
    path = Join(path, parts[i]);
    if (env.DirectoryExists(path)) continue;
    if (env.FileAttributes(path) >= 0 || !env.CreateDir(path)) {
      why = "cannot make the folder " + path;
      return std::nullopt;
    }
  }
  return path;
}

// Makes `folder` and the folders above it as needed.
bool MakeRoot(platform::Env& env, const std::string& folder) {
  if (folder.empty() || env.DirectoryExists(folder)) return true;
  const std::string parent = platform::ExtractFileDir(
      platform::ExcludeTrailingPathDelimiter(folder));
  if (!parent.empty() && parent != folder && !MakeRoot(env, parent)) {
    return false;
  }
  return env.CreateDir(platform::ExcludeTrailingPathDelimiter(folder));
}

// A file written under a temporary name in its final folder; removed unless
// it was given its final name.
class TemporaryFile {
 public:
  TemporaryFile(platform::Env& env, const std::string& folder) : env_(env) {
    name_ = env.TempFileName(folder, "FC");
    if (name_.empty()) return;
    stream_ = env.OpenFile(name_, platform::kOpenCreate);
  }
  ~TemporaryFile() {
    stream_.reset();
    if (!name_.empty()) env_.RemoveFile(name_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  platform::Stream* stream() { return stream_.get(); }
  const std::string& name() const { return name_; }

  // Closes the file and gives it the name `target`, replacing a file of
  // that name when `replace`.
  bool Publish(const std::string& target, bool replace) {
    stream_.reset();
    if (replace && env_.FileExists(target)) env_.RemoveFile(target);
    if (!env_.RenameFile(name_, target)) return false;
    name_.clear();
    return true;
  }

 private:
  platform::Env& env_;
  std::string name_;
  std::unique_ptr<platform::Stream> stream_;
};

constexpr const char* kExtracted = "OK";
constexpr const char* kKept = "exists, kept";

// Extracts one entry below `root`; returns its verdict: kExtracted, kKept,
// or what went wrong.
std::string ExtractEntry(engine::TZAArchiveReader& reader, int32_t index,
                         const EntryInfo& entry, const std::string& root, const std::string& password,
                         bool overwrite, platform::Env& env) {
  const std::optional<std::vector<std::string>> parts =
      SafeExtractParts(entry.Name);
  if (!parts) return "refused: the name leads outside the target folder";
  std::string why;
  if (IsFolderEntry(entry)) {
    if (!MakeFolders(env, root, *parts, parts->size(), why)) return why;
    return kExtracted;
  }
  const std::optional<std::string> folder =
      MakeFolders(env, root, *parts, parts->size() - 1, why);
  if (!folder) return why;
  const std::string target = Join(*folder, parts->back());
  const bool exists = env.FileAttributes(target) >= 0;
  if (exists && (!overwrite || env.DirectoryExists(target))) return kKept;

  TemporaryFile temporary(env, *folder);
  platform::Stream* stream = temporary.stream();
  if (stream == nullptr) return "cannot create a file in " + *folder;
  const engine::EntryReadResult result = reader.ReadEntry(
      index, password,
      [stream](const uint8_t* data, size_t size) {
        return stream->Write(data, static_cast<int64_t>(size)) ==
               static_cast<int64_t>(size);
      });
  if (!result.ok()) return result.message + "; not extracted";
  if (!temporary.Publish(target, overwrite)) return "cannot write " + target;
  env.SetFileAge(target, platform::EncodeDosDateTime(entry.Modified));
  return kExtracted;
}

}  // namespace

int RunTest(const TzipOptions& options, std::ostream& out, std::ostream& err,
            platform::Env& env, engine::DialogService& dialogs) {
  const std::unique_ptr<OpenArchive> archive =
      OpenOrReport(options.archive, env, dialogs, err);
  if (archive == nullptr) return kTzipFailed;
  const bool recovered = archive->ReportRecovery(err);
  engine::TZAArchiveReader& reader = archive->reader();
  const std::string password = options.password.value_or("");
  const int32_t count = reader.EntryCount();
  int32_t failed = 0;
  for (int32_t i = 0; i < count; ++i) {
    const EntryInfo entry = reader.Entry(i);
    const engine::EntryReadResult result = reader.ReadEntry(i, password, {});
    if (!result.ok()) ++failed;
    out << EntryLine(entry, result.ok() ? "OK" : result.message);
  }
  out << count << (count == 1 ? " entry" : " entries")
      << " tested, ";
  if (failed == 0) {
    out << "all OK\n";
  } else {
    out << failed << " failed\n";
  }
  return failed == 0 && !recovered ? kTzipDone : kTzipFailed;
}

int RunExtract(const TzipOptions& options, std::ostream& out,
               std::ostream& err, platform::Env& env,
               engine::DialogService& dialogs) {
  const std::unique_ptr<OpenArchive> archive =
      OpenOrReport(options.archive, env, dialogs, err);
  if (archive == nullptr) return kTzipFailed;
  const std::string root =
      options.extract_dir.empty() ? std::string(".") : options.extract_dir;
  if (!MakeRoot(env, root)) {
    err << "tzip: cannot make the folder " << root << "\n";
    return kTzipFailed;
  }
  const bool recovered = archive->ReportRecovery(err);
  engine::TZAArchiveReader& reader = archive->reader();
  const std::string password = options.password.value_or("");
  int32_t matched = 0;
  int32_t extracted = 0;
  int32_t failed = 0;
  int32_t kept = 0;
  for (int32_t i = 0; i < reader.EntryCount(); ++i) {
    const EntryInfo entry = reader.Entry(i);
    if (!MatchesAny(entry.Name, options.masks)) continue;
    ++matched;
    const std::string verdict =
        ExtractEntry(reader, i, entry, root, password, options.overwrite, env);
    if (verdict == kExtracted) {
      ++extracted;
    } else if (verdict == kKept) {
      ++kept;
    } else {
      ++failed;
    }
    out << EntryLine(entry, verdict);
  }
  if (matched == 0) {
    err << "tzip: nothing to do: no entry matches\n";
    return kTzipNothingToDo;
  }
  out << extracted << (extracted == 1 ? " entry" : " entries")
      << " extracted to " << root;
  if (failed > 0) out << ", " << failed << " failed";
  if (kept > 0) out << ", " << kept << " existing kept (-o replaces them)";
  out << "\n";
  if (failed > 0 || recovered) return kTzipFailed;
  return kept > 0 ? kTzipFilesLeftOut : kTzipDone;
}

int RunJoin(const TzipOptions& options, std::ostream& out, std::ostream& err,
            platform::Env& env, engine::DialogService& dialogs) {
  const std::unique_ptr<OpenArchive> archive =
      OpenOrReport(options.archive, env, dialogs, err);
  if (archive == nullptr) return kTzipFailed;
  archive->ReportRecovery(err);
  const std::string& output = options.join_output;
  const std::string output_id = env.FileId(output);
  if (env.FileAttributes(output) >= 0) {
    for (const std::string& own : archive->zip().ArchiveFileNames()) {
      if (own == output || (!output_id.empty() && env.FileId(own) == output_id)) {
        err << "tzip: " << output << " is a volume of " << options.archive
            << "; give another name\n";
        return kTzipFailed;
      }
    }
    if (!options.overwrite) {
      err << "tzip: " << output << " exists; -o replaces it\n";
      return kTzipFailed;
    }
  }
  std::string folder = platform::ExtractFilePath(output);
  if (folder.empty()) folder = env.CurrentDirectory();
  TemporaryFile temporary(env, folder);
  if (temporary.stream() == nullptr) {
    err << "tzip: cannot create a file in " << folder << "\n";
    return kTzipFailed;
  }
  try {
    archive->reader().Join(*temporary.stream());
    if (!temporary.stream()->Flush()) throw platform::EWriteError();
  } catch (const platform::Exception& e) {
    err << e.ClassName() << ": " << e.what() << "\n";
    err << "tzip: " << output << " not written\n";
    return kTzipFailed;
  }
  if (!temporary.Publish(output, options.overwrite)) {
    err << "tzip: cannot rename " << temporary.name() << " to " << output
        << "\n";
    return kTzipFailed;
  }
  out << output << "\n";
  return kTzipDone;
}

}  // namespace tessaly::app
