#include "StationView.h"

#include "TimingStation.h"
#include "data/Mailbox.h"

namespace pistel {

StationView::StationView(TimingStation& station, QObject* parent)
    : QObject(parent), mailbox_(std::make_shared<Mailbox>(this)) {
    // Each copy is taken where the station changes, on its thread, and posted here; the
    // posted work runs only while this view lives (the mailbox closes with it).
    const auto mailbox = mailbox_;
    TimingStation* s = &station;
    const auto takeMarks = [this, mailbox, s] {
        mailbox->post([this, m = s->control.marks(), app = s->control.app] {
            marks_ = m;
            app_ = app;
            emit marksChanged();
        });
    };
    const auto takeTimer = [this, mailbox, s] {
        mailbox->post([this, h = s->timerHealth(), timing = s->timing(), app = s->control.app] {
            timerHealth_ = h;
            timing_ = timing;
            app_ = app;
            emit timerHealthChanged();
        });
    };
    const auto takeData = [this, mailbox, s] {
        mailbox->post([this, h = s->dataHealth()] {
            dataHealth_ = h;
            emit dataHealthChanged();
        });
    };
    const auto takePorts = [this, mailbox, s] {
        mailbox->post([this, p = s->ports.choices(), app = s->control.app] {
            ports_ = p;
            app_ = app;
            emit portsChanged();
        });
    };
    const auto takeWeb = [this, mailbox, s] {
        mailbox->post([this, w = s->web.choices()] {
            web_ = w;
            emit webChanged();
        });
    };
    const auto direct = Qt::DirectConnection;
    connect(&station.control, &RunContext::statusesChanged, &station, takeMarks, direct);
    connect(&station.control, &RunContext::unassignedChanged, &station, takeMarks, direct);
    // A line may change the class the results show.
    connect(&station.receiver, &ReceiveHandler::lineHandled, &station, takeMarks, direct);
    connect(&station, &TimingStation::runSelected, &station, takeMarks, direct);
    connect(&station, &TimingStation::timerHealthChanged, &station, takeTimer, direct);
    connect(&station, &TimingStation::dataHealthChanged, &station, takeData, direct);
    connect(&station.ports, &PortSettings::listsChanged, &station, takePorts, direct);
    connect(&station.ports, &PortSettings::cbxcomm1Changed, &station, takePorts, direct);
    connect(&station.ports, &PortSettings::cbxcomm2Changed, &station, takePorts, direct);
    connect(&station.web, &WebCommands::changed, &station, takeWeb, direct);
    // And everything once, to start from.
    station.post([=] {
        takeMarks();
        takeTimer();
        takeData();
        takePorts();
        takeWeb();
    });
}

StationView::~StationView() {
    mailbox_->close();
}

} // namespace pistel
