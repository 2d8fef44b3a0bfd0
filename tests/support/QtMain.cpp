#include "support/TestEnvironment.h"

#include <QApplication>
#include <gtest/gtest.h>

// Qt tests run inside one QApplication on the main thread.
int main(int argc, char** argv)
{
    SetTestEnvironmentDefaults();
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
