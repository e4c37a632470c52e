// GoogleTest's own thread start-up signal, on a Windows event. MinGW's win32 thread model has no
// std::mutex or std::condition_variable, which GoogleTest's version of this class is built on.
// Found before GoogleTest's empty header of the same name for the Windows builds only.
#ifndef KIV_TESTS_GTEST_PORT_H
#define KIV_TESTS_GTEST_PORT_H

#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

// Lets a controller thread hold newly created threads until it notifies them; created and
// destroyed on the controller thread.
class Notification {
  public:
    Notification() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    // Lets every waiting thread go, and those that wait later.
    void Notify() { SetEvent(event_); }
    // Blocks until Notify has been called.
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

  private:
    HANDLE event_;
};

} // namespace testing::internal

#endif
