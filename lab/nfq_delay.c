// SPDX-License-Identifier: Apache-2.0
/* tvl-nfq-delay: holds every packet of one netfilter queue for a fixed time
 * and then lets it pass unchanged.
 *
 *   tvl-nfq-delay QUEUE_NUM DELAY_MS
 *
 * Packets reach the queue through an iptables NFQUEUE rule (with
 * --queue-bypass, so traffic passes undelayed when this program is not
 * running). The delay is the same for every packet, so packets leave in the
 * order they came: a FIFO of packet ids and release times is all that is kept.
 * When the FIFO is full a packet is accepted at once. SIGTERM/SIGINT release
 * every held packet and end the program.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <linux/netfilter.h>
#include <libnetfilter_queue/libnetfilter_queue.h>

#define FIFO_SIZE 65536

struct held {
    uint32_t id;
    int64_t due_ms;
};

static struct held fifo[FIFO_SIZE];
static size_t fifo_head, fifo_count;
static int64_t delay_ms;
static volatile sig_atomic_t stop_requested;

static int64_t now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

static void on_signal(int sig)
{
    (void)sig;
    stop_requested = 1;
}

static int on_packet(struct nfq_q_handle *qh, struct nfgenmsg *msg, struct nfq_data *nfa, void *data)
{
    (void)msg;
    (void)data;
    struct nfqnl_msg_packet_hdr *ph = nfq_get_msg_packet_hdr(nfa);
    if (!ph)
        return 0;
    uint32_t id = ntohl(ph->packet_id);
    if (fifo_count == FIFO_SIZE)
        return nfq_set_verdict(qh, id, NF_ACCEPT, 0, NULL);
    fifo[(fifo_head + fifo_count) % FIFO_SIZE] = (struct held){id, now_ms() + delay_ms};
    fifo_count++;
    return 0;
}

static void release_due(struct nfq_q_handle *qh, int all)
{
    int64_t now = now_ms();
    while (fifo_count > 0 && (all || fifo[fifo_head].due_ms <= now)) {
        nfq_set_verdict(qh, fifo[fifo_head].id, NF_ACCEPT, 0, NULL);
        fifo_head = (fifo_head + 1) % FIFO_SIZE;
        fifo_count--;
    }
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s QUEUE_NUM DELAY_MS\n", argv[0]);
        return 2;
    }
    char *end;
    long queue_num = strtol(argv[1], &end, 10);
    if (*end || queue_num < 0 || queue_num > 65535) {
        fprintf(stderr, "bad queue number %s\n", argv[1]);
        return 2;
    }
    delay_ms = strtoll(argv[2], &end, 10);
    if (*end || delay_ms < 0 || delay_ms > 60000) {
        fprintf(stderr, "bad delay %s\n", argv[2]);
        return 2;
    }

    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_signal;
    sigaction(SIGTERM, &sa, NULL);
    sigaction(SIGINT, &sa, NULL);

    struct nfq_handle *h = nfq_open();
    if (!h) {
        perror("nfq_open");
        return 1;
    }
    if (nfq_bind_pf(h, AF_INET) < 0) {
        perror("nfq_bind_pf");
        return 1;
    }
    struct nfq_q_handle *qh = nfq_create_queue(h, (uint16_t)queue_num, on_packet, NULL);
    if (!qh) {
        perror("nfq_create_queue");
        return 1;
    }
    if (nfq_set_mode(qh, NFQNL_COPY_META, 0) < 0) {
        perror("nfq_set_mode");
        return 1;
    }
    nfq_set_queue_maxlen(qh, FIFO_SIZE);
    /* Accept rather than drop when the kernel-side queue overflows. */
    nfq_set_queue_flags(qh, NFQA_CFG_F_FAIL_OPEN, NFQA_CFG_F_FAIL_OPEN);

    int fd = nfq_fd(h);
    char buf[65536] __attribute__((aligned));
    fprintf(stderr, "queue %ld, delay %lld ms\n", queue_num, (long long)delay_ms);

    while (!stop_requested) {
        int timeout = -1;
        if (fifo_count > 0) {
            int64_t wait = fifo[fifo_head].due_ms - now_ms();
            timeout = wait > 0 ? (int)wait : 0;
        }
        struct pollfd pfd = {fd, POLLIN, 0};
        int r = poll(&pfd, 1, timeout);
        if (r < 0 && errno != EINTR) {
            perror("poll");
            break;
        }
        if (r > 0 && (pfd.revents & POLLIN)) {
            ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
            if (n > 0)
                nfq_handle_packet(h, buf, (int)n);
            else if (n < 0 && errno != EAGAIN && errno != ENOBUFS && errno != EINTR) {
                perror("recv");
                break;
            }
        }
        release_due(qh, 0);
    }
    release_due(qh, 1);
    nfq_destroy_queue(qh);
    nfq_close(h);
    return 0;
}
