#include "platform/worker_thread.h"

#include <pthread.h>

namespace platform {

WorkerThread::~WorkerThread() { Join(); }

void WorkerThread::Start(const std::string& name, std::function<unsigned()> procedure) {
    Join();
    m_ended.store(false, std::memory_order_release);
    m_thread = std::thread([this, name, procedure = std::move(procedure)] {
        pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
        m_exitCode.store(procedure(), std::memory_order_release);
        m_ended.store(true, std::memory_order_release);
    });
}

void WorkerThread::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace platform
