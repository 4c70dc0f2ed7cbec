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
    if (!edge && sinceShown_.isValid() && sinceShown_.elapsed() < RepaintIntervalMs)
        return;
    bar_.setValue(position);
    sinceShown_.start();
}

} // namespace tessaly
