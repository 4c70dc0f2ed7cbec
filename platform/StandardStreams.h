#pragma once

namespace tessaly {

// Makes standard output and standard error pass bytes through unchanged, so that a
// command's output is the same on every platform: a CSV export keeps its CR LF line
// ends, and a line ends with LF alone. (One source file per platform implements it;
// Windows' C runtime would otherwise turn every LF into CR LF.) A Windows console shows
// that UTF-8 as such for the run.
void useBinaryStandardStreams();

} // namespace tessaly
