#include <gtest/gtest.h>

#include <cstdlib>
#ifdef QUILLMARK_TEST_QT
#include <QApplication>
#endif

// What the caller's environment already sets wins over these defaults.
int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QUILLMARK_MIDI", "virtual", 0);
    setenv("QUILLMARK_RESOURCES", QUILLMARK_TEST_RESOURCES, 0);
    testing::InitGoogleTest(&argc, argv);
#ifdef QUILLMARK_TEST_QT
    QApplication app(argc, argv); // Qt tests run inside one QApplication on the main thread
#endif
    return RUN_ALL_TESTS();
}
