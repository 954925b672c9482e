/* A host written in C with an X connection and an X error handler of its own, installed before it loads
 * the module: its handler still gets the errors of its connection after loading, while an instance with
 * its window exists, and after the instance is destroyed. Exits 0 when all holds, 77 without a display,
 * otherwise the number of the failed check.
 * Usage: c_host_x_errors <module.so> */
#include "qanagui/protocol.h"

#include <X11/Xlib.h>
#include <dlfcn.h>
#include <stdio.h>

static Display* hostDisplay;
static int hostErrors, otherErrors;

static int onHostError(Display* display, XErrorEvent* event) {
    (void)event;
    if (display == hostDisplay)
        ++hostErrors;
    else
        ++otherErrors;
    return 0;
}

/* Mapping window 0 fails with BadWindow. Returns the host's errors so far. */
static int provokeError(void) {
    XMapWindow(hostDisplay, None);
    XSync(hostDisplay, False);
    return hostErrors;
}

int main(int argc, char** argv) {
    void* module;
    QanaguiDeviceIoControlFn deviceIoControl;
    QanaguiCreateInstanceReply reply = {-9, 0};
    int32_t in = 0, returned = 0, status = -9;
    if (argc < 2) return 90;
    hostDisplay = XOpenDisplay(NULL);
    if (hostDisplay == NULL) {
        puts("no display: skipped");
        return 77;
    }
    XSetErrorHandler(onHostError);
    module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (module == NULL) return 91;
    *(void**)&deviceIoControl = dlsym(module, QANAGUI_EXPORT_NAME);
    if (deviceIoControl == NULL) return 92;
    if (provokeError() != 1) return 1; /* loading the module */

    deviceIoControl(QANAGUI_CMD_CREATE_INSTANCE, &in, 4, &reply, (int32_t)sizeof reply, &returned);
    if (reply.status != QANAGUI_STATUS_OK) return 93;
    if (provokeError() != 2) return 2; /* an instance with its window */

    deviceIoControl(QANAGUI_CMD_DESTROY_INSTANCE, &reply.handle, 4, &status, 4, &returned);
    if (status != QANAGUI_STATUS_OK) return 94;
    if (provokeError() != 3) return 3; /* after the last instance */
    if (otherErrors != 0) return 4;
    XCloseDisplay(hostDisplay);
    return 0;
}
