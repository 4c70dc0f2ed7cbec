#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace tessaly {

// Syncs a file that is being written, on a thread of its own, whenever asked, so that
// the sync before the file replaces another finds little left to do. On a disk with a
// write cache (a virtual machine's disk, say) a sync waits until everything written
// since the previous sync is stored, however early it was handed to the disk: for a
// 30 MB firmware that wait alone was longer than the whole merge's processing.
//
// A sync that fails is kept: the system reports a write error to only one sync of a
// file, so the later sync of the commit would not see it again.
class IncrementalSync {
public:
    // `fd` stays open and is not written to by this class; nothing is done for -1.
    explicit IncrementalSync(int fd) : fd_(fd) {}
    ~IncrementalSync() { finish(); }
    IncrementalSync(const IncrementalSync&) = delete;
    IncrementalSync& operator=(const IncrementalSync&) = delete;

    // More bytes were written: sync them soon. Requests while a sync runs are merged
    // into one more sync. Does not block.
    void request();
    // Waits for the sync that runs, drops the ones asked for, and ends the thread.
    void finish();
    // Whether a sync failed (true only after finish()).
    bool failed() const { return failed_; }

private:
    void run();

    int fd_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool pending_ = false;
    bool stopping_ = false;
    bool failed_ = false;
    std::thread thread_;
};

} // namespace tessaly
