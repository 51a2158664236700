/* Starts a program and prints, in milliseconds, how long it took until its window is on the
 * screen with its contents painted, and the processor time (user + system) it used until then: the first moment the window, once mapped, holds more
 * than a few colours (an empty window is one colour; the painted one holds the banner's
 * gradient and the report's text). The program is then ended.
 *
 *   window_first_paint PROGRAM [ARGUMENT...]      (on the X display of $DISPLAY)
 *
 * The screen is looked at only when something was drawn on it (the X damage extension), so
 * that the watching costs the program next to no processor time.
 *
 * Exit status 0 when the window was seen, 1 when none came within 10 seconds. Built by
 * bench/window_start.sh with the C compiler, libX11 and libXdamage. */
#define _POSIX_C_SOURCE 200809L
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "x_paint.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: window_first_paint PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "window_first_paint: no X display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    int damageEvent = 0;
    int damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        fprintf(stderr, "window_first_paint: the X server has no damage extension\n");
        return 2;
    }
    /* Drawing into any window on the screen damages the root window. */
    const Damage damage = XDamageCreate(display, root, XDamageReportNonEmpty);
    XSync(display, False);

    const double start = nowMs();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }

    Window window = None;
    int seen = 0;
    struct pollfd connection = {ConnectionNumber(display), POLLIN, 0};
    while (!seen && nowMs() - start < kTimeoutMs) {
        int drawn = 0;
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && window == None && !event.xmap.override_redirect) {
                window = event.xmap.window;
                drawn = 1;
            } else if (event.type == damageEvent + XDamageNotify) {
                drawn = 1;
            }
        }
        if (drawn) {
            /* Take the damage as seen before looking, so a drawing after the look reports anew. */
            XDamageSubtract(display, damage, None, None);
            seen = window != None && painted(display, window);
        }
        if (!seen) poll(&connection, 1, 10);
    }
    const double elapsed = nowMs() - start;
    kill(child, SIGTERM);
    waitpid(child, NULL, 0);
    struct rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    const double cpu = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    XCloseDisplay(display);
    if (!seen) {
        fprintf(stderr, "window_first_paint: no painted window within %d ms\n", kTimeoutMs);
        return 1;
    }
    printf("%.1f %.1f\n", elapsed, cpu);
    return 0;
}
