#include "pricer/run_gate.h"

namespace tarvic {

RunGate& RunGate::instance()
{
    static RunGate gate;
    return gate;
}

void RunGate::enter()
{
    if (++m_runs == 1)
        emit busyChanged(true);
}

void RunGate::leave()
{
    if (m_runs == 0)
        return;
    if (--m_runs == 0)
        emit busyChanged(false);
}

}  // namespace tarvic
