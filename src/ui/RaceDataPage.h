#pragma once

#include <QMap>
#include <QString>
#include <QWidget>

class QTableWidget;

namespace pistel {

// The race data of a competition as a table: one row an item (course, jury, weather …), one
// column for the competition and one for each run.
class RaceDataPage : public QWidget {
    Q_OBJECT
public:
    explicit RaceDataPage(QWidget* parent = nullptr);

    // Shows `data` ("run|item" -> value, as the office reads it).
    void showData(const QMap<QString, QString>& data);
    // Every cell, by run (0: the competition's) and item; an empty cell removes an item.
    QMap<int, QMap<QString, QString>> data() const;

    QTableWidget* table = nullptr;

signals:
    void saveRequested();
};

} // namespace pistel
