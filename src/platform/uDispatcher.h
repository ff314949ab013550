// The hand-over of work to the user-interface thread. Game state, drawing and input live on that thread;
// timer threads and sound call-backs reach it only through a dispatcher.
#pragma once

#include <functional>

namespace kv {

class IDispatcher {
public:
  virtual ~IDispatcher() = default;
  // Queues task to run on the user-interface thread and returns at once; callable from any thread. Tasks run in
  // the order they were posted. A task still queued when the dispatcher goes away is dropped unrun.
  virtual void Post(std::function<void()> task) = 0;
  // Whether the calling thread is the user-interface thread.
  virtual bool IsUIThread() const = 0;
};

} // namespace kv
