#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "turn/turn_frame.h"

// Frames turned in worker processes, for turns that cannot run on threads:
// the image library keeps global state, so each worker, forked once the
// picture is loaded, turns with its own copy of it. A worker turns frames
// into memory of its own and sends each down a pipe; this process copies it
// to its place and tells of progress. A worker touches only the turn, its
// pipe and one shared page of counters, then leaves without running exit
// handlers, so a windowed program may fork it too.

struct FrameProcessRun {
  int processes = 2;  // workers; this process only gathers
  int frames = 0;
  // Where frame k goes, in this process.
  std::function<FrameCanvas(int k)> canvasOf;
  // Draws frame k on `canvas`, a block of the frame's own size, in a worker.
  std::function<bool(int k, const FrameCanvas& canvas, std::string* reason)> turn;
  // Told the frames done so far in this process; false stops the turning.
  std::function<bool(int done)> tell;
  // Memory the workers never touch (the sheet): its whole pages are left out
  // of them, so that this process writes there without copying pages.
  void* keepOut = nullptr;
  std::size_t keepOutBytes = 0;
};

// Runs the turn of every frame. False with the lowest failed frame (or -1
// when no single frame is to blame) and its reason when a frame failed, a
// worker ended abnormally, or `tell` stopped it; then some frames may be
// left unwritten, and `cancelled` says whether `tell` stopped it.
bool TurnInProcesses(const FrameProcessRun& run, int& failedFrame, std::string& failure,
                     bool& cancelled);
