#include "data/BackgroundReader.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int failed = RUN_ALL_TESTS();
    // A read left by a view closed during a test must not run while the driver unloads.
    pistel::BackgroundReader::waitForAbandonedReads();
    return failed;
}
