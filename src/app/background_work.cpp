#include "app/background_work.h"

#include <cstdio>
#include <memory>

#include "app/app_state.h"
#include "resources/resource_ids.h"

namespace {

// Work that ends sooner shows no dialog at all.
constexpr int kProgressDelayMs = 300;
constexpr int kProgressUpdateTimer = 1;
constexpr int kProgressUpdateMs = 100;

struct Work {
  std::shared_ptr<WorkProgress> progress;  // the worker holds it too
  std::function<void(bool)> finish;
  std::string label;
  bool running = false;
  bool ended = false;       // the worker is done; finish has still to run
  WindowHandle dialog = 0;  // the progress dialog, while it is up
} g_work;

WindowLayer& Layer() {
  return *g_appState.Instance;
}

void Finish() {
  std::function<void(bool)> finish = std::move(g_work.finish);
  const bool cancelled = g_work.progress->cancelled;
  g_work = Work();
  finish(cancelled);
}

void ShowCount(WindowHandle window) {
  const WorkProgress& progress = *g_work.progress;
  const long long done = progress.done;
  const long long total = progress.total;
  std::string text = g_work.label;
  if (progress.cancelled) {
    text = "Cancelling...";
  } else if (total > 0) {
    text = std::to_string(done) + " of " + std::to_string(total) + " frames done";
  } else if (done > 0) {
    char megabytes[32];
    std::snprintf(megabytes, sizeof megabytes, "%.1f MB written", double(done) / 1e6);
    text = megabytes;
  }
  Layer().SetControlText(window, kProgressText, text);
}

void Cancel(WindowHandle window) {
  g_work.progress->cancelled = true;
  Layer().EnableControl(window, IDCANCEL, false);
  ShowCount(window);
}

// It ends only when the work does; Cancel asks the work to stop.
bool ProgressDialogProc(WindowHandle window, unsigned message, WParam wParam, LParam) {
  switch (message) {
    case WM_INITDIALOG:
      g_work.dialog = window;
      ShowCount(window);
      Layer().SetTimer(window, kProgressUpdateTimer, kProgressUpdateMs);
      return true;
    case WM_TIMER:
      ShowCount(window);
      return true;
    case WM_COMMAND:
      if (LowWord(wParam) == IDCANCEL) Cancel(window);  // also Escape
      return true;
    case WM_CLOSE:
      Cancel(window);
      return true;
    case WM_DESTROY:
      Layer().KillTimer(window, kProgressUpdateTimer);
      g_work.dialog = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace

ProgressHook WorkProgress::Hook() {
  return [this](long long doneNow, long long totalNow) {
    total = totalNow;
    done = doneNow;
    return !cancelled;
  };
}

bool StartWork(const std::string& label, std::function<void(WorkProgress&)> work,
               std::function<void(bool cancelled)> finish) {
  if (g_work.running) return false;
  auto progress = std::make_shared<WorkProgress>();
  g_work = Work{progress, std::move(finish), label, true};
  const WindowHandle window = g_appState.MainWindow;
  Layer().SetTimer(window, kProgressDelayTimer, kProgressDelayMs);
  Layer().StartWork(
      window, [progress, work = std::move(work)] { work(*progress); }, kWorkDoneMessage);
  return true;
}

bool WorkRunning() {
  return g_work.running;
}

void OnWorkDone() {
  if (!g_work.running) return;
  g_work.ended = true;
  Layer().KillTimer(g_appState.MainWindow, kProgressDelayTimer);
  // With the dialog up, the work finishes once the dialog has gone.
  if (g_work.dialog) {
    Layer().EndDialog(g_work.dialog, IDOK);
  } else {
    Finish();
  }
}

void OnProgressDelay() {
  const WindowHandle window = g_appState.MainWindow;
  Layer().KillTimer(window, kProgressDelayTimer);
  if (!g_work.running || g_work.ended) return;
  Layer().RunModalDialog(kProgressTemplate, window, ProgressDialogProc);
  if (g_work.running && g_work.ended) Finish();
}
