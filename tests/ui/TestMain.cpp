#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv)
{
    // The controls need a GUI application; the offscreen platform needs no display, also
    // when the test list is read at discovery time.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
