#include "PackProgress.h"

namespace tarrow {

namespace {

PackProgress progress;
PackDisplay* installedDisplay = nullptr;

} // namespace

PackProgress& packProgress() {
    return progress;
}

void installPackDisplay(PackDisplay* display) {
    installedDisplay = display;
}

PackDisplayScope::PackDisplayScope(const PropertySet& settings) {
    if (installedDisplay)
        installedDisplay->show(settings);
}

PackDisplayScope::~PackDisplayScope() {
    if (installedDisplay)
        installedDisplay->hide();
}

} // namespace tarrow
