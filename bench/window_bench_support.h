#pragma once

// What the benches of the real window share.

#include <QApplication>
#include <QTimer>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

// The whole process's CPU time: on a shared machine it shows the cost,
// whatever else runs beside.
inline double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Steps run from whichever loop is running, each until it returns true.
inline void RunSteps(std::vector<std::function<bool()>> steps) {
  auto* timer = new QTimer(qApp);
  auto next = std::make_shared<std::size_t>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, next, steps] {
    if (*next < steps.size() && steps[*next]()) ++*next;
    if (*next == steps.size()) timer->deleteLater();
  });
  timer->start(5);
}
