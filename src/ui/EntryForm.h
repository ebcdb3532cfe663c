#pragma once

#include "office/EntryFile.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace pistel {

// One competitor typed in: found by bib (its entry shown), added or edited, withdrawn or
// reinstated. The window does the writing; the form holds the fields.
class EntryForm : public QWidget {
    Q_OBJECT
public:
    explicit EntryForm(QWidget* parent = nullptr);

    void setClasses(const QStringList& names);
    void showEntry(const Entry& e);
    Entry entry() const; // as typed

    QLineEdit* bib = nullptr;
    QLineEdit* name = nullptr;
    QLineEdit* kana = nullptr;
    QLineEdit* team = nullptr;
    QComboBox* className = nullptr;
    QLineEdit* sex = nullptr;
    QLineEdit* birthYear = nullptr;
    QLineEdit* nation = nullptr;
    QLineEdit* licence = nullptr;
    QLineEdit* points = nullptr;

signals:
    void bibChosen(const QString& bib);
    void saveRequested();
    void withdrawRequested(bool withdrawn);
};

} // namespace pistel
