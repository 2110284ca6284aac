#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "core/progress.h"
#include "window/window_layer.h"

// Long work (reading a picture, making a strip, writing files) runs off the
// window's thread, so the window keeps painting. Past a moment a modal
// dialog shows how far it has come and offers Cancel.

// How far the work has come, shared with the thread doing it.
struct WorkProgress {
  std::atomic<long long> done{0};
  std::atomic<long long> total{0};  // frames; 0 while it counts bytes, or nothing yet
  std::atomic<bool> cancelled{false};

  // For the engine: keeps the count, and answers false once cancelled.
  ProgressHook Hook();
};

struct AppState;

// The main window's long work: one piece at a time, with its progress
// dialog.
class BackgroundWork {
 public:
  // `state` names the layer and the main window; it outlives this.
  explicit BackgroundWork(const AppState& state) : state_(state) {}

  // Runs `work` off the window's thread; then `finish` runs on it, told
  // whether the user cancelled. `label` says what is under way until there
  // is a count to show. One piece of work at a time: false, and nothing
  // started, while another runs. The image library is the worker's alone
  // meanwhile.
  bool Start(const std::string& label, std::function<void(WorkProgress&)> work,
             std::function<void(bool cancelled)> finish);
  bool Running() const { return work_.running; }

  // The main window's part: its work-end message and its delay timer.
  void OnWorkDone();
  void OnProgressDelay();

 private:
  class ProgressDialog;
  struct Work {
    std::shared_ptr<WorkProgress> progress;  // the worker holds it too
    std::function<void(bool)> finish;
    std::string label;
    bool running = false;
    bool ended = false;       // the worker is done; finish has still to run
    WindowHandle dialog = 0;  // the progress dialog, while it is up
  };

  WindowLayer& Layer() const;
  void Finish();

  const AppState& state_;
  Work work_;
};

constexpr unsigned kWorkDoneMessage = WM_APP + 1;
constexpr int kProgressDelayTimer = 1;
