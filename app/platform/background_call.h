// One call at a time off the window's thread: the job runs on a thread of
// its own while the window's event loop goes on, and its end is reported
// back on the thread that started it.
#pragma once

#include <QObject>

#include <exception>
#include <functional>

class QThread;

namespace tarvic {

class BackgroundCall : public QObject {
    Q_OBJECT
public:
    BackgroundCall();
    // Waits for a job still running: what it writes must outlive it.
    ~BackgroundCall() override;
    BackgroundCall(const BackgroundCall&) = delete;
    BackgroundCall& operator=(const BackgroundCall&) = delete;

    // Starts the job. Once it has returned, done runs on this object's
    // thread with what the job threw (null when it returned normally).
    // Nothing else may touch what the job works on until then.
    void start(std::function<void()> job, std::function<void(std::exception_ptr)> done);
    bool running() const { return m_thread != nullptr; }
    // Blocks until a running job has returned (done does not run then).
    void wait();

private:
    void jobReturned();

    QThread* m_thread = nullptr;
    quint64 m_started = 0;
    std::function<void(std::exception_ptr)> m_done;
    std::exception_ptr m_thrown;
};

}  // namespace tarvic
