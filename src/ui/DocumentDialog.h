#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;

namespace pistel {

class RunControl;

// 出力/印刷: a start or result list of one class or all, saved as PDF or CSV or printed.
class DocumentDialog : public QDialog {
    Q_OBJECT
public:
    DocumentDialog(RunControl& control, QWidget* parent = nullptr);

    QComboBox* kindChoice = nullptr;
    QComboBox* classChoice = nullptr; // data: class number, -1 all classes
    QComboBox* encodingChoice = nullptr;

    // Writes the chosen document to `path` (PDF or CSV by its ending); false with the operator
    // told why when it cannot be written.
    bool saveTo(const QString& path);
    void save();  // asks where
    void print(); // the platform's print dialog

private:
    RunControl& control_;
};

} // namespace pistel
