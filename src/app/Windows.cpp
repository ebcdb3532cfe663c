#include "Windows.h"

#include "TFmain.h"
#include "ui/TFselecttaikai.h"
#include "ui/OfficeWindow.h"
#include "ui/TFtaikai.h"

#include <memory>

namespace pistel {

void connectCompetitionWindows(TFmain& main, AppState& app, TDM1& dm, OperatorDialog& dialog,
                               ImpulseJournal* journal, TCustomCommX::PortResolver ports) {
    main.openCompetitionSelection = [&main, &app, &dm, &dialog, journal, ports] {
        auto* selection = new TFselecttaikai(app, dm, dialog, &main);
        selection->setAttribute(Qt::WA_DeleteOnClose);
        selection->openRunWindow = [&app, &dm, &dialog, journal, ports,
                                    selection](const QString& title) {
            // A closed run window is gone: its clock, connection keeper, waiting lines and
            // ports end with it, so one run window at a time owns the timer line.
            const std::unique_ptr<TFtaikai> run(
                new TFtaikai(app, dm, dialog, journal, ports, selection));
            run->setWindowTitle(runWindowCaption(title));
            run->resize(1020, 730);
            run->exec();
        };
        selection->exec();
    };
    main.openOffice = [&main, &dm, &dialog] {
        OfficeWindow office(dm, dialog, &main);
        office.exec();
    };
}

} // namespace pistel
