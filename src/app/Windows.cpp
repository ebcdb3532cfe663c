#include "Windows.h"

#include "TFmain.h"
#include "ui/TFselecttaikai.h"
#include "ui/TFtaikai.h"

namespace pistel {

void connectCompetitionWindows(TFmain& main, AppState& app, TDM1& dm, OperatorDialog& dialog,
                               ImpulseJournal* journal, TCustomCommX::PortResolver ports) {
    main.openCompetitionSelection = [&main, &app, &dm, &dialog, journal, ports] {
        auto* selection = new TFselecttaikai(app, dm, dialog, &main);
        selection->setAttribute(Qt::WA_DeleteOnClose);
        selection->openRunWindow = [&app, &dm, &dialog, journal, ports,
                                    selection](const QString& title) {
            auto* run = new TFtaikai(app, dm, dialog, journal, ports, selection);
            run->setWindowTitle(runWindowCaption(title));
            run->resize(1020, 730);
            run->exec();
        };
        selection->exec();
    };
}

} // namespace pistel
