#pragma once
// SIGINT and SIGTERM as quit requests: the application's quit flag is set, so the
// render loop ends as it does for the quit key, and a script call that is running
// is stopped. A second signal ends the process as it would without the handler.

namespace vd {
namespace sys {

class CApplicationBase;

// The application whose quit flag the signals set; replaces an earlier one.
void InstallQuitSignals(CApplicationBase* app);
// Gives back the handlers found at the install, when `app` is the one installed.
void RemoveQuitSignals(CApplicationBase* app);

}  // namespace sys
}  // namespace vd
