#include "host/BackgroundWorker.h"

#include "host/api/ITransaction.h"

#include <chrono>

namespace host {

BackgroundWorker::BackgroundWorker() : m_thread([this] { loop(); }) {}

BackgroundWorker::~BackgroundWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void BackgroundWorker::addTransaction(ITransaction* transaction, bool)
{
    if (!transaction)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.emplace_back(transaction);
    }
    m_wake.notify_one();
}

void BackgroundWorker::loop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty())
            return; // stopping with nothing left to do
        std::unique_ptr<ITransaction> transaction = std::move(m_queue.front());
        m_queue.pop_front();
        m_running = true;
        lock.unlock();
        transaction->run();
        transaction.reset();
        lock.lock();
        m_running = false;
        ++m_completed;
        m_idle.notify_all();
    }
}

bool BackgroundWorker::waitForIdle(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return m_queue.empty() && !m_running; });
}

unsigned int BackgroundWorker::completed() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_completed;
}

} // namespace host
