#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

// One task at a time on a thread of its own, while the caller goes on: a
// reader reading ahead, a writer writing what is done. Start hands a task
// over once the one before has ended; Finish waits for the task to end and
// gives what it raised. Where no thread can be started, Start runs the task
// at once, and Finish gives what it raised all the same.
class BackgroundTask {
public:
    BackgroundTask();
    // Waits for the task under way; what it raises is dropped.
    ~BackgroundTask();
    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    void Start(std::function<void()> task);
    // Null when the task ended well, or none was started since.
    std::exception_ptr Finish();

private:
    void Run();

    std::function<void()> m_task; // the task under way, or none
    std::exception_ptr m_failure;
    bool m_stopping = false;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread m_thread; // last: it starts once the rest is there
};
