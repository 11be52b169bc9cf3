#pragma once
// While a NoNewThreads lives, no thread can start in this process: a new thread's default
// stack is made larger than any machine gives, so that starting one fails as it does in a
// process out of threads or memory (std::thread throws std::system_error). Threads that
// already run are not touched.

#include <pthread.h>

#include <cstddef>

namespace testsupport {

class NoNewThreads {
public:
    NoNewThreads()
    {
        pthread_getattr_default_np(&saved_);
        pthread_attr_t impossible;
        pthread_getattr_default_np(&impossible);
        pthread_attr_setstacksize(&impossible, std::size_t(1) << 44);
        pthread_setattr_default_np(&impossible);
        pthread_attr_destroy(&impossible);
    }
    ~NoNewThreads()
    {
        pthread_setattr_default_np(&saved_);
        pthread_attr_destroy(&saved_);
    }
    NoNewThreads(const NoNewThreads&) = delete;
    NoNewThreads& operator=(const NoNewThreads&) = delete;

private:
    pthread_attr_t saved_{};
};

}  // namespace testsupport
