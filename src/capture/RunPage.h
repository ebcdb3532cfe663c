#pragma once

#include <QObject>
#include <QString>

namespace pistel {

class Query;

// One run page without its widgets: the start and finish boxes, their automatic/manual
// switches, the statement box Edit5 and the five lists of the run. The box rule lives
// here: whenever the current row of the start or finish list changes, its box takes the
// row's bib (empty text when the list has no row).
class RunPage : public QObject {
    Q_OBJECT
public:
    enum Mode { Auto = 0, Manual = 1 }; // items of the mode switches

    RunPage(int run, Query& startList, Query& finishList, Query& startPulses, Query& finishPulses,
            Query& results, QObject* parent = nullptr);

    int run() const { return run_; }

    QString startBox() const { return startBox_; }
    QString finishBox() const { return finishBox_; }
    void setStartBox(const QString& bib);
    void setFinishBox(const QString& bib);

    int startMode() const { return startMode_; }
    int finishMode() const { return finishMode_; }
    void setStartMode(int item);
    void setFinishMode(int item);

    QString edit5() const { return edit5_; }
    void setEdit5(const QString& text);

    Query& startList;
    Query& finishList;
    Query& startPulses;
    Query& finishPulses;
    Query& results;

signals:
    void startBoxChanged(const QString& bib);
    void finishBoxChanged(const QString& bib);
    void startModeChanged(int item);
    void finishModeChanged(int item);
    void edit5Changed(const QString& text);

private:
    static QString currentBib(const Query& list);

    int run_;
    QString startBox_;
    QString finishBox_;
    int startMode_ = Auto;
    int finishMode_ = Auto;
    QString edit5_;
};

} // namespace pistel
