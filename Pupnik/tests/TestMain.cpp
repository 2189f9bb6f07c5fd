#include "platform/Desktop/tests/SettleBetweenTests.hpp"

#include <QApplication>
#include <gtest/gtest.h>

// Windows, alerts and sprite drawing need a QApplication; tests run on the offscreen platform unless a display is given.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Test discovery runs this program without the test environment; a display is never assumed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // What one test leaves shown or queued must not reach the next one, whatever their order.
    testing::UnitTest::GetInstance()->listeners().Append(new Platform::SettleBetweenTests);
    return RUN_ALL_TESTS();
}
