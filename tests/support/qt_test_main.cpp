// Test entry point for suites that create windows: one QApplication for the
// whole program, on whatever platform QT_QPA_PLATFORM names (offscreen in ./test).
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
