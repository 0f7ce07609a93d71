// Why a run ends before its last test: SIGINT or SIGTERM, or output that can
// no longer be written. The signal handler only raises a flag; the run looks
// at it between steps and between rows, so that every line it printed is
// whole and every temporary file is removed on the way out.
#pragma once

namespace lab {

void InstallStopHandlers();  // SIGINT, SIGTERM, SIGHUP, SIGPIPE
void ResetStop();
void RequestStopForWriteError();
bool StopRequested();
int StopSignal();  // the signal that asked for the stop, or 0

}  // namespace lab
