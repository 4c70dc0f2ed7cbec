#include "platform/StopSignals.h"

namespace tessaly {

QString stopSignalName(int signal) {
    return QString::number(signal);
}

void onStopSignals(QObject*, std::function<void(int)>) {}

StopForwarding::StopForwarding() = default;
StopForwarding::~StopForwarding() = default;

int StopForwarding::received() const {
    return 0;
}

} // namespace tessaly
