#pragma once

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

namespace Platform {

// Leaves the application as the next test expects to find it: no window shown, nothing queued.
// A test that shows a window and never runs the event loop leaves the window system's activation
// events queued and its closed windows waiting for deferred deletion; the next test to process
// events would receive them, and Qt closes every open popup when the application's activation
// changes. Append once in main(), after the QApplication exists.
class SettleBetweenTests final : public testing::EmptyTestEventListener {
public:
    void OnTestEnd(testing::TestInfo const&) override { settle(); }

    static void settle()
    {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible())
                window->hide();
        // Deleting a window or delivering an event may queue more of either; a few rounds drain them.
        for (int round = 0; round < 3; ++round) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }
};

}
