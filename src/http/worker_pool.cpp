#include "http/worker_pool.h"

namespace quorvane::http {

void WorkerPool::start() {
    std::lock_guard lock(_mutex);
    if (!_threads.empty() || _stopping) return;
    for (size_t i = 0; i < _threadCount; ++i) _threads.emplace_back([this] { work(); });
}

void WorkerPool::stop() {
    std::deque<std::function<void()>> dropped, droppedFileWork;
    {
        std::lock_guard lock(_mutex);
        _stopping = true;
        dropped.swap(_requests);
        droppedFileWork.swap(_fileWork);
    }
    _wake.notify_all();
    for (std::thread& thread : _threads)
        if (thread.joinable()) thread.join();
    // The dropped jobs are destroyed here, outside the lock: they may own connections.
}

bool WorkerPool::submitRequest(std::function<void()> job) {
    {
        std::lock_guard lock(_mutex);
        if (_stopping || _requests.size() >= _maxQueuedRequests) return false;
        _requests.push_back(std::move(job));
    }
    _wake.notify_one();
    return true;
}

void WorkerPool::submitFileWork(std::function<void()> job) {
    {
        std::lock_guard lock(_mutex);
        if (_stopping) return;
        _fileWork.push_back(std::move(job));
    }
    _wake.notify_one();
}

void WorkerPool::work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(_mutex);
            _wake.wait(lock, [this] { return _stopping || !_requests.empty() || !_fileWork.empty(); });
            if (_stopping) return;
            std::deque<std::function<void()>>& queue = _fileWork.empty() ? _requests : _fileWork;
            job = std::move(queue.front());
            queue.pop_front();
        }
        job();
    }
}

}  // namespace quorvane::http
