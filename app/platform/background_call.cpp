#include "platform/background_call.h"

#include <QThread>

#include <utility>

namespace tarvic {

BackgroundCall::BackgroundCall() = default;

BackgroundCall::~BackgroundCall()
{
    wait();
}

void BackgroundCall::start(std::function<void()> job, std::function<void(std::exception_ptr)> done)
{
    wait();
    m_done = std::move(done);
    m_thrown = nullptr;
    m_thread = QThread::create([this, job = std::move(job)] {
        // Nothing thrown may leave the thread: it goes to the caller.
        try {
            job();
        } catch (...) {
            m_thrown = std::current_exception();
        }
    });
    // Emitted on the job's thread, delivered on this object's; the end of a
    // job given up by wait() is not taken for the end of a later one.
    const quint64 number = ++m_started;
    connect(m_thread, &QThread::finished, this, [this, number] {
        if (number == m_started)
            jobReturned();
    }, Qt::QueuedConnection);
    m_thread->start();
}

void BackgroundCall::jobReturned()
{
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    const std::exception_ptr thrown = std::exchange(m_thrown, nullptr);
    const auto done = std::exchange(m_done, {});
    if (done)
        done(thrown);
}

void BackgroundCall::wait()
{
    if (!m_thread)
        return;
    ++m_started;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_thrown = nullptr;
    m_done = {};
}

}  // namespace tarvic
