#pragma once

// The library's own team of threads for its parallel loops.
//
// A loop hands out its pieces one at a time to the caller's thread and up
// to threads - 1 team threads, each taking the next piece when it is free,
// so a thread that shares its core with another process takes fewer pieces
// instead of holding the others back. The caller returns once every piece
// is done; a team thread that wakes after the last piece was taken does not
// delay it.
//
// Waiting: a thread spins for the next loop, and the caller for the last
// pieces, only briefly (never longer than the thread's own share of the loop
// just run, and at most kMaxSpinMicroseconds), then sleeps until woken. So
// on a busy machine the cores go to whoever has work, and a sleeping thread
// wakes ahead of processes that have run for long.
//
// One loop runs on the team at a time; a loop started while the team is
// taken (by another caller's thread, or from inside a piece) runs on its
// caller's thread alone. A child of fork() starts a team of its own at its
// first loop.
//
// The team lasts as long as the process. The shared library is linked to
// stay mapped once loaded, so a host that unloads it leaves the team asleep
// on code that is still there, and finds the same team at the next load.

#include <cstdint>

namespace tarvic {

// The cores the process may run on (its affinity mask), at least 1.
int usableCores();

// The team threads this process has started so far (0 before its first
// loop, and in a child of fork() before the child's first loop). Each holds
// its stack and has taken its malloc arena when it started.
int teamThreadsStarted();

namespace team_detail {

// Runs piece(context, p, worker) for p = 0 .. count-1 on up to `threads`
// threads, worker 0 being the caller's thread. An exception cannot leave a
// team thread, so a piece is noexcept by its type: a piece that may fail
// catches inside and hands the failure to its caller (forEachPlane).
using PieceFunction = void (*)(void* context, int64_t piece, int worker) noexcept;
void runPieces(int64_t count, int threads, PieceFunction piece, void* context);

// Microseconds a waiting thread spins at most before it sleeps.
constexpr int64_t kMaxSpinMicroseconds = 50;

}  // namespace team_detail

}  // namespace tarvic
