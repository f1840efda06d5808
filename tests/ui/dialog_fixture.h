#pragma once
// Shared by the dialog tests: fresh settings and recorded message boxes per test, and a connection to a
// database named by an environment variable of the test servers (tests/services.sh).

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <cstdlib>
#include <string>

#include "settings.h"
#include "ui_fixture.h"

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Settings().ResetToDefaults();
        TestHost().boxes.clear();
    }
    void TearDown() override { Settings().ResetToDefaults(); }

    template <class Condition>
    static bool WaitFor(Condition condition, int timeoutMs = 10000) {
        QElapsedTimer clock;
        clock.start();
        while (!condition() && clock.elapsed() < timeoutMs) QApplication::processEvents(QEventLoop::AllEvents, 20);
        return condition();
    }

    // The value of a test server's variable, or empty when the servers were not started.
    static std::wstring ServerVariable(const char* name) {
        const char* value = std::getenv(name);
        return value == nullptr ? std::wstring() : std::wstring(value, value + std::char_traits<char>::length(value));
    }
};
