// The toolkit-neutral components of the main window: a label, a panel and a
// timer, described by their design-time settings. A user interface
// (app/collector/user_interface.h) turns them into real widgets and drives
// the timer; the window's logic (app/collector/form_main.h) only sets and
// reads them.
#ifndef TESSALY_APP_COLLECTOR_FORM_COMPONENTS_H_
#define TESSALY_APP_COLLECTOR_FORM_COMPONENTS_H_

#include <cstdint>
#include <functional>
#include <string>

#include "engine/base/archiver_events.h"
#include "engine/base/component.h"
#include "widgets/color.h"

namespace tessaly::app {

enum TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout : uint8_t { tlTop, tlCenter, tlBottom };
enum TBevelCut : uint8_t { bvNone, bvLowered, bvRaised, bvSpace };
enum TPosition : uint8_t {
  poDesigned,
  poDefault,
  poScreenCenter,
  poDesktopCenter
};

// A font as the window describes it: `Height` in pixels (negative: the
// character height without internal leading, as the class library stores
// it).
struct TFont {
  std::string Name = "MS Sans Serif";
  int Height = -11;
  bool Bold = false;
  widgets::TColor Color = widgets::clWindowText;
};

struct TBounds {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
};

class TLabel : public engine::Component {
 public:
  std::string Caption;
  TBounds Bounds;
  TAlign Align = alNone;
  TAlignment Alignment = taLeftJustify;
  TTextLayout Layout = tlTop;
  bool AutoSize = true;
  TFont Font;
};

class TPanel : public engine::Component {
 public:
  TBounds Bounds;
  TBevelCut BevelOuter = bvRaised;
  int BevelWidth = 1;
  int TabOrder = 0;
  widgets::TColor Color = widgets::clBtnFace;
};

// A timer that fires OnTimer every Interval milliseconds while Enabled. The
// user interface does the waiting: it watches OnChange and calls Tick when
// the interval has passed.
class TTimer : public engine::Component {
 public:
  uint32_t Interval = 1000;
  engine::TNotifyEvent OnTimer;
  // Set by the user interface: called after Enabled changed.
  std::function<void()> OnChange;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (OnChange) OnChange();
  }

  // One interval has passed: runs OnTimer if the timer is still enabled.
  void Tick() {
    if (enabled_ && OnTimer) OnTimer(this);
  }

 private:
  bool enabled_ = true;
};

}  // namespace tessaly::app

#endif  // TESSALY_APP_COLLECTOR_FORM_COMPONENTS_H_
