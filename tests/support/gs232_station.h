#pragma once

#include <QTemporaryDir>

#include "app/settings.h"
#include "platform/serial_names.h"
#include "platform/ui_services.h"
#include "pseudo_terminal.h"

// Fresh settings with GS-232 on COM3, a pseudo-terminal at the far end of its line, and the
// desktop's services recorded; programs asked for are never really started.
struct Gs232Station {
    Gs232Station()
    {
        settings() = Settings();
        line.linkAs(parent.path(), 3);
        platform::setComportsParent(parent.path());
        recorder->reallyStart = false;
        settings().ANT = GS232;
        settings().PORT_GS232 = 2;
    }

    QTemporaryDir parent;
    PseudoTerminal line;
    platform::ScopedRecordingUi recorder;
};
