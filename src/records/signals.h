// Why a run ends before its last test: SIGINT, SIGTERM or SIGHUP, or output
// that can no longer be written. The signal handler only raises a flag; the
// run looks at it between steps and between rows, merge between lines, and a
// write or read that waits on a pipe looks at it while it waits, so that
// every line printed is whole and every temporary file is removed on the way
// out. The flag belongs to the process: a program that installs the handlers
// passes StopRequested on to the series it runs.
#pragma once

namespace lab {

// SIGINT, SIGTERM and SIGHUP raise the flag and interrupt a system call that
// waits (no SA_RESTART); SIGPIPE is ignored, so that a reader that went away
// shows as a failed write (status 1).
void InstallStopHandlers();
void ResetStop();
void RequestStopForWriteError();
bool StopRequested();
int StopSignal();  // the signal that asked for the stop, or 0

}  // namespace lab
