// Thread: the base of worker threads; start() runs run() on a new C run-time thread.
#pragma once

namespace tarrow {

class Thread {
  public:
    virtual ~Thread() = default;
    virtual void run() = 0;
    // Starts the thread (default stack size); false when it could not be created. The thread
    // handle is not kept. The object must outlive the thread.
    bool start();
};

} // namespace tarrow
