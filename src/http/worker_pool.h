#pragma once
// The threads that run handlers and the blocking file work of connections, so I/O threads never wait
// on a disk or a lock. Requests wait in a bounded queue; file work (one piece per connection at a time,
// so bounded by the connections) goes first, since a connection is waiting on it mid-transfer.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvane::http {

class WorkerPool {
public:
    WorkerPool(size_t threads, size_t maxQueuedRequests) : _threadCount(threads), _maxQueuedRequests(maxQueuedRequests) {}
    ~WorkerPool() { stop(); }
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void start();
    // Lets running jobs end, drops the queued ones, joins the threads.
    void stop();

    // False when the queue is full (or the pool stopped): the request is not taken.
    bool submitRequest(std::function<void()> job);
    void submitFileWork(std::function<void()> job);

private:
    void work();

    size_t _threadCount, _maxQueuedRequests;
    std::mutex _mutex;
    std::condition_variable _wake;
    std::deque<std::function<void()>> _requests, _fileWork;
    bool _stopping = false;
    std::vector<std::thread> _threads;
};

}  // namespace quorvane::http
