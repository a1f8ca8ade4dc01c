#include "framework/BackgroundTask.h"

#include <system_error>
#include <utility>

BackgroundTask::BackgroundTask()
{
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // Every task runs as it is started.
    }
}

BackgroundTask::~BackgroundTask()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void BackgroundTask::Start(std::function<void()> task)
{
    if (!m_thread.joinable()) {
        m_failure = nullptr;
        try {
            task();
        } catch (...) {
            m_failure = std::current_exception();
        }
        return;
    }
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_task; });
        m_task = std::move(task);
        m_failure = nullptr;
    }
    m_changed.notify_all();
}

std::exception_ptr BackgroundTask::Finish()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_task; });
    return std::exchange(m_failure, nullptr);
}

void BackgroundTask::Run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_task || m_stopping; });
        if (!m_task)
            return;
        lock.unlock();
        std::exception_ptr failure;
        try {
            m_task();
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        m_failure = failure;
        m_task = nullptr;
        m_changed.notify_all();
    }
}
