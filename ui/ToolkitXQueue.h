// Whether Xlib holds events of the toolkit's X connection in its own queue, where poll() cannot see
// them. Kept apart from the platform headers, whose Win32 names clash with the X headers.
//
// Threads: [main-thread].
#pragma once

namespace toolkit {

// The toolkit's X connection descriptor when events wait in Xlib's queue, else -1.
int toolkitConnectionWithQueuedEvents();

// The toolkit's X connection (an Xlib Display*), opened now if it is not open yet; null when it cannot
// be opened.
void* toolkitDisplay();

// The descriptor of the toolkit's X connection, or -1 when it has none.
int toolkitConnectionFd();

}  // namespace toolkit
