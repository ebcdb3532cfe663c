#pragma once

#include "PortRegistry.h"

#include <QObject>
#include <QStringList>
#include <functional>

namespace pistel {

class TCustomCommX;

// What the settings page shows of the port lists, as a value.
struct PortChoices {
    QStringList items;
    int index1 = 0;
    QString text1;
    int index2 = 0;
    QString text2;
};

// The port part of the run window's settings page, without widgets: the two port lists,
// the timer port choice, and opening and closing both ports with the window.
class PortSettings : public QObject {
    Q_OBJECT
public:
    using Scan = std::function<PortRegistry()>;

    PortSettings(TCustomCommX& timer, TCustomCommX& board, int& timerPortNo, int& boardPortNo,
                 bool& timerPortOpen, Scan scan = &PortRegistry::scan, QObject* parent = nullptr);

    // Where the two port messages go (a message box with an OK button).
    std::function<void(const QString&)> showMessage;
    // Applies the operator's line settings to a port just before it opens.
    std::function<void(TCustomCommX&)> prepareTimer;
    std::function<void(TCustomCommX&)> prepareBoard;
    int openDelayMs = 300; // between closing and opening a port again

    // The items of Cbxcomm1 and Cbxcomm2: an empty entry, then the ports.
    const QStringList& items() const { return items_; }
    int cbxcomm1Index() const { return index1_; }
    QString cbxcomm1Text() const { return text1_; }
    int cbxcomm2Index() const { return index2_; }
    QString cbxcomm2Text() const { return text2_; }
    PortChoices choices() const { return {items_, index1_, text1_, index2_, text2_}; }
    // What the operator picked or typed in Cbxcomm1 (then Cbxcomm1Change runs) or Cbxcomm2.
    void setCbxcomm1(int index, const QString& text);
    void setCbxcomm2(int index, const QString& text);

    void getport();
    void openport1(int n);
    // Tries once, without a message, to open the timer port again on its saved number (the
    // device came back after it was pulled out); returns whether it is open.
    bool reopenTimer();
    void openport2(int n);
    void Cbxcomm1Change();
    void refreshPortLists() { getport(); }
    // The port steps of showing and of closing the run window.
    void windowShown();
    void windowClosed();

signals:
    // The timer port was opened: the next byte starts a fresh line.
    void timerOpened();
    void listsChanged();
    void cbxcomm1Changed();
    void cbxcomm2Changed();

private:
    void showText(int& index, QString& text, const QString& value);
    void tell(const char* message);
    // Opens a port with its line settings; false (the operator told) when a line setting is
    // refused; throws when the device cannot be opened at all.
    bool openWithLine(TCustomCommX& port, const std::function<void(TCustomCommX&)>& prepare);

    TCustomCommX& timer_;
    TCustomCommX& board_;
    int& timerPortNo_;
    int& boardPortNo_;
    bool& timerPortOpen_;
    Scan scan_;
    QStringList items_{QString()};
    int index1_ = 0;
    QString text1_;
    int index2_ = 0;
    QString text2_;
};

} // namespace pistel
