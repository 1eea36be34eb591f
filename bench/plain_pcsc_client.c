/* The plainest PC/SC client there is, as the yardstick of orvexcard's PC/SC
 * path: one context, the reader list, one shared connection, then every APDU
 * of a file (one command per line, in hex, as captured from orvexcard) sent
 * in order; each must be answered with 90 00. Nothing else: no polling, no
 * status queries, no reconnect. With an output file, the data of the answers
 * is saved there as `orvexcard dump` saves a card: a new file, synced to the
 * disk and renamed over the old one, then the directory synced.
 *
 *   plain_pcsc_client READER APDU_FILE [OUT]  send the commands; exit 0 when all were answered 90 00
 *   plain_pcsc_client READER --wait           wait (at most 10 s) until a card is in READER
 *
 * Build: cc -O2 plain_pcsc_client.c $(pkg-config --cflags --libs libpcsclite) */
#include <PCSC/winscard.h>
#include <fcntl.h>
#include <libgen.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define MAX_APDU 261

static int parseHex(const char* line, BYTE* out, DWORD* length) {
    DWORD n = 0;
    unsigned byte;
    int used;
    for (; sscanf(line, " %2x%n", &byte, &used) == 1; line += used) {
        if (n == MAX_APDU) return 0;
        out[n++] = (BYTE)byte;
    }
    *length = n;
    return n >= 4;
}

/* The first reader whose name contains `want`. */
static int findReader(SCARDCONTEXT context, const char* want, char* name, size_t size) {
    char list[4096];
    DWORD length = sizeof list;
    if (SCardListReaders(context, NULL, list, &length) != SCARD_S_SUCCESS) return 0;
    for (const char* r = list; *r; r += strlen(r) + 1)
        if (strstr(r, want) && strlen(r) < size) return strcpy(name, r), 1;
    return 0;
}

static int waitForCard(SCARDCONTEXT context, const char* reader) {
    SCARD_READERSTATE state = {.szReader = reader, .dwCurrentState = SCARD_STATE_UNAWARE};
    for (int tries = 0; tries < 100; ++tries) {
        if (SCardGetStatusChange(context, 100, &state, 1) == SCARD_S_SUCCESS &&
            (state.dwEventState & SCARD_STATE_PRESENT) && !(state.dwEventState & SCARD_STATE_MUTE))
            return 0;
        state.dwCurrentState = state.dwEventState & ~SCARD_STATE_CHANGED;
    }
    return 1;
}

#define MAX_DATA 65536

/* The bytes in full under path, synced, the directory synced after the rename. */
static int save(const char* path, const BYTE* data, size_t size) {
    char temp[4096], dir[4096];
    if (snprintf(temp, sizeof temp, "%s.tmp-XXXXXX", path) >= (int)sizeof temp) return 1;
    int fd = mkstemp(temp);
    if (fd < 0) return 1;
    int ok = write(fd, data, size) == (ssize_t)size && fsync(fd) == 0;
    ok = close(fd) == 0 && ok && rename(temp, path) == 0;
    if (!ok) return unlink(temp), 1;
    snprintf(dir, sizeof dir, "%s", path);
    fd = open(dirname(dir), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) fsync(fd), close(fd);
    return 0;
}

static int sendAll(SCARDCONTEXT context, const char* reader, FILE* apdus, const char* out) {
    SCARDHANDLE card;
    DWORD protocol, length, received;
    BYTE command[MAX_APDU], response[258];
    static BYTE data[MAX_DATA];
    size_t kept = 0;
    char line[2 * MAX_APDU + 8];
    long sent = 0;
    if (SCardConnect(context, reader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol))
        return fprintf(stderr, "SCardConnect failed\n"), 1;
    const SCARD_IO_REQUEST* pci = protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
    while (fgets(line, sizeof line, apdus)) {
        if (!parseHex(line, command, &length)) return fprintf(stderr, "bad APDU line: %s", line), 1;
        received = sizeof response;
        if (SCardTransmit(card, pci, command, length, NULL, response, &received) != SCARD_S_SUCCESS ||
            received < 2 || response[received - 2] != 0x90 || response[received - 1] != 0x00)
            return fprintf(stderr, "APDU %ld failed\n", sent + 1), 1;
        if (kept + received - 2 > MAX_DATA) return fprintf(stderr, "more than %d bytes of answers\n", MAX_DATA), 1;
        memcpy(data + kept, response, received - 2);
        kept += received - 2;
        ++sent;
    }
    SCardDisconnect(card, SCARD_LEAVE_CARD);
    return out && save(out, data, kept) ? fprintf(stderr, "cannot save %s\n", out), 1 : 0;
}

int main(int argc, char** argv) {
    SCARDCONTEXT context;
    char reader[512];
    if (argc < 3 || argc > 4) return fprintf(stderr, "usage: %s READER APDU_FILE [OUT]|--wait\n", argv[0]), 2;
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, NULL, NULL, &context) != SCARD_S_SUCCESS)
        return fprintf(stderr, "SCardEstablishContext failed\n"), 1;
    int rc = 1;
    if (!findReader(context, argv[1], reader, sizeof reader)) {
        fprintf(stderr, "no reader named like \"%s\"\n", argv[1]);
    } else if (strcmp(argv[2], "--wait") == 0) {
        rc = waitForCard(context, reader);
    } else {
        FILE* apdus = fopen(argv[2], "r");
        if (!apdus) perror(argv[2]);
        else rc = sendAll(context, reader, apdus, argc == 4 ? argv[3] : NULL), fclose(apdus);
    }
    SCardReleaseContext(context);
    return rc;
}
