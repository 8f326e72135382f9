#pragma once

#include "host/api/IBackgroundTransaction.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace host {

// Service "BackgroundTransaction.name" of the default host: one worker thread that runs the
// transactions in the order they came and deletes each one after its run().
class BackgroundWorker : public IBackgroundTransaction
{
public:
    BackgroundWorker();
    ~BackgroundWorker() override; // finishes the queued work, then stops

    void addTransaction(ITransaction* transaction, bool flag) override;
    // Waits until the queue is empty and nothing runs; false when `timeoutMs` passed first.
    bool waitForIdle(int timeoutMs);
    unsigned int completed() const;

private:
    void loop();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::unique_ptr<ITransaction>> m_queue;
    bool m_running = false;
    bool m_stop = false;
    unsigned int m_completed = 0;
    std::thread m_thread;
};

} // namespace host
