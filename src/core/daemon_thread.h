#pragma once
// Base of every background thread: it is detached when started, so it never keeps the process alive and
// nothing ever joins it. The thread owns its object until its body returns.
#include <memory>
#include <thread>

namespace quorvane {

class DaemonThread : public std::enable_shared_from_this<DaemonThread> {
public:
    virtual ~DaemonThread() = default;

    void start() {
        std::thread([self = shared_from_this()] { self->run(); }).detach();
    }

protected:
    virtual void run() = 0;
};

}  // namespace quorvane
