#pragma once

// The process id of a process whose command name (between the first '(' and the last ')' of
// /proc/<pid>/stat) equals name, or -1. A hint above 0 is tried first, saving the scan of /proc
// when the process found last time still runs.
int find_proc_by_name(const char* name, int hint);
