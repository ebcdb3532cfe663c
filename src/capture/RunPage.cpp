#include "RunPage.h"

#include "data/Query.h"

namespace pistel {

RunPage::RunPage(int run, Query& startList_, Query& finishList_, Query& startPulses_,
                 Query& finishPulses_, Query& results_, QObject* parent)
    : QObject(parent), startList(startList_), finishList(finishList_), startPulses(startPulses_),
      finishPulses(finishPulses_), results(results_), run_(run) {
    connect(&startList, &Query::currentRowChanged, this,
            [this] { setStartBox(currentBib(startList)); });
    connect(&finishList, &Query::currentRowChanged, this,
            [this] { setFinishBox(currentBib(finishList)); });
}

QString RunPage::currentBib(const Query& list) {
    return list.currentRow() < 0 ? QString() : list.fieldByName(u"zek").asString();
}

void RunPage::setStartBox(const QString& bib) {
    if (bib == startBox_)
        return;
    startBox_ = bib;
    emit startBoxChanged(bib);
}

void RunPage::setFinishBox(const QString& bib) {
    if (bib == finishBox_)
        return;
    finishBox_ = bib;
    emit finishBoxChanged(bib);
}

void RunPage::setStartMode(int item) {
    if (item == startMode_)
        return;
    startMode_ = item;
    emit startModeChanged(item);
}

void RunPage::setFinishMode(int item) {
    if (item == finishMode_)
        return;
    finishMode_ = item;
    emit finishModeChanged(item);
}

void RunPage::setEdit5(const QString& text) {
    if (text == edit5_)
        return;
    edit5_ = text;
    emit edit5Changed(text);
}

} // namespace pistel
