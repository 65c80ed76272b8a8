#pragma once

// This process's id, as the system numbers processes.
unsigned long CurrentProcessId();

// Whether a process with this id runs now. When the system will not say, it counts as
// running: whatever such a process may still be using is never taken away.
bool ProcessRuns(unsigned long pid);

// Whether this process has the rights the graphics driver asks of a change to a card: root on
// Linux; on Windows the programs run elevated.
bool RunsAsAdministrator();
