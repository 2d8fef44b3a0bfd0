#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

// Qt tests run inside one QApplication on the main thread, headless unless told
// otherwise.
int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
