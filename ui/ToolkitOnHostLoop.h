// The toolkit's GUI support, run on the host's loop instead of a loop of its own.
//
// start() makes the calling thread the toolkit's message thread and registers the toolkit's event-loop
// file descriptors (its message socket and its X connection) with the platform library's shared loop,
// which the host runs on that thread; whatever pumps that loop then drives windows, painting, timers
// and asynchronous updates. A pre-poll hook hands over X events that Xlib already holds in its own
// queue, where poll() cannot see them. stop() unregisters everything, then shuts the toolkit down; a
// later start() brings it up again.
//
// Threads: [main-thread] for every call, the thread that creates and destroys instances.
#pragma once

namespace toolkit {

// Starts the toolkit on the calling thread unless it runs already. Returns false when there is no
// display to open windows on; the toolkit is then left stopped.
bool start();

// Whether start() can succeed: there is a display to open windows on.
bool canOpenWindows();

// Unregisters the toolkit's descriptors from the loop and shuts its GUI support down; nothing
// happens when it is not running.
void stop();

}  // namespace toolkit
