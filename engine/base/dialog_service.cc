#include "engine/base/dialog_service.h"

#include <atomic>
#include <iostream>

#include "engine/base/console_dialog_service.h"

namespace tessaly::engine {

std::string_view DialogButtonName(DialogButton button) {
  switch (button) {
    case kButtonOk:
      return "OK";
    case kButtonCancel:
      return "Cancel";
    case kButtonYes:
      return "Yes";
    case kButtonNo:
      return "No";
    case kButtonYesToAll:
      return "Yes to All";
    case kButtonNoToAll:
      return "No to All";
    case kButtonAbort:
      return "Abort";
    case kButtonRetry:
      return "Retry";
    case kButtonIgnore:
      return "Ignore";
  }
  return {};
}

DialogResult DialogButtonResult(DialogButton button) {
  switch (button) {
    case kButtonOk:
      return mrOk;
    case kButtonCancel:
      return mrCancel;
    case kButtonYes:
      return mrYes;
    case kButtonNo:
      return mrNo;
    case kButtonYesToAll:
      return mrYesToAll;
    case kButtonNoToAll:
      return mrNoToAll;
    case kButtonAbort:
      return mrAbort;
    case kButtonRetry:
      return mrRetry;
    case kButtonIgnore:
      return mrIgnore;
  }
  return mrNone;
}

DialogResult UnattendedAnswer(DialogButtons buttons) {
  if (buttons & kButtonCancel) return mrCancel;
  if (buttons & kButtonAbort) return mrAbort;
  if (buttons & kButtonNoToAll) return mrNo;
  if ((buttons & kButtonYes) && (buttons & kButtonNo)) return mrYes;
  if (buttons & kButtonOk) return mrOk;
  for (DialogButton button : kAllDialogButtons) {
    if (buttons & button) return DialogButtonResult(button);
  }
  return mrNone;
}

namespace {

std::atomic<DialogService*> installed_service{nullptr};

DialogService& ConsoleService() {
  // Never destroyed: boxes may still be shown from static destructors.
  static auto* service = new ConsoleDialogService(std::cin, std::cout);
  return *service;
}

}  // namespace

DialogService& DefaultDialogService() {
  DialogService* service = installed_service.load();
  return service ? *service : ConsoleService();
}

void SetDefaultDialogService(DialogService* service) {
  installed_service.store(service);
}

}  // namespace tessaly::engine
