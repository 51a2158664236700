/* Starts the window on a file and times the file check's dialog: from the moment Ctrl+I is
 * pressed to the first moment the dialog, once mapped, holds its painted contents (more than a
 * few colours: the verdict's band and the text). Escape closes it, and the next round begins.
 * The first round makes the walk of the file; the later ones show the walk already made.
 * Prints one line per round: the round's number, its milliseconds, and the processor time the
 * window's main thread (where the commands and the painting run) used in them, from
 * /proc/PID/schedstat, so that a loaded machine shows how much of the wait was the window's.
 *
 *   check_dialog_open ROUNDS PROGRAM FILE      (on the X display of $DISPLAY, no window manager)
 *
 * The keys are pressed through the X test extension, as a keyboard presses them. Built by
 * bench/check_dialog.sh with the C compiler, libX11, libXtst and libXdamage. */
#define _POSIX_C_SOURCE 200809L
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "x_paint.h"

/* Waits until a top-level window other than `except` is mapped and painted; returns it, or None
 * after kTimeoutMs. */
static Window waitForPainted(Display* display, Damage damage, int damageEvent, Window except) {
    const double start = nowMs();
    Window window = None;
    struct pollfd connection = {ConnectionNumber(display), POLLIN, 0};
    while (nowMs() - start < kTimeoutMs) {
        int drawn = 0;
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && window == None && !event.xmap.override_redirect &&
                event.xmap.window != except) {
                window = event.xmap.window;
                drawn = 1;
            } else if (event.type == damageEvent + XDamageNotify) {
                drawn = 1;
            }
        }
        if (drawn) {
            XDamageSubtract(display, damage, None, None);
            if (window != None && painted(display, window)) return window;
        }
        poll(&connection, 1, 5);
    }
    return None;
}

/* Waits until `window` is unmapped, or kTimeoutMs. */
static void waitForUnmap(Display* display, Window window) {
    const double start = nowMs();
    struct pollfd connection = {ConnectionNumber(display), POLLIN, 0};
    while (nowMs() - start < kTimeoutMs) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == UnmapNotify && event.xunmap.window == window) return;
        }
        poll(&connection, 1, 5);
    }
}

/* The processor time the process's main thread has used, in milliseconds; 0 when unknown. */
static double threadCpuMs(pid_t pid) {
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/schedstat", (int)pid);
    FILE* file = fopen(path, "r");
    if (file == NULL) return 0;
    unsigned long long nanoseconds = 0;
    if (fscanf(file, "%llu", &nanoseconds) != 1) nanoseconds = 0;
    fclose(file);
    return (double)nanoseconds / 1e6;
}

static void waitMs(long milliseconds) {
    const struct timespec t = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

static void press(Display* display, KeySym modifier, KeySym key) {
    const KeyCode modifierCode = modifier != NoSymbol ? XKeysymToKeycode(display, modifier) : 0;
    const KeyCode keyCode = XKeysymToKeycode(display, key);
    if (modifierCode) XTestFakeKeyEvent(display, modifierCode, True, CurrentTime);
    XTestFakeKeyEvent(display, keyCode, True, CurrentTime);
    XTestFakeKeyEvent(display, keyCode, False, CurrentTime);
    if (modifierCode) XTestFakeKeyEvent(display, modifierCode, False, CurrentTime);
    XFlush(display);
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: check_dialog_open ROUNDS PROGRAM FILE\n");
        return 2;
    }
    const int rounds = atoi(argv[1]);
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "check_dialog_open: no X display\n");
        return 2;
    }
    int damageEvent = 0;
    int damageError = 0;
    int testEvent = 0;
    int testError = 0;
    int major = 0;
    int minor = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError) ||
        !XTestQueryExtension(display, &testEvent, &testError, &major, &minor)) {
        fprintf(stderr, "check_dialog_open: the X server lacks the damage or test extension\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    const Damage damage = XDamageCreate(display, root, XDamageReportNonEmpty);
    XSync(display, False);

    const pid_t child = fork();
    if (child == 0) {
        execlp(argv[2], argv[2], argv[3], (char*)NULL);
        _exit(127);
    }
    int status = 0;
    const Window main = waitForPainted(display, damage, damageEvent, None);
    if (main == None) {
        fprintf(stderr, "check_dialog_open: no window\n");
        status = 1;
    } else {
        /* Without a window manager the keyboard goes where it is set. */
        XSetInputFocus(display, main, RevertToParent, CurrentTime);
        XSync(display, False);
        waitMs(300);
        for (int round = 1; round <= rounds && status == 0; ++round) {
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
            }
            XDamageSubtract(display, damage, None, None);
            const double cpuStart = threadCpuMs(child);
            const double start = nowMs();
            press(display, XK_Control_L, XK_i);
            const Window dialog = waitForPainted(display, damage, damageEvent, main);
            const double elapsed = nowMs() - start;
            const double cpu = threadCpuMs(child) - cpuStart;
            if (dialog == None) {
                fprintf(stderr, "check_dialog_open: no dialog within %d ms\n", kTimeoutMs);
                status = 1;
                break;
            }
            printf("%d %.1f %.1f\n", round, elapsed, cpu);
            fflush(stdout);
            press(display, NoSymbol, XK_Escape);
            waitForUnmap(display, dialog);
            XSetInputFocus(display, main, RevertToParent, CurrentTime);
            XSync(display, False);
            waitMs(300);
        }
    }
    kill(child, SIGTERM);
    waitpid(child, NULL, 0);
    XCloseDisplay(display);
    return status;
}
