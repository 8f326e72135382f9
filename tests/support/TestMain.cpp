#include <QApplication>
#include <gtest/gtest.h>

// Every test program runs inside a QApplication: the host looks services up through the
// application object, threads need an event loop, and QSignalSpy needs a Qt meta system.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
