// Two ways out of the run loop that skip every statement in between: the end
// of the program, and a Start that replaces the running series. Both travel as
// exceptions from the handler that causes them to the outermost frame that
// owns them.
#pragma once

namespace lab {

// Thrown by EndProgram: nothing of the caller or of any handler runs after it.
struct ProgramEnded {};

// Thrown by a Start pressed while a series runs: the old series unwinds to the
// Start that began it, which then begins the new one. The stack stays as deep
// as one series, however often Start is pressed.
struct SeriesReplaced {};

}  // namespace lab
