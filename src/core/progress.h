#pragma once

#include <functional>

// Told how far a long job has come: `done` of `total` (total 0 when no end is
// known, as for bytes written). Answering false stops the job, which then
// fails as if it had met an error, leaving nothing half-made behind.
using ProgressHook = std::function<bool(long long done, long long total)>;
