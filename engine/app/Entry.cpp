#include "engine/app/Entry.h"

#include "engine/app/Application.h"

namespace vd {
namespace sys {

int RunApplication(CApplicationBase* (*create)()) {
  CApplicationBase* app = create ? create() : nullptr;
  if (!app) return 0;
  // On Linux the debugger output is standard error.
  app->logSinks.AddSink(new utl::CConsoleLogSink());
  if (app->Init(nullptr, 1)) {
    app->StartGame();
    app->MainLoop();
    app->EndGame();
  }
  app->Shutdown();
  // The process ends right after: deleting the application under a render thread
  // that still uses it would only make that thread read freed memory.
  if (!app->RenderThreadOutlivedShutdown()) delete app;
  return 0;
}

}  // namespace sys
}  // namespace vd
