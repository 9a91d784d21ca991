#include "app/tzip.h"

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/archiver.h"
#include "engine/directory/dir_manager.h"
#include "platform/exception.h"

namespace tessaly::app {

namespace {

using engine::TZipArchiver;

void Configure(const TzipOptions& options, TZipArchiver& zip) {
  zip.FileName = options.archive;
  for (const std::string& mask : options.masks) zip.FileMasks.Add(mask);
  if (options.compression_mode) zip.SetCompressionMode(*options.compression_mode);
  zip.BaseDir = options.base_dir;
  zip.Options.Recurse = options.recurse;
  if (options.store_path) zip.Options.StorePath = *options.store_path;
  for (const std::string& mask : options.exclusions) zip.ExclusionMasks.Add(mask);
  for (const std::string& mask : options.no_compression) {
    zip.NoCompressionMasks.Add(mask);
  }
  if (options.split_size > 0) {
    zip.SetSpanningMode(engine::smSplitting);
    zip.SpanningOptions.VolumeSize = engine::vsCustom;
    zip.SpanningOptions.SetCustomVolumeSize(options.split_size);
    zip.SpanningOptions.AdvancedNaming = !options.classic_naming;
  }
  zip.Password = options.password;
  if (options.zip64) zip.Zip64Mode = *options.zip64;
  zip.Options.OEMFileNames = !options.ansi_names;
}

std::string FormatDosDateTime(uint16_t date, uint16_t time) {
  char text[32];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d",
                1980 + (date >> 9), (date >> 5) & 0x0F, date & 0x1F, time >> 11,
                (time >> 5) & 0x3F, (time & 0x1F) * 2);
  return text;
}

void List(TZipArchiver& zip, std::ostream& out) {
  zip.Open(engine::kOpenReadOnlyDenyNone);
  engine::TZADirArray& dir = zip.DirManager->Dir;
  for (int32_t i = 0; i < dir.Count(); ++i) {
    const engine::TDirItem& item = dir.ItemPtr(i);
    char line[160];
    std::snprintf(line, sizeof(line), "\t%" PRIu64 "\t%" PRIu64 "\t%u\t%08X\t%s",
                  item.UncompressedSize(), item.CompressedSize(),
                  unsigned{item.header.method}, unsigned{item.header.crc32},
                  FormatDosDateTime(item.header.mod_date, item.header.mod_time)
                      .c_str());
    out << item.StoredName << line << "\n";
  }
  out << dir.Count() << (dir.Count() == 1 ? " entry" : " entries") << "\n";
  zip.Close();
}

}  // namespace

int RunTzip(const TzipOptions& options, std::ostream& out, std::ostream& err,
            platform::Env& env, engine::DialogService& dialogs,
            bool show_progress) {
  TZipArchiver zip(env);
  zip.SetName("ZipArchiver");
  zip.SetDialogService(&dialogs);
  try {
    if (options.command == TzipCommand::kList) {
      zip.FileName = options.archive;
      List(zip, out);
      return 0;
    }
    Configure(options, zip);
    std::vector<std::string> volumes;
    zip.OnRequestBlankVolume = [&](engine::Component*, int32_t,
                                   std::string& name, bool&) {
      // A disk-full answer repeats the request for the same volume.
      if (volumes.empty() || volumes.back() != name) volumes.push_back(name);
    };
    if (show_progress) {
      zip.OnOverallProgress = [&](engine::Component*, double progress,
                                  engine::TZAProcessOperation,
                                  engine::TZAProgressPhase, bool&) {
        char text[32];
        std::snprintf(text, sizeof(text), "\rtzip: %5.1f%%", progress);
        err << text << std::flush;
      };
    }
    if (options.command == TzipCommand::kUpdate) {
      // One explicit transaction: a filled multi-volume archive accepts
      // changes only inside one.
      zip.Open();
      zip.BeginUpdate();
      zip.AddMatchingFiles();
      zip.EndUpdate();
    } else {
      zip.Open(engine::kOpenCreate);
      zip.AddMatchingFiles();
    }
    zip.Close();
    if (show_progress) err << "\n";
    // The last volume carries the archive's own name.
    if (!volumes.empty()) volumes.pop_back();
    for (const std::string& name : volumes) out << name << "\n";
    out << zip.FileName << "\n";
    // Done, but without some of the files (their boxes said which).
    return zip.FilesLeftOut > 0 ? 4 : 0;
  } catch (const platform::Exception& e) {
    if (show_progress) err << "\n";
    err << e.ClassName() << ": " << e.what() << "\n";
    return 1;
  }
}

}  // namespace tessaly::app
