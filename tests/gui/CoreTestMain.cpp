#include <QCoreApplication>
#include <gtest/gtest.h>

// For suites of the parts without widgets: an event loop, and no display of any kind.
int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
