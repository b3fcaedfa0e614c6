// A run of the door for tests that call the removers directly: the install directory they
// stage is the run's, and the door ends with the test.
#pragma once
#include "door/Door.h"
#include <string>

namespace testing_support {

class DoorRun {
public:
    explicit DoorRun(const std::string& installDir, bool preview = false) { door::Begin(installDir, preview); }
    ~DoorRun() { door::End(); }
    DoorRun(const DoorRun&) = delete;
    DoorRun& operator=(const DoorRun&) = delete;
};

}  // namespace testing_support
