#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "turn/turn_frame.h"

// Frames turned in worker processes, for turns that cannot run on threads:
// the image library keeps global state, so each worker, forked once the
// picture is loaded, turns with its own copy of it, while this process
// turns frames straight onto the sheet as one of them. A worker turns frames
// into a few slots of memory shared with this process and tells of each on
// a socket; this process copies it to its place between its own frames,
// gives the slot back and tells of progress. A worker touches only the
// turn, its socket, its slots and one shared page of counters, then leaves
// without running exit handlers, so a windowed program may fork it too.

struct FrameProcessRun {
  int processes = 2;  // this process and processes - 1 workers
  int frames = 0;
  // Where frame k goes, in this process.
  std::function<FrameCanvas(int k)> canvasOf;
  // Draws frame k on `canvas`: its place on the sheet in this process, a
  // block of the frame's own size in a worker.
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
