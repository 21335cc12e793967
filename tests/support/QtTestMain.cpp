// Test entry point: one QApplication for the whole test binary, on the offscreen
// platform unless the environment chose another one (a real display under Xvfb).
#include <QApplication>
#include <gtest/gtest.h>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tallowick");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
