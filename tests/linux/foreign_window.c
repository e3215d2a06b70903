/* A window of another program, for the end-to-end tests: a preview pane
 * ("/p N") or the display settings window (found by title).
 *
 *   foreign_window [WIDTH HEIGHT [TITLE]]
 *
 * Maps a window filled with one colour (RGB 20, 40, 60), titled TITLE (UTF-8,
 * in both WM_NAME and _NET_WM_NAME), prints its id in decimal on one line and
 * keeps it open until the process is killed. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    int width = argc > 2 ? atoi(argv[1]) : 200;
    int height = argc > 2 ? atoi(argv[2]) : 150;
    const char* title = argc > 3 ? argv[3] : "preview pane";
    if (width <= 0 || height <= 0) {
        fprintf(stderr, "usage: foreign_window [WIDTH HEIGHT [TITLE]]\n");
        return 2;
    }
    Display* d = XOpenDisplay(NULL);
    if (!d) {
        fprintf(stderr, "foreign_window: cannot open the display\n");
        return 1;
    }
    int screen = DefaultScreen(d);
    Window w = XCreateSimpleWindow(d, RootWindow(d, screen), 40, 30, (unsigned)width,
                                   (unsigned)height, 0, 0, 0x14283C);
    Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                    (const unsigned char*)title, (int)strlen(title));
    XChangeProperty(d, w, XA_WM_NAME, utf8, 8, PropModeReplace, (const unsigned char*)title,
                    (int)strlen(title));
    XSelectInput(d, w, StructureNotifyMask);
    XMapWindow(d, w);
    for (;;) {
        XEvent e;
        XNextEvent(d, &e);
        if (e.type == MapNotify) break;
    }
    printf("%lu\n", (unsigned long)w);
    fflush(stdout);
    for (;;) {
        XEvent e;
        XNextEvent(d, &e);
    }
}
