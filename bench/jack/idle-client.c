/* A JACK client that does nothing but read its inputs: four input ports, and a process callback that
 * touches every sample of them. The bench runs it beside the analyzer host on one server, so that its
 * process thread shows what the machine and JACK alone give a client's process thread.
 *
 * It also counts the xruns the server reports (of any client in its graph): on SIGUSR1 it prints
 * "xruns N", the count so far, on its standard output.
 *
 *   idle-client NAME      runs until SIGTERM or SIGINT; ports NAME:in_1 .. NAME:in_4 */
#define _GNU_SOURCE
#include <jack/jack.h>

#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

static jack_port_t* ports[4];
static volatile float sink;
static volatile sig_atomic_t stopping;
static volatile sig_atomic_t reportWanted;
static volatile long xruns; /* written by JACK's notification thread only */

static int process(jack_nframes_t frames, void* unused) {
    (void)unused;
    float sum = 0.0f;
    for (int p = 0; p < 4; ++p) {
        const float* samples = jack_port_get_buffer(ports[p], frames);
        for (jack_nframes_t i = 0; i < frames; ++i) sum += samples[i];
    }
    sink = sum;
    return 0;
}

static void nameThread(void* unused) {
    (void)unused;
    pthread_setname_np(pthread_self(), "idle-jack");
}

static int onXrun(void* unused) {
    (void)unused;
    xruns = xruns + 1;
    return 0;
}

static void onSignal(int signal) {
    if (signal == SIGUSR1)
        reportWanted = 1;
    else
        stopping = 1;
}

int main(int argc, char** argv) {
    const char* name = argc > 1 ? argv[1] : "idle-client";
    jack_client_t* client = jack_client_open(name, JackNoStartServer | JackUseExactName, NULL);
    if (client == NULL) {
        fprintf(stderr, "idle-client: no JACK server\n");
        return 1;
    }
    for (int p = 0; p < 4; ++p) {
        char port[16];
        snprintf(port, sizeof port, "in_%d", p + 1);
        ports[p] = jack_port_register(client, port, JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        if (ports[p] == NULL) return 1;
    }
    jack_set_thread_init_callback(client, nameThread, NULL);
    jack_set_process_callback(client, process, NULL);
    jack_set_xrun_callback(client, onXrun, NULL);
    signal(SIGTERM, onSignal);
    signal(SIGINT, onSignal);
    signal(SIGUSR1, onSignal);
    if (jack_activate(client) != 0) return 1;
    while (!stopping) {
        sleep(1); /* a signal cuts it short; one that came just before waits a second at most */
        if (reportWanted) {
            reportWanted = 0;
            printf("xruns %ld\n", xruns);
            fflush(stdout);
        }
    }
    jack_deactivate(client);
    jack_client_close(client);
    return 0;
}
