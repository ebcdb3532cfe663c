#pragma once

#include "data/BackgroundReader.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QPushButton;

namespace pistel {

struct Race;
struct RunWindowContext;

// 出力/印刷: a start or result list of one class or all, saved as PDF or CSV or printed. The
// race is read off the window thread, afresh for each document, so the window and the timer's
// lines never wait for it.
class DocumentDialog : public QDialog {
    Q_OBJECT
public:
    DocumentDialog(const RunWindowContext& context, QWidget* parent = nullptr);

    QComboBox* kindChoice = nullptr;
    QComboBox* classChoice = nullptr; // data: class number, -1 all classes
    QComboBox* encodingChoice = nullptr;

    // Reads the race and writes the chosen document to `path` (PDF or CSV by its ending);
    // `saved` says how it went, the operator told why when it could not be written.
    void saveTo(const QString& path);
    void save();  // asks where
    void print(); // the platform's print dialog
    // The race is being read (the buttons wait for it).
    bool reading() const { return reader_.busy(); }

signals:
    void saved(const QString& path, bool ok);

private:
    // Reads the race, then `use` it on the window thread (nullptr when it could not be read:
    // the operator is told why). Asked during a read, it reads once that read is over (the
    // latest such request: the buttons wait meanwhile).
    void withRace(std::function<void(const Race*)> use);
    void showClasses(const Race& race);
    bool write(const Race& race, const QString& path);
    void tell(const QString& text);

    const RunWindowContext& context_;
    QList<QPushButton*> buttons_;
    BackgroundReader reader_;
};

} // namespace pistel
