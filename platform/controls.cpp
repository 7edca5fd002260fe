#include "platform/controls.h"

#include "platform/os.h"

namespace ssi {

Timer::~Timer() {
    if (enabled_) os_.stopTimer(*this);
}

void Timer::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (enabled)
        os_.startTimer(*this);
    else
        os_.stopTimer(*this);
}

}  // namespace ssi
