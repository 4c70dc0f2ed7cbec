#pragma once

#include "firmware/MergeProgress.h"

#include <QElapsedTimer>

class QProgressBar;

namespace tessaly {

// Shows a merge's progress on a bar. The merge reports every line, far more often than
// anyone can see, and each shown step repaints the bar at once; so the bar is moved
// only every few frames, and always to the first and last positions.
class ProgressBarMergeProgress final : public MergeProgress {
public:
    explicit ProgressBarMergeProgress(QProgressBar& bar);
    void setMaximum(int maximum) override;
    void setPosition(int position) override;

private:
    static constexpr int RepaintIntervalMs = 40;
    static constexpr int ClockCheckLines = 256;
    QProgressBar& bar_;
    int maximum_ = 0;
    QElapsedTimer sinceShown_;
};

} // namespace tessaly
