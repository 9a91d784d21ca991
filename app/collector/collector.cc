#include "app/collector/collector.h"

#include "app/collector/form_main.h"
#include "engine/base/dialog_service.h"

namespace tessaly::app {

int RunCollector(UserInterface& ui, platform::Env& env) {
  engine::SetDefaultDialogService(&ui);
  int code = 1;
  try {
    TFormMain form(ui, env);
    ui.Run(form);
    code = form.ExitCode();
  } catch (...) {
    engine::SetDefaultDialogService(nullptr);
    throw;
  }
  engine::SetDefaultDialogService(nullptr);
  return code;
}

}  // namespace tessaly::app
