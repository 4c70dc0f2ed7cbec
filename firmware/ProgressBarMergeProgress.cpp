#include "firmware/ProgressBarMergeProgress.h"

#include <QProgressBar>

namespace tessaly {

ProgressBarMergeProgress::ProgressBarMergeProgress(QProgressBar& bar) : bar_(bar) {}

void ProgressBarMergeProgress::setMaximum(int maximum) {
    maximum_ = maximum;
    bar_.setMaximum(maximum);
}

void ProgressBarMergeProgress::setPosition(int position) {
    const bool edge = position == 0 || position >= maximum_;
    // Reading the clock on every line would cost more than the lines themselves.
    if (!edge && (position % ClockCheckLines != 0 ||
                  (sinceShown_.isValid() && sinceShown_.elapsed() < RepaintIntervalMs)))
        return;
    bar_.setValue(position);
    sinceShown_.start();
}

} // namespace tessaly
