// The local time of day for a moment, safe to call from any thread on every platform.
#pragma once

#include <ctime>

namespace orv {

std::tm LocalTime(std::time_t t);

}  // namespace orv
