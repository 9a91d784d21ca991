#include "app/collector/form_main.h"

#include <algorithm>
#include <new>
#include <vector>

#include "app/registry/registry.h"
#include "engine/volumes/volume_naming.h"
#include "platform/exception.h"
#include "platform/path.h"
#include "platform/text.h"

// The job runs inside the timer handler, on the GUI thread. The archiver's
// progress events pump the window's messages, so the window repaints, the
// busy indicator moves and the user can ask to close while it works; that
// request re-enters this class through Close().
//
// Two outcomes differ from a plain reading of the archiver's results:
// - The archiver handles a failure inside one entry itself (Abort in its
//   own box, or a next volume that cannot be had) by rolling the archive
//   back and returning normally. The archive then holds none of the data,
//   so the job counts as failed rather than reporting the files as sent;
//   the archiver's LastUpdate tells.
// - A granted close request ends the job as abandoned, whenever the answer
//   came: during the work it cancels the archiver at its next progress
//   event (which rolls the archive back); a request that arrives after the
//   archiver's last event (while the last block or the directory is
//   written) is answered at one more pump before the outcome is decided.
//   An abandoned job leaves no archive behind, and no further box. Once the
//   outcome is decided the job is done, and closing asks nothing more.

namespace tessaly::app {

using engine::Component;
using engine::DialogKind;

namespace {

// Split volumes named Orvane.z01, Orvane.z02, ..., the last one Orvane.zip.
constexpr engine::VolumeNaming kVolumeNaming{engine::smSplitting,
                                             /*advanced=*/false};

}  // namespace

TFormMain::TFormMain(UserInterface& ui, platform::Env& env)
    : WaitingGradient(ui.GuiSynchronizer()),
      ZipArchiver(env),
      ui_(ui),
      env_(env) {
  SetName("FormMain");

  LabelWait.SetName("LabelWait");
  LabelWait.Caption = "Please wait while files are zipped...";
  LabelWait.Bounds = {0, 0, 292, 24};
  LabelWait.Align = alTop;
  LabelWait.Alignment = taCenter;
  LabelWait.Layout = tlBottom;
  LabelWait.AutoSize = false;
  LabelWait.Font = TFont{"MS Sans Serif", -13, true, widgets::clActiveCaption};

  PanelWaiting.SetName("PanelWaiting");
  PanelWaiting.Bounds = {4, 36, 284, 32};
  PanelWaiting.BevelOuter = bvLowered;
  PanelWaiting.BevelWidth = 2;
  PanelWaiting.TabOrder = 0;

  // Settings applied as a form loads them: the band is built once, at
  // Loaded.
  WaitingGradient.BeginLoading();
  WaitingGradient.SetBounds(2, 2, 280, 28);
  WaitingGradient.SetGradientWidth(32);
  WaitingGradient.SetStartColor(widgets::clBtnHighlight);
  WaitingGradient.SetEndColor(widgets::clActiveCaption);
  WaitingGradient.SetAlwaysRestart(true);
  WaitingGradient.SetVisible(false);
  WaitingGradient.Loaded();

  Timer.SetName("Timer");
  Timer.SetEnabled(false);
  Timer.Interval = 100;
  Timer.OnTimer = [this](Component* sender) { TimerTick(sender); };

  ZipArchiver.SetName("ZipArchiver");
  ZipArchiver.SetDialogService(&ui_);
  ZipArchiver.ExtractCorruptedFiles = false;
  ZipArchiver.SetCompressionLevel(engine::clMax);
  ZipArchiver.SetCompressionMode(9);
  ZipArchiver.SetCurrentVersion("2.72 ");
  ZipArchiver.SetSpanningMode(kVolumeNaming.mode);
  ZipArchiver.SpanningOptions.AdvancedNaming = kVolumeNaming.advanced;
  ZipArchiver.SpanningOptions.VolumeSize = engine::vsCustom;
  ZipArchiver.SpanningOptions.SetCustomVolumeSize(2097152);
  ZipArchiver.Options.Recurse = false;
  // Files of the data folder only: a sub-folder whose name matches a mask
  // ("backup.dat") is not packed with its content.
  ZipArchiver.Options.SearchAttr &= ~static_cast<int32_t>(platform::kAttrDirectory);
  ZipArchiver.Options.StorePath = engine::spNoPath;
  ZipArchiver.Options.FlushBuffers = true;
  ZipArchiver.Options.OEMFileNames = true;
  ZipArchiver.SetInMemory(false);
  ZipArchiver.Zip64Mode = engine::zmDisabled;
  ZipArchiver.OnFileProgress =
      [this](Component* sender, const std::string& file_name, double progress,
             engine::TZAProcessOperation operation,
             engine::TZAProgressPhase phase, bool& cancel) {
        ZipArchiverFileProgress(sender, file_name, progress, operation, phase,
                                cancel);
      };
  ZipArchiver.OnOverallProgress = [this](Component* sender, double progress,
                                         engine::TZAProcessOperation operation,
                                         engine::TZAProgressPhase phase,
                                         bool& cancel) {
    ZipArchiverOverallProgress(sender, progress, operation, phase, cancel);
  };
  ZipArchiver.OnRequestBlankVolume = [this](Component* sender, int32_t number,
                                            std::string& name, bool& cancel) {
    ZipArchiverRequestBlankVolume(sender, number, name, cancel);
  };

  FormCreate(this);
}

TFormMain::~TFormMain() {
  // The indicator's steps must not reach a window that is going away.
  WaitingGradient.OnInvalidate = nullptr;
  WaitingGradient.SetActive(false);
}

void TFormMain::FormCreate(Component* /*Sender*/) {
  FVolumeCount = 0;
  FDone = false;
  FFailed = false;
  FArchiveName = "C:\\Orvane.zip";
  Timer.SetEnabled(true);
}

void TFormMain::FormCloseQuery(Component* /*Sender*/, bool& CanClose) {
  if (FDone) return;
  CanClose =
      ui_.MessageBox(DialogKind::kConfirmation, kAbandonText,
                     engine::kButtonYes | engine::kButtonNo) == engine::mrYes;
}

bool TFormMain::Close() {
  if (closed_) return true;
  if (in_close_query_) return false;
  bool can_close = true;
  in_close_query_ = true;
  try {
    FormCloseQuery(this, can_close);
  } catch (...) {
    in_close_query_ = false;
    throw;
  }
  in_close_query_ = false;
  if (!can_close) return false;
  closed_ = true;
  Timer.SetEnabled(false);
  WaitingGradient.SetActive(false);
  ui_.CloseWindow();
  return true;
}

void TFormMain::TimerTick(Component* /*Sender*/) {
  Timer.SetEnabled(false);
  FDataPath = LocateDataPath();
  if (FDataPath.empty()) {
    ShowError(kNotFoundText);
    return;
  }
  WaitingGradient.SetVisible(true);
  WaitingGradient.SetActive(true);
  ui_.RepaintPanel();

  ZipData();
  if (!closed_) ui_.ProcessMessages();

  if (closed_) {
    // The user abandoned the collection; the window is gone already.
    RemoveOutput();
    FDone = true;
    return;
  }
  FDone = true;
  if (FFailed) {
    ShowError(kFailedText);
  } else {
    ShowResult();
  }
  Close();
}

void TFormMain::ZipArchiverFileProgress(
    Component* /*Sender*/, const std::string& /*FileName*/, double /*Progress*/,
    engine::TZAProcessOperation, engine::TZAProgressPhase, bool& Cancel) {
  PumpDuringWork(Cancel);
}

void TFormMain::ZipArchiverOverallProgress(Component* /*Sender*/,
                                           double /*Progress*/,
                                           engine::TZAProcessOperation,
                                           engine::TZAProgressPhase,
                                           bool& Cancel) {
  PumpDuringWork(Cancel);
}

void TFormMain::PumpDuringWork(bool& Cancel) {
  ui_.ProcessMessages();
  if (closed_) Cancel = true;
}

void TFormMain::ZipArchiverRequestBlankVolume(Component* /*Sender*/,
                                              int32_t /*VolumeNumber*/,
                                              std::string& /*VolumeFileName*/,
                                              bool& /*Cancel*/) {
  ++FVolumeCount;
}

std::string TFormMain::ArchiveNameFor(std::string_view data_path) {
  // Cut whole characters, so a non-ASCII folder name never leaves half a
  // character behind; a byte that begins no complete character counts as
  // one.
  std::vector<size_t> starts;
  for (size_t i = 0; i < data_path.size();) {
    starts.push_back(i);
    i += platform::AnsiCharLength(data_path, i);
  }
  const size_t keep = starts.size() > 5 ? starts[starts.size() - 5] : 0;
  return std::string(data_path.substr(0, keep)) + "Orvane.zip";
}

std::string TFormMain::LocateDataPath() {
  std::string path;
  {
    TRegistry registry(KEY_ALL_ACCESS, ui_.RegistryFileName(), env_);
    try {
      registry.SetRootKey(HKEY_LOCAL_MACHINE);
      if (registry.OpenKey(std::string(kTessalyKey), false)) {
        path = registry.ReadString(std::string(kDataPathValue));
        registry.CloseKey();
      }
    } catch (const platform::Exception& e) {
      ShowException(e.ClassName(), e.Message(), " on Registry access!");
    }
  }
  if (!path.empty()) path = platform::IncludeTrailingPathDelimiter(path);
  FArchiveName = ArchiveNameFor(path);
  return path;
}

void TFormMain::RemoveOutput() {
  // Closed first: an open volume cannot be deleted on Windows.
  ZipArchiver.Close();
  RemoveAnyCase(FArchiveName);
  for (int32_t n = 1; n <= std::max(19, FVolumeCount - 1); ++n) {
    RemoveAnyCase(VolumeName(n));
  }
}

void TFormMain::ZipData() {
  RemoveOutput();

  ZipArchiver.FileName = FArchiveName;
  ZipArchiver.BaseDir = FDataPath;
  ZipArchiver.FileMasks.Add(FDataPath + "FileList.cfg");
  ZipArchiver.FileMasks.Add(FDataPath + "*.dat");
  ZipArchiver.FileMasks.Add(FDataPath + "*.rpt");
  ZipArchiver.FileMasks.Add(FDataPath + "*.bmp");

  bool nothing_to_send = false;
  try {
    ZipArchiver.Open(engine::kOpenCreate);
    ZipArchiver.AddMatchingFiles();
    nothing_to_send = ZipArchiver.EntryCount() == 0;
    ZipArchiver.Close();
  } catch (const platform::Exception& e) {
    ShowException(e.ClassName(), e.Message(), " during zipping!");
    FFailed = true;
    return;
  } catch (const std::bad_alloc&) {
    ShowException("EOutOfMemory", "Out of memory", " during zipping!");
    FFailed = true;
    return;
  } catch (const std::exception& e) {
    ShowException("Exception", e.what(), " during zipping!");
    FFailed = true;
    return;
  }
  // Rolled back (Abort, a volume that could not be had, or abandoned).
  if (ZipArchiver.LastUpdate().Outcome != engine::uoApplied) FFailed = true;
  // A missing or unreadable data folder, or one without data files: an
  // empty archive is no data to send.
  if (nothing_to_send) {
    FFailed = true;
    RemoveOutput();
  }
}

void TFormMain::ShowResult() {
  const std::string indent(8, ' ');
  std::string text = "Tessaly data has been zipped into: \r\n\r\n" + indent +
                     FArchiveName + "\r\n";
  for (int32_t i = 1; i <= FVolumeCount - 1; ++i) {
    // As spelt on disk, which may differ in letter case.
    const std::string name = VolumeName(i);
    const std::string on_disk = engine::ExistingVolumeName(env_, name);
    text += indent + (on_disk.empty() ? name : on_disk) + "\r\n";
  }
  text += "\r\nPlease send as attachments to separate emails.";
  ui_.MessageBox(DialogKind::kInformation, text, engine::kButtonOk);
  result_shown_ = true;
}

void TFormMain::ShowException(const char* class_name,
                              const std::string& message,
                              std::string_view context) {
  std::string text = "Exception \"";
  text += class_name;
  text += ": ";
  text += message;
  text += "\"";
  text += context;
  ShowError(text);
}

void TFormMain::ShowError(std::string_view text) {
  ui_.MessageBox(DialogKind::kError, text, engine::kButtonOk);
}

std::string TFormMain::VolumeName(int32_t n) const {
  return engine::VolumeFileName(FArchiveName, n - 1, kVolumeNaming);
}

void TFormMain::RemoveAnyCase(const std::string& name) {
  for (const std::string& each : engine::FileNamesAnyCase(env_, name)) {
    env_.RemoveFile(each);
  }
}

}  // namespace tessaly::app
