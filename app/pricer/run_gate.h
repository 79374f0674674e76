// Whether a run of either pricer window is out. The two windows share the
// settings dialogs and the settings they keep: while one of them runs,
// neither may start another run or open a settings dialog, so nothing a run
// reads changes under it. Each window follows the gate's changes.
#pragma once

#include <QObject>

namespace tarvic {

class RunGate : public QObject {
    Q_OBJECT
public:
    static RunGate& instance();

    // A run begins or ends (calls pair up; the gate is busy while any run
    // is out).
    void enter();
    void leave();
    bool busy() const { return m_runs > 0; }

signals:
    void busyChanged(bool busy);

private:
    RunGate() = default;
    int m_runs = 0;
};

}  // namespace tarvic
