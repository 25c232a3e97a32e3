// SPDX-License-Identifier: Apache-2.0
// Checks the MQTT libraries built for Windows: initialises OpenSSL without its
// configuration file, connects to a broker (over TLS when a CA file is given,
// verifying the broker's certificate and host name), publishes one message
// with QoS 1 and waits for its PUBACK.
//   mqtt-smoke HOST PORT CAFILE|- TOPIC MESSAGE
// Prints one line a step. Exit status: 0 PUBACK received, 1 bad use or setup,
// 2 connecting failed (the line gives mosquitto_strerror's text, errno and the
// system's own text for the last socket error), 3 no PUBACK within 10 s.
#include <mosquitto.h>
#include <openssl/crypto.h>
#include <openssl/opensslv.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <winsock2.h>
#include <windows.h>

struct state {
  const char *topic;
  const char *message;
  int connack;  // -1 until the CONNACK
  int mid;      // the message's id, once published
  int acked;
};

static void on_connect(struct mosquitto *mosq, void *data, int rc) {
  struct state *state = data;
  state->connack = rc;
  printf("CONNACK: %d (%s)\n", rc, mosquitto_connack_string(rc));
  if (rc != 0) return;
  rc = mosquitto_publish(mosq, &state->mid, state->topic, (int)strlen(state->message), state->message, 1, false);
  printf("publish: %s, message id %d\n", mosquitto_strerror(rc), state->mid);
}

static void on_publish(struct mosquitto *mosq, void *data, int mid) {
  (void)mosq;
  struct state *state = data;
  printf("PUBACK: message id %d\n", mid);
  if (mid == state->mid) state->acked = 1;
}

static void on_log(struct mosquitto *mosq, void *data, int level, const char *text) {
  (void)mosq;
  (void)data;
  if (level & (MOSQ_LOG_ERR | MOSQ_LOG_WARNING)) printf("log: %s\n", text);
}

// The system's text for a Windows error code, without its line end.
static const char *system_text(DWORD code) {
  static char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code, 0, text,
                                sizeof text, NULL);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' ')) --length;
  text[length] = '\0';
  return length ? text : "(none)";
}

static void print_failure(const char *what, int rc) {
  int saved = errno;
  printf("%s: rc %d, mosquitto_strerror \"%s\", errno %d, system text for errno \"%s\"\n", what, rc,
         mosquitto_strerror(rc), saved, system_text((DWORD)saved));
}

int main(int argc, char **argv) {
  if (argc != 6) {
    fprintf(stderr, "usage: mqtt-smoke HOST PORT CAFILE|- TOPIC MESSAGE\n");
    return 1;
  }
  setvbuf(stdout, NULL, _IONBF, 0);
  const char *host = argv[1];
  int port = atoi(argv[2]);
  const char *ca = strcmp(argv[3], "-") ? argv[3] : NULL;
  struct state state = {argv[4], argv[5], -1, -1, 0};

  // The program never reads an OpenSSL configuration file; libmosquitto's own
  // request to load one later is a no-op once this has run.
  if (!OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, NULL)) {
    printf("OPENSSL_init_crypto failed\n");
    return 1;
  }
  printf("OpenSSL: %s (built against %s)\n", OpenSSL_version(OPENSSL_VERSION), OPENSSL_VERSION_TEXT);
  mosquitto_lib_init();
  int major = 0, minor = 0, revision = 0;
  mosquitto_lib_version(&major, &minor, &revision);
  printf("libmosquitto: %d.%d.%d\n", major, minor, revision);

  struct mosquitto *mosq = mosquitto_new(NULL, true, &state);
  if (!mosq) {
    printf("mosquitto_new failed: errno %d\n", errno);
    return 1;
  }
  mosquitto_connect_callback_set(mosq, on_connect);
  mosquitto_publish_callback_set(mosq, on_publish);
  mosquitto_log_callback_set(mosq, on_log);
  if (ca) {
    int rc = mosquitto_tls_set(mosq, ca, NULL, NULL, NULL, NULL);
    printf("TLS with CA file %s: %s\n", ca, mosquitto_strerror(rc));
    if (rc != MOSQ_ERR_SUCCESS) return 1;
  }

  int rc = mosquitto_connect(mosq, host, port, 30);
  if (rc != MOSQ_ERR_SUCCESS) {
    print_failure("connect", rc);
    return 2;
  }
  printf("connect: %s\n", mosquitto_strerror(rc));
  time_t until = time(NULL) + 10;
  while (!state.acked && state.connack <= 0 && time(NULL) < until) {
    rc = mosquitto_loop(mosq, 200, 1);
    if (rc != MOSQ_ERR_SUCCESS) {
      print_failure("loop", rc);
      return 2;
    }
  }
  if (state.connack != 0) return 2;
  if (!state.acked) {
    printf("no PUBACK within 10 s\n");
    return 3;
  }
  mosquitto_disconnect(mosq);
  mosquitto_destroy(mosq);
  mosquitto_lib_cleanup();
  printf("done\n");
  return 0;
}
