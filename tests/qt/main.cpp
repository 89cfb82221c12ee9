#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    // Widgets are tested too, on the offscreen platform.
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
