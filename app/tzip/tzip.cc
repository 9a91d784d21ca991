// Creating an archive afresh first runs the file selection on an archive in
// memory: when no mask selects anything, nothing is created and an existing
// archive of that name is left alone, as Info-ZIP's zip leaves it ("Nothing
// to do"). Updating selects inside the update's own transaction and drops
// it when nothing was selected, so the archive is not rewritten.
#include "app/tzip/tzip.h"

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "app/tzip/tzip_reading.h"
#include "app/tzip/tzip_report.h"
#include "engine/archiver.h"
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
  zip.Password = options.password.value_or("");
  zip.Zip64Mode = options.zip64;
  zip.Options.OEMFileNames = !options.ansi_names;
  if (options.threads) zip.CompressionThreads = *options.threads;
}

void List(TZipArchiver& zip, std::ostream& out) {
  zip.Open(engine::kOpenReadOnlyDenyNone);
  const int32_t count = zip.EntryCount();
  for (int32_t i = 0; i < count; ++i) {
    const engine::EntryInfo entry = zip.Entry(i);
    const platform::CivilTime& t = entry.Modified;
    char line[160];
    std::snprintf(line, sizeof(line),
                  "\t%" PRIu64 "\t%" PRIu64
                  "\t%u\t%08X\t%04d-%02d-%02d %02d:%02d:%02d",
                  entry.UncompressedSize, entry.CompressedSize,
                  unsigned{entry.Method}, unsigned{entry.Crc32}, t.year,
                  t.month, t.day, t.hour, t.minute, t.second);
    out << entry.Name << line << "\n";
  }
  out << count << (count == 1 ? " entry" : " entries") << "\n";
  zip.Close();
}

int32_t PendingCount(TZipArchiver& zip) {
  int32_t pending = 0;
  for (int32_t i = 0; i < zip.EntryCount(); ++i) {
    if (zip.Entry(i).Pending) ++pending;
  }
  return pending;
}

// Reports every mask of `zip`'s last selection that found nothing; returns
// whether anything at all is pending.
bool ReportSelection(TZipArchiver& zip, const TzipOptions& options,
                     std::ostream& err) {
  const std::vector<int32_t>& counts = zip.MaskMatchCounts();
  for (size_t i = 0; i < counts.size() && i < options.masks.size(); ++i) {
    if (counts[i] == 0) err << "tzip: nothing matches " << options.masks[i] << "\n";
  }
  return PendingCount(zip) > 0;
}

// The selection of a new archive, made on an archive in memory: whether it
// selects anything (masks that find nothing are reported on `err`).
bool SelectsAnything(const TzipOptions& options, platform::Env& env,
                     engine::DialogService& dialogs, std::ostream& err) {
  TZipArchiver probe(env);
  probe.SetName("ZipArchiver");
  probe.SetDialogService(&dialogs);
  Configure(options, probe);
  probe.SetInMemory(true);
  // A file that fails here is offered to the user when it is packed.
  probe.OnProcessFileFailure =
      [](engine::Component*, const std::string&, engine::TZAProcessOperation,
         int32_t, int32_t, const std::string&,
         engine::TZAAction& action) { action = engine::fxaIgnore; };
  probe.Open(engine::kOpenCreate);
  probe.BeginUpdate();  // selected only: the outer level is never applied
  probe.AddMatchingFiles();
  const bool any = ReportSelection(probe, options, err);
  probe.DiscardUpdate();
  probe.Close();
  return any;
}

// Says on `err` why the update was rolled back.
void ReportRollBack(const engine::TZAUpdateResult& update, std::ostream& err) {
  switch (update.Outcome) {
    case engine::uoCancelled:
      err << "tzip: the update was cancelled";
      break;
    case engine::uoAborted:
      if (!update.Message.empty()) err << "tzip: " << update.Message << "\n";
      err << (update.NativeError == engine::kCodeVolumeDeclined
                  ? "tzip: a volume could not be obtained; the update was "
                    "rolled back"
                  : "tzip: the update was aborted");
      break;
    default:
      if (!update.Message.empty()) err << "tzip: " << update.Message << "\n";
      err << "tzip: the update was not applied";
      break;
  }
  err << (update.RolledBack
              ? "; the archive is unchanged\n"
              : "; the archive could not be put back as it was\n");
}

}  // namespace

int RunTzip(const TzipOptions& options, std::ostream& out, std::ostream& err,
            platform::Env& env, engine::DialogService& dialogs,
            bool stderr_is_terminal, int columns) {
  switch (options.command) {
    case TzipCommand::kTest:
      return RunTest(options, out, err, env, dialogs);
    case TzipCommand::kExtract:
      return RunExtract(options, out, err, env, dialogs);
    case TzipCommand::kJoin:
      return RunJoin(options, out, err, env, dialogs);
    default:
      break;
  }
  TZipArchiver zip(env);
  zip.SetName("ZipArchiver");
  zip.SetDialogService(&dialogs);
  TzipReport report(out, err,
                    stderr_is_terminal &&
                        options.verbosity != TzipVerbosity::kQuiet,
                    options.verbosity == TzipVerbosity::kVerbose, columns);
  try {
    if (options.command == TzipCommand::kList) {
      zip.FileName = options.archive;
      List(zip, out);
      return kTzipDone;
    }
    Configure(options, zip);
    const bool fresh = options.command == TzipCommand::kCreate ||
                       !env.FileExists(options.archive);
    if (fresh && !SelectsAnything(options, env, dialogs, err)) {
      err << "tzip: nothing to do: " << options.archive << " not written\n";
      return kTzipNothingToDo;
    }
    std::vector<std::string> volumes;
    zip.OnRequestBlankVolume = [&](engine::Component*, int32_t,
                                   std::string& name, bool&) {
      // A disk-full answer repeats the request for the same volume.
      if (volumes.empty() || volumes.back() != name) volumes.push_back(name);
    };
    report.Attach(zip);
    if (!fresh) {
      // One explicit transaction: a filled multi-volume archive accepts
      // changes only inside one.
      zip.Open();
      zip.BeginUpdate();
      zip.AddMatchingFiles();
      if (!zip.IsUpdating()) {
        // Aborted while selecting: the transaction is gone, nothing written.
        zip.Close();
        ReportRollBack(zip.LastUpdate(), err);
        return kTzipRolledBack;
      }
      if (!ReportSelection(zip, options, err)) {
        zip.DiscardUpdate();
        zip.Close();
        err << "tzip: nothing to do: " << options.archive
            << " left as it was\n";
        return kTzipNothingToDo;
      }
      zip.EndUpdate();
    } else {
      zip.Open(engine::kOpenCreate);
      zip.AddMatchingFiles();
    }
    zip.Close();
    report.Finish();
    const engine::TZAUpdateResult& update = zip.LastUpdate();
    if (update.Outcome != engine::uoApplied &&
        update.Outcome != engine::uoNone) {
      ReportRollBack(update, err);
      return update.RolledBack ? kTzipRolledBack : kTzipFailed;
    }
    // The last volume carries the archive's own name.
    if (!volumes.empty()) volumes.pop_back();
    for (const std::string& name : volumes) out << name << "\n";
    out << zip.FileName << "\n";
    if (!update.FilesLeftOut.empty()) {
      err << "tzip: " << update.FilesLeftOut.size()
          << (update.FilesLeftOut.size() == 1 ? " file was" : " files were")
          << " left out:\n";
      for (const std::string& name : update.FilesLeftOut) {
        err << "  " << name << "\n";
      }
      return kTzipFilesLeftOut;
    }
    return kTzipDone;
  } catch (const platform::Exception& e) {
    report.Finish();
    err << e.ClassName() << ": " << e.what() << "\n";
    if (zip.LastUpdate().Outcome == engine::uoRefused) {
      err << "tzip: the update was refused; the archive is unchanged\n";
      return kTzipRolledBack;
    }
    if (zip.LastUpdate().Outcome == engine::uoFailed) {
      err << (zip.LastUpdate().RolledBack
                  ? "tzip: the update was rolled back; the archive is "
                    "unchanged\n"
                  : "tzip: the archive could not be put back as it was\n");
    }
    return kTzipFailed;
  }
}

}  // namespace tessaly::app
