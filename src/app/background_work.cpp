#include "app/background_work.h"

#include <cstdio>
#include <memory>

#include "app/app_state.h"
#include "dialogs/dialog.h"
#include "resources/resource_ids.h"

namespace {

// Work that ends sooner shows no dialog at all.
constexpr int kProgressDelayMs = 300;
constexpr int kProgressUpdateTimer = 1;
constexpr int kProgressUpdateMs = 100;

}  // namespace

// It ends only when the work does; Cancel asks the work to stop.
class BackgroundWork::ProgressDialog : public Dialog {
 public:
  ProgressDialog(WindowLayer& layer, Work& work) : Dialog(layer, kProgressTemplate), work_(work) {}

 protected:
  void Init(WindowHandle window) override {
    work_.dialog = window;
    ShowCount(window);
    Layer().SetTimer(window, kProgressUpdateTimer, kProgressUpdateMs);
  }
  void Cancel(WindowHandle window) override {
    work_.progress->cancelled = true;
    Layer().EnableControl(window, IDCANCEL, false);
    ShowCount(window);
  }
  void Close(WindowHandle window) override { Cancel(window); }
  bool Accept(WindowHandle) override { return false; }
  bool Message(WindowHandle window, unsigned message, WParam, LParam) override {
    if (message == WM_TIMER) {
      ShowCount(window);
      return true;
    }
    if (message == WM_DESTROY) {
      Layer().KillTimer(window, kProgressUpdateTimer);
      work_.dialog = 0;
      return true;
    }
    return false;
  }

 private:
  void ShowCount(WindowHandle window) {
    const WorkProgress& progress = *work_.progress;
    const long long done = progress.done;
    const long long total = progress.total;
    std::string text = work_.label;
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

  Work& work_;
};

ProgressHook WorkProgress::Hook() {
  return [this](long long doneNow, long long totalNow) {
    total = totalNow;
    done = doneNow;
    return !cancelled;
  };
}

WindowLayer& BackgroundWork::Layer() const {
  return *state_.Instance;
}

void BackgroundWork::Finish() {
  std::function<void(bool)> finish = std::move(work_.finish);
  const bool cancelled = work_.progress->cancelled;
  work_ = Work();
  finish(cancelled);
}

bool BackgroundWork::Start(const std::string& label, std::function<void(WorkProgress&)> work,
                           std::function<void(bool cancelled)> finish) {
  if (work_.running) return false;
  auto progress = std::make_shared<WorkProgress>();
  work_ = Work{progress, std::move(finish), label, true};
  const WindowHandle window = state_.MainWindow;
  Layer().SetTimer(window, kProgressDelayTimer, kProgressDelayMs);
  Layer().StartWork(
      window, [progress, work = std::move(work)] { work(*progress); }, kWorkDoneMessage);
  return true;
}

void BackgroundWork::OnWorkDone() {
  if (!work_.running) return;
  work_.ended = true;
  Layer().KillTimer(state_.MainWindow, kProgressDelayTimer);
  // With the dialog up, the work finishes once the dialog has gone.
  if (work_.dialog) {
    Layer().EndDialog(work_.dialog, IDOK);
  } else {
    Finish();
  }
}

void BackgroundWork::OnProgressDelay() {
  const WindowHandle window = state_.MainWindow;
  Layer().KillTimer(window, kProgressDelayTimer);
  if (!work_.running || work_.ended) return;
  ProgressDialog(Layer(), work_).Run(window);
  if (work_.running && work_.ended) Finish();
}
