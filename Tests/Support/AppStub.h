// The application the engine tests run: AppMain and OnTimer forward to whatever a test sets.
#pragma once

#include <functional>

#include "Tests/Support/EngineTest.h"

extern std::function<void()> gAppMain;
extern std::function<void()> gOnTimer;

// The engine fixture with the stand-in application, cleared after every test.
class StubAppTest : public EngineTest {
 protected:
  void TearDown() override {
    EngineTest::TearDown();
    gAppMain = nullptr;
    gOnTimer = nullptr;
  }
};
