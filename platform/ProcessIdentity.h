#pragma once

// This process's id, as the system numbers processes.
unsigned long CurrentProcessId();

// Whether a process with this id runs now. When the system will not say, it counts as
// running: whatever such a process may still be using is never taken away.
bool ProcessRuns(unsigned long pid);
