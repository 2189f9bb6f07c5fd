// Text drawing needs a GUI application; test discovery runs this program without the test
// environment, so the off-screen platform is chosen here when nothing else is.
#include <QGuiApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
