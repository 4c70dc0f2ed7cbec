#pragma once

namespace tessaly {

// Where a merge reports how far it has come: one step per line read or written.
// The dialog shows it on its progress bar; the merge calls it for every line, so a
// display is expected to repaint only when the shown position changes.
class MergeProgress {
public:
    virtual ~MergeProgress() = default;
    virtual void setMaximum(int maximum) = 0;
    virtual void setPosition(int position) = 0;
    // Whether anyone sees the progress; without that the merge does not count lines ahead.
    virtual bool shown() const { return true; }
};

// For callers that show no progress.
class NoMergeProgress final : public MergeProgress {
public:
    void setMaximum(int) override {}
    void setPosition(int) override {}
    bool shown() const override { return false; }
};

} // namespace tessaly
