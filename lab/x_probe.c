// SPDX-License-Identifier: Apache-2.0
/* x_probe: starts a program on an X display that has no window manager and
 * measures, from the moment it starts the program:
 *   - when the program's first top-level window is mapped and when it first
 *     shows painted content (the window's pixels stop being one colour);
 *   - how quickly the program answers window-manager pings (_NET_WM_PING, the
 *     request a desktop uses to declare a window "not responding"): one ping
 *     every 100 ms to the mapped window; the program's answer comes back to
 *     the root window, where this probe holds SubstructureRedirect.
 * Usage: x_probe SECONDS PROGRAM ARGS...   (DISPLAY from the environment)
 * Prints KEY=VALUE lines (milliseconds) and ends the program (its process
 * group) after SECONDS.
 */
#include <xcb/xcb.h>

#include <poll.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

static xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), NULL);
    xcb_atom_t a = r ? r->atom : XCB_NONE;
    free(r);
    return a;
}

/* True when the window's pixels are not all one colour. */
static int painted(xcb_connection_t *c, xcb_window_t w)
{
    xcb_get_geometry_reply_t *g = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), NULL);
    if (!g) return 0;
    uint16_t width = g->width, height = g->height;
    free(g);
    xcb_get_image_reply_t *img = xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, w, 0, 0, width, height, ~0u), NULL);
    if (!img) return 0;
    const uint32_t *px = (const uint32_t *)xcb_get_image_data(img);
    int n = xcb_get_image_data_length(img) / 4, varied = 0;
    for (int i = 1; i < n && !varied; ++i)
        varied = (px[i] & 0xFFFFFF) != (px[0] & 0xFFFFFF);
    free(img);
    return varied;
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: x_probe SECONDS PROGRAM ARGS...\n");
        return 2;
    }
    const double duration = atof(argv[1]) * 1000.0;
    xcb_connection_t *c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "x_probe: no display\n");
        return 2;
    }
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_window_t root = screen->root;
    uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_void_cookie_t ck = xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_generic_error_t *err = xcb_request_check(c, ck);
    if (err) {
        fprintf(stderr, "x_probe: another window manager holds the display\n");
        return 2;
    }
    const xcb_atom_t wm_protocols = atom(c, "WM_PROTOCOLS"), net_wm_ping = atom(c, "_NET_WM_PING");

    const double t0 = now_ms();
    pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    setpgid(child, child);

    xcb_window_t win = XCB_NONE;
    double mapped = -1, first_paint = -1, next_ping = 0, last_answer = -1, max_latency = 0, max_gap = 0;
    double sent_at[4096];
    uint32_t sent = 0, answered = 0;
    int fd = xcb_get_file_descriptor(c);
    for (;;) {
        double t = now_ms() - t0;
        if (t >= duration) break;
        struct pollfd p = {fd, POLLIN, 0};
        poll(&p, 1, 10);
        xcb_generic_event_t *e;
        while ((e = xcb_poll_for_event(c))) {
            switch (e->response_type & 0x7F) {
            case XCB_MAP_REQUEST: {
                xcb_map_request_event_t *m = (xcb_map_request_event_t *)e;
                xcb_map_window(c, m->window);
                if (win == XCB_NONE) {
                    win = m->window;
                    mapped = now_ms() - t0;
                    last_answer = mapped;
                }
                break;
            }
            case XCB_CONFIGURE_REQUEST: {
                xcb_configure_request_event_t *r = (xcb_configure_request_event_t *)e;
                uint32_t v[7];
                int i = 0;
                uint16_t m = r->value_mask & (XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                                              XCB_CONFIG_WINDOW_HEIGHT);
                if (m & XCB_CONFIG_WINDOW_X) v[i++] = (uint32_t)r->x;
                if (m & XCB_CONFIG_WINDOW_Y) v[i++] = (uint32_t)r->y;
                if (m & XCB_CONFIG_WINDOW_WIDTH) v[i++] = r->width;
                if (m & XCB_CONFIG_WINDOW_HEIGHT) v[i++] = r->height;
                xcb_configure_window(c, r->window, m, v);
                break;
            }
            case XCB_CLIENT_MESSAGE: {
                xcb_client_message_event_t *m = (xcb_client_message_event_t *)e;
                if (m->type == wm_protocols && m->data.data32[0] == net_wm_ping) {
                    uint32_t id = m->data.data32[1];
                    if (id >= 1 && id <= sent) {
                        double at = now_ms() - t0, latency = at - sent_at[(id - 1) % 4096];
                        if (latency > max_latency) max_latency = latency;
                        if (at - last_answer > max_gap) max_gap = at - last_answer;
                        last_answer = at;
                        ++answered;
                    }
                }
                break;
            }
            default:
                break;
            }
            free(e);
        }
        t = now_ms() - t0;
        if (win != XCB_NONE && first_paint < 0 && painted(c, win)) first_paint = now_ms() - t0;
        if (win != XCB_NONE && t >= next_ping) {
            xcb_client_message_event_t ping;
            memset(&ping, 0, sizeof ping);
            ping.response_type = XCB_CLIENT_MESSAGE;
            ping.format = 32;
            ping.window = win;
            ping.type = wm_protocols;
            ping.data.data32[0] = net_wm_ping;
            ping.data.data32[1] = ++sent;  /* the timestamp field carries the ping's number */
            ping.data.data32[2] = win;
            sent_at[(sent - 1) % 4096] = t;
            xcb_send_event(c, 0, win, XCB_EVENT_MASK_NO_EVENT, (const char *)&ping);
            next_ping = t + 100;
        }
        xcb_flush(c);
    }
    const double end = now_ms() - t0;
    if (last_answer >= 0 && end - last_answer > max_gap) max_gap = end - last_answer;
    printf("MAPPED_MS=%.0f\nFIRST_PAINT_MS=%.0f\nPINGS_SENT=%u\nPINGS_ANSWERED=%u\n"
           "MAX_PING_LATENCY_MS=%.0f\nMAX_GAP_MS=%.0f\n",
           mapped, first_paint, sent, answered, max_latency, max_gap);
    fflush(stdout);
    kill(-child, SIGTERM);
    usleep(300000);
    kill(-child, SIGKILL);
    waitpid(child, NULL, 0);
    xcb_disconnect(c);
    return 0;
}
