#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    // Widgets are tested too, without a display: the build lists the tests this way as well.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
