#pragma once

// The text of the failure a call throws, or "accepted" when it throws nothing.

#include <exception>
#include <string>

namespace tarvic_test {

template <class Run>
std::string failureText(Run&& run)
{
    try {
        run();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "accepted";
}

}  // namespace tarvic_test
