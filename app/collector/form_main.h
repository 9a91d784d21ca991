// TFormMain: the collector's one window and its one job. Shortly after the
// window opens, its timer runs the whole job once on the GUI thread: find
// the Tessaly data folder through the registry, remove the archive and
// volumes of an earlier run, pack the data files into "Orvane.zip" split
// into 2 MiB volumes beside the data folder, and tell the user which files
// to send. The window then closes itself.
//
// The class is toolkit-neutral: it talks to a UserInterface for boxes, the
// message pump and the window, and to a platform::Env for files.
//
// Thread rules: GUI thread only.
#ifndef TESSALY_APP_COLLECTOR_FORM_MAIN_H_
#define TESSALY_APP_COLLECTOR_FORM_MAIN_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/collector/form_components.h"
#include "app/collector/user_interface.h"
#include "engine/archiver.h"
#include "engine/base/component.h"
#include "platform/env.h"
#include "widgets/waiting_gradient.h"

namespace tessaly::app {

// The registry key and value that hold the data folder.
inline constexpr std::string_view kTessalyKey =
    "\\SOFTWARE\\Data Access Corporation\\Visual DataFlex\\5\\Workspaces\\"
    "Tessaly";
inline constexpr std::string_view kDataPathValue = "DataPath";

// Collector messages.
inline constexpr std::string_view kNotFoundText =
    "Unable to locate Tessaly database!";
inline constexpr std::string_view kFailedText = "Zip of Tessaly data failed!";
inline constexpr std::string_view kAbandonText = "Abandon collection of files?";

class TFormMain : public engine::Component {
 public:
  // Builds the window's components with their design-time settings and
  // runs FormCreate. `ui` and `env` must outlive the form.
  explicit TFormMain(UserInterface& ui,
                     platform::Env& env = platform::Env::Default());
  ~TFormMain() override;

  // ---- Window settings --------------------------------------------------
  std::string Caption = "Tessaly Data Zipper";
  int Width = 300;  // outer size, fixed (minimum = maximum)
  int Height = 112;
  TPosition Position = poDesktopCenter;
  widgets::TColor Color = widgets::clBtnFace;
  TFont Font;

  // ---- Components, in creation order --------------------------------------
  TLabel LabelWait;
  TPanel PanelWaiting;
  widgets::TWaitingGradient WaitingGradient;  // child of PanelWaiting
  TTimer Timer;
  engine::TZipArchiver ZipArchiver;

  // ---- Handlers -------------------------------------------------------------
  // Resets the job's fields and enables Timer.
  void FormCreate(engine::Component* Sender);
  // Before the job is done, asks "Abandon collection of files?"; CanClose
  // becomes true only for Yes. After it, leaves CanClose alone.
  void FormCloseQuery(engine::Component* Sender, bool& CanClose);
  // The whole job, once.
  void TimerTick(engine::Component* Sender);
  // Both pump the window's messages. Once the user has agreed to abandon
  // the collection they answer Cancel, so the archiver stops and rolls
  // back instead of working on behind a closed window.
  void ZipArchiverFileProgress(engine::Component* Sender,
                               const std::string& FileName, double Progress,
                               engine::TZAProcessOperation Operation,
                               engine::TZAProgressPhase ProgressPhase,
                               bool& Cancel);
  void ZipArchiverOverallProgress(engine::Component* Sender, double Progress,
                                  engine::TZAProcessOperation Operation,
                                  engine::TZAProgressPhase ProgressPhase,
                                  bool& Cancel);
  // Counts the volumes the archiver starts.
  void ZipArchiverRequestBlankVolume(engine::Component* Sender,
                                     int32_t VolumeNumber,
                                     std::string& VolumeFileName, bool& Cancel);

  // ---- The window -----------------------------------------------------------
  // A close request (the close button, or the job's own close): asks
  // FormCloseQuery and, when allowed, stops the timer and closes the window.
  // Returns whether the window is closed. A request made while the
  // confirmation of an earlier one is still open is ignored.
  bool Close();
  bool Closed() const { return closed_; }

  // The process exit code: 0 once the success message has been shown, 1
  // otherwise (no data folder, a failed or abandoned job).
  int ExitCode() const { return result_shown_ ? 0 : 1; }

  // The archive name for a data folder given with its trailing delimiter:
  // the folder less its last five characters (UTF-8 sequences; a byte that
  // begins no complete sequence is one character), followed by
  // "Orvane.zip"; just "Orvane.zip" when five or fewer remain.
  static std::string ArchiveNameFor(std::string_view data_path);

  // ---- Job state, read-only -----------------------------------------------
  bool Done() const { return FDone; }
  bool Failed() const { return FFailed; }
  const std::string& DataPath() const { return FDataPath; }
  int32_t VolumeCount() const { return FVolumeCount; }
  const std::string& ArchiveName() const { return FArchiveName; }

 private:
  // Reads the data folder from the registry (with a trailing delimiter; ""
  // when unknown) and sets FArchiveName.
  std::string LocateDataPath();
  // Removes the previous output and runs the archiver; sets FFailed, also
  // when the archive would hold no file (its output is then removed).
  void ZipData();
  // Closes the archiver and deletes the archive and its volumes (01 to 19,
  // or as many as this run made), whatever the letter case of their names.
  void RemoveOutput();
  // Shows which files were written.
  void ShowResult();
  // Pumps the window's messages from a progress event; Cancel once the
  // collection has been abandoned.
  void PumpDuringWork(bool& Cancel);

  // "Exception "<class>: <message>"<context>" in an error box.
  void ShowException(const char* class_name, const std::string& message,
                     std::string_view context);
  void ShowError(std::string_view text);
  // The name of volume n (1 for the first) of the archive: Orvane.z01, ...
  std::string VolumeName(int32_t n) const;
  // Deletes every file whose name equals `name` but for letter case.
  void RemoveAnyCase(const std::string& name);

  bool FDone = false;
  bool FFailed = false;
  std::string FDataPath;
  int32_t FVolumeCount = 0;
  std::string FArchiveName;

  UserInterface& ui_;
  platform::Env& env_;
  bool closed_ = false;
  bool in_close_query_ = false;
  bool result_shown_ = false;
};

}  // namespace tessaly::app

#endif  // TESSALY_APP_COLLECTOR_FORM_MAIN_H_
