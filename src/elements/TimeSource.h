// Where the clocks read the local time: the machine's clock in the program, a virtual one without
// a display.
#pragma once

#include <ctime>

namespace nimbolt {

class TimeSource {
public:
    virtual std::tm localTime() = 0;

protected:
    ~TimeSource() = default;
};

}
