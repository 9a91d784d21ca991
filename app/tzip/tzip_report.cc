#include "app/tzip/tzip_report.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace tessaly::app {

namespace {

// Names reach progress handlers with backslashes for forward slashes.
std::string WithBackslashes(std::string name) {
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The last `width` characters of UTF-8 `text` behind "...", or all of it
// when it fits.
std::string TailThatFits(const std::string& text, size_t width) {
  size_t characters = 0;
  for (char c : text) characters += IsContinuationByte(c) ? 0 : 1;
  if (characters <= width) return text;
  if (width <= 3) return std::string(width, '.');
  size_t skip = characters - (width - 3);
  size_t at = 0;
  while (at < text.size() && (skip > 0 || IsContinuationByte(text[at]))) {
    if (!IsContinuationByte(text[at])) --skip;
    ++at;
  }
  // `at` stops on the first byte of a character once `skip` is used up.
  while (at < text.size() && IsContinuationByte(text[at])) ++at;
  return "..." + text.substr(at);
}

}  // namespace

int SavedPercent(uint64_t in, uint64_t out) {
  if (in == 0 || out >= in) return 0;
  const double saved = static_cast<double>(in - out) * 100.0 /
                       static_cast<double>(in);
  return static_cast<int>(saved + 0.5);
}

TzipReport::TzipReport(std::ostream& out, std::ostream& err, bool progress,
                       bool verbose, int columns)
    : out_(out),
      err_(err),
      progress_(progress),
      verbose_(verbose),
      columns_(std::max(columns, 20)) {}

void TzipReport::Attach(engine::TZipArchiver& zip) {
  if (!progress_ && !verbose_) return;
  zip.OnFileProgress = [this, &zip](engine::Component*,
                                    const std::string& name, double,
                                    engine::TZAProcessOperation,
                                    engine::TZAProgressPhase phase, bool&) {
    if (phase == engine::ppStart) FileStarted(zip, name);
    if (phase == engine::ppEnd) FileDone(zip);
  };
  if (!progress_) return;
  zip.OnOverallProgress = [this](engine::Component*, double progress,
                                 engine::TZAProcessOperation,
                                 engine::TZAProgressPhase, bool&) {
    if (progress - percent_ < 0.1 && progress >= percent_) return;
    percent_ = progress;
    Draw();
  };
}

void TzipReport::FileStarted(engine::TZipArchiver& zip,
                             const std::string& name) {
  // Items are written in directory order: look from the last one on, then
  // from the start.
  const int32_t count = zip.EntryCount();
  const int32_t start = std::max(item_ + 1, 0);
  item_ = -1;
  current_ = name;
  for (int32_t step = 0; step < count; ++step) {
    const int32_t i = (start + step) % count;
    engine::EntryInfo entry = zip.Entry(i);
    if (WithBackslashes(entry.SourceFileName) == name ||
        WithBackslashes(entry.Name) == name) {
      item_ = i;
      current_ = std::move(entry.Name);
      break;
    }
  }
  Draw();
}

void TzipReport::FileDone(engine::TZipArchiver& zip) {
  if (!verbose_ || item_ < 0 || item_ >= zip.EntryCount()) return;
  const engine::EntryInfo entry = zip.Entry(item_);
  const uint64_t in = entry.UncompressedSize;
  const uint64_t out = entry.CompressedSize;
  total_in_ += in;
  total_out_ += out;
  ++files_;
  ClearLine();
  out_ << (entry.Action == engine::poUpdate ? "updating: " : "  adding: ")
       << entry.Name << "\t(in=" << in << ") (out=" << out << ")";
  if (entry.Method == 8) {
    out_ << " (deflated " << SavedPercent(in, out) << "%)\n";
  } else {
    out_ << " (stored 0%)\n";
  }
  out_.flush();
  Draw();
}

void TzipReport::Draw() {
  if (!progress_) return;
  char percent[16];
  std::snprintf(percent, sizeof(percent), "tzip: %3d%% ",
                static_cast<int>(percent_));
  std::string line = percent;
  line += TailThatFits(current_,
                       static_cast<size_t>(columns_ - 1) - line.size());
  size_t characters = 0;
  for (char c : line) characters += IsContinuationByte(c) ? 0 : 1;
  err_ << '\r' << line;
  if (characters < drawn_) err_ << std::string(drawn_ - characters, ' ');
  err_ << std::flush;
  drawn_ = std::max(drawn_, characters);
}

void TzipReport::ClearLine() {
  if (!progress_ || drawn_ == 0) return;
  err_ << '\r' << std::string(drawn_, ' ') << '\r' << std::flush;
  drawn_ = 0;
}

void TzipReport::Finish() {
  ClearLine();
  if (verbose_ && files_ > 0) {
    out_ << "total bytes=" << total_in_ << ", compressed=" << total_out_
         << " -> " << SavedPercent(total_in_, total_out_) << "% savings\n";
  }
}

}  // namespace tessaly::app
