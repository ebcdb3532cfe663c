#include "data/BackgroundReader.h"
#include "station/StationThread.h"

#include <QApplication>
#include <QFont>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(12);
    QApplication::setFont(font);
    ::testing::InitGoogleTest(&argc, argv);
    const int failed = RUN_ALL_TESTS();
    // A read or a station left by a window closed during a test must not run while the
    // driver unloads.
    pistel::StationThread::waitForEndingStations();
    pistel::BackgroundReader::waitForAbandonedReads();
    return failed;
}
