#pragma once

#include <QSaveFile>

namespace tessaly {

// Commits `file` like QSaveFile::commit() and then removes the leftover temporaries of
// its target, without making the caller wait while the file system frees the file it
// replaces. Freeing a large file takes time in the rename that replaces it (about
// 10 ms for 30 MB on ext4); while the old file is still open somewhere, the rename
// only takes its name, and the blocks are freed when it is closed. So it is held open
// across the commit and closed on the global thread pool, which QCoreApplication waits
// for before the program ends.
bool commitReleasingOldInBackground(QSaveFile& file);

} // namespace tessaly
