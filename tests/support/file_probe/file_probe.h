// SPDX-License-Identifier: Apache-2.0
/* The file probe's one function for a test program that links it (file_probe.c
 * says what the probe does). */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

/* Logs the calls on paths inside `root` to the file `logPath` (appended),
 * numbering them from 1 again; a null root stops the watching. */
void readout_file_probe_watch(const char *root, const char *logPath);
/* From now on, writes to watched files may add `room` bytes in all, as on a
 * disk that is nearly full (-1: no limit again). */
void readout_file_probe_fill_disk(long room);

#ifdef __cplusplus
}
#endif
