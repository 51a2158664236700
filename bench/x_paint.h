/* What the window benchmarks share: the clock, and whether a window on the X display holds its
 * painted contents (more than a few colours: an empty window is one colour). */
#ifndef STROVANIK_BENCH_X_PAINT_H
#define STROVANIK_BENCH_X_PAINT_H

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <time.h>

enum { kPaintedColours = 16, kTimeoutMs = 10000 };

static double nowMs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

/* Whether the window's image holds at least kPaintedColours colours. */
static int painted(Display* display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) {
        return 0;
    }
    XImage* image = XGetImage(display, window, 0, 0, (unsigned)attributes.width,
                              (unsigned)attributes.height, AllPlanes, ZPixmap);
    if (image == NULL) return 0;
    unsigned long seen[kPaintedColours];
    int count = 0;
    for (int y = 0; y < image->height && count < kPaintedColours; y += 2) {
        for (int x = 0; x < image->width && count < kPaintedColours; x += 2) {
            const unsigned long pixel = XGetPixel(image, x, y);
            int known = 0;
            for (int i = 0; i < count && !known; ++i) known = seen[i] == pixel;
            if (!known) seen[count++] = pixel;
        }
    }
    XDestroyImage(image);
    return count >= kPaintedColours;
}

static int ignoreErrors(Display* display, XErrorEvent* error) {
    (void)display;
    (void)error;
    return 0; /* a window may go away between the event and the look at it */
}

#endif
