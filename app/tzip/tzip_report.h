// What tzip tells its user while it packs: a progress line redrawn in place
// on a terminal (the file being packed and the overall percentage), and,
// with -v, one line per file packed with its sizes and ratio, in the words
// Info-ZIP's zip -v uses:
//     "  adding: dir/a.txt\t(in=1000) (out=120) (deflated 88%)"
// followed at the end by
//     "total bytes=1000, compressed=120 -> 88% savings".
#ifndef TESSALY_APP_TZIP_TZIP_REPORT_H_
#define TESSALY_APP_TZIP_TZIP_REPORT_H_

#include <cstdint>
#include <ostream>
#include <string>

#include "engine/archiver.h"

namespace tessaly::app {

// The ratio zip prints: the share of `in` saved, in whole percent, rounded
// to nearest; 0 when nothing was saved.
int SavedPercent(uint64_t in, uint64_t out);

class TzipReport {
 public:
  // `progress`: draw the progress line on `err` (a terminal `columns`
  // wide). `verbose`: list each file on `out`. Nothing is shown when both
  // are false. REQUIRES: the streams outlive the report.
  TzipReport(std::ostream& out, std::ostream& err, bool progress,
             bool verbose, int columns);

  // Sets the archiver's progress handlers. REQUIRES: `zip` outlives the
  // report's use of it (the handlers refer to the report).
  void Attach(engine::TZipArchiver& zip);

  // Clears the progress line and, with -v, prints the total line. Call once
  // the work is over, whatever its outcome.
  void Finish();

 private:
  void FileStarted(engine::TZipArchiver& zip, const std::string& name);
  void FileDone(engine::TZipArchiver& zip);
  void Draw();
  void ClearLine();

  std::ostream& out_;
  std::ostream& err_;
  const bool progress_;
  const bool verbose_;
  const int columns_;
  int32_t item_ = -1;     // the directory item being packed
  std::string current_;   // its stored name
  double percent_ = 0;
  size_t drawn_ = 0;      // characters of the line now on the terminal
  uint64_t total_in_ = 0;
  uint64_t total_out_ = 0;
  int files_ = 0;
};

}  // namespace tessaly::app

#endif  // TESSALY_APP_TZIP_TZIP_REPORT_H_
