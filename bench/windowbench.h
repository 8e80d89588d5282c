#ifndef WINDOWBENCH_H
#define WINDOWBENCH_H

// The window run in a process of its own: loads the data file in directory,
// shows every record once with the scroll bar, and prints the process's
// peak resident set size in KiB.
int browseAllAndReportPeakRss(const char *directory);

#endif // WINDOWBENCH_H
