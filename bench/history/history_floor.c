// SPDX-License-Identifier: GPL-3.0-or-later
// The least a listing of the history can cost: the rows corvial-batch --history reads, read
// through SQLite's C interface and written as the same CSV or JSON bytes, with nothing
// between the two. bench_history measures the listing against it.
//
// history_floor DATABASE csv|json KEYS KINDS JOBS_SQL SAMPLES_SQL
//   KEYS: the column keys, comma-separated; KINDS: one letter per column (W whole, I id,
//   R real, F flag, T text, M time, X sample texts); JOBS_SQL gives the rows in order,
//   SAMPLES_SQL a job's sample texts with the job id as parameter 1.
#include <sqlite3.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { MaxColumns = 64 };

static char *out;
static size_t used, room;

static void put(const char *bytes, size_t n)
{
    if (used + n > room) {
        fwrite(out, 1, used, stdout);
        used = 0;
        if (n > room) {
            fwrite(bytes, 1, n, stdout);
            return;
        }
    }
    memcpy(out + used, bytes, n);
    used += n;
}

static void putc1(char c)
{
    put(&c, 1);
}

static void putText(const char *s)
{
    put(s, strlen(s));
}

static int isFormula(unsigned char c)
{
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r' || c == '\'';
}

// A CSV cell from its bytes: the formula quote, then quoted when it holds , " CR or LF.
static void csvCell(const char *s, size_t n)
{
    int quote = 0;
    for (size_t i = 0; i < n && !quote; ++i)
        quote = s[i] == ',' || s[i] == '"' || s[i] == '\n' || s[i] == '\r';
    if (quote)
        putc1('"');
    if (n > 0 && isFormula((unsigned char)s[0]))
        putc1('\'');
    if (!quote) {
        put(s, n);
        return;
    }
    for (size_t i = 0; i < n; ++i) {
        if (s[i] == '"')
            putc1('"');
        putc1(s[i]);
    }
    putc1('"');
}

static void jsonString(const char *s, size_t n)
{
    putc1('"');
    size_t from = 0;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = (unsigned char)s[i];
        if (c != '"' && c != '\\' && c >= 0x20)
            continue;
        put(s + from, i - from);
        from = i + 1;
        char esc[8];
        if (c == '"' || c == '\\')
            snprintf(esc, sizeof esc, "\\%c", c);
        else if (c == '\n')
            strcpy(esc, "\\n");
        else if (c == '\r')
            strcpy(esc, "\\r");
        else if (c == '\t')
            strcpy(esc, "\\t");
        else
            snprintf(esc, sizeof esc, "\\u%04x", c);
        putText(esc);
    }
    put(s + from, n - from);
    putc1('"');
}

static void number(double v, int json)
{
    char text[40];
    if (json && v == floor(v) && fabs(v) < 9e15) {
        snprintf(text, sizeof text, "%lld", (long long)v);
    } else if (json) {
        for (int p = 1; p <= 17; ++p) {
            snprintf(text, sizeof text, "%.*g", p, v);
            if (strtod(text, NULL) == v)
                break;
        }
    } else {
        snprintf(text, sizeof text, "%.15g", v);
    }
    putText(text);
}

int main(int argc, char **argv)
{
    if (argc != 7) {
        fputs("usage: history_floor DATABASE csv|json KEYS KINDS JOBS_SQL SAMPLES_SQL\n", stderr);
        return 2;
    }
    const int json = strcmp(argv[2], "json") == 0;
    const char *kinds = argv[4];
    const int columns = (int)strlen(kinds);
    char *keys[MaxColumns];
    char *keyText = strdup(argv[3]);
    for (int c = 0; c < columns && c < MaxColumns; ++c)
        keys[c] = strtok(c == 0 ? keyText : NULL, ",");
    sqlite3 *db;
    sqlite3_stmt *jobs, *samples;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY, NULL) != SQLITE_OK ||
        sqlite3_prepare_v2(db, argv[5], -1, &jobs, NULL) != SQLITE_OK ||
        sqlite3_prepare_v2(db, argv[6], -1, &samples, NULL) != SQLITE_OK) {
        fprintf(stderr, "history_floor: %s\n", sqlite3_errmsg(db));
        return 1;
    }
    room = 1 << 20;
    out = malloc(room);
    char *cell = malloc(1 << 16);
    size_t cellRoom = 1 << 16;
    if (json) {
        putc1('[');
    } else {
        for (int c = 0; c < columns; ++c) {
            if (c > 0)
                putc1(',');
            putText(keys[c]);
        }
        putText("\r\n");
    }
    int rows = 0, rc;
    while ((rc = sqlite3_step(jobs)) == SQLITE_ROW) {
        if (json)
            putText(rows ? ",\n    {\n" : "\n    {\n");
        ++rows;
        for (int c = 0; c < columns; ++c) {
            if (json) {
                putText("        \"");
                putText(keys[c]);
                putText("\": ");
            } else if (c > 0) {
                putc1(',');
            }
            const int null = sqlite3_column_type(jobs, c) == SQLITE_NULL;
            const char *text = (const char *)sqlite3_column_text(jobs, c);
            const size_t bytes = (size_t)sqlite3_column_bytes(jobs, c);
            char digits[24];
            switch (kinds[c]) {
            case 'W':
            case 'I': {
                const long long v = sqlite3_column_int64(jobs, c);
                if (kinds[c] == 'I' && v <= 0) {
                    if (json)
                        putText("null");
                    break;
                }
                snprintf(digits, sizeof digits, "%lld", v);
                putText(digits);
                break;
            }
            case 'R':
                number(sqlite3_column_double(jobs, c), json);
                break;
            case 'F':
                putText(sqlite3_column_int64(jobs, c) ? (json ? "true" : "1")
                                                      : (json ? "false" : "0"));
                break;
            case 'T':
                if (null && strcmp(keys[c], "outcome") == 0) {
                    text = "unfinished";
                    json ? jsonString(text, 10) : csvCell(text, 10);
                    break;
                }
                json ? jsonString(text ? text : "", bytes) : csvCell(text ? text : "", bytes);
                break;
            case 'M':
                if (null) {
                    if (json)
                        putText("null");
                    break;
                }
                if (json)
                    putc1('"');
                put(text, bytes);
                if (json)
                    putc1('"');
                break;
            case 'X': {
                sqlite3_reset(samples);
                sqlite3_bind_int64(samples, 1, sqlite3_column_int64(jobs, 0));
                size_t n = 0;
                int first = 1;
                if (json)
                    putc1('[');
                while (sqlite3_step(samples) == SQLITE_ROW) {
                    const char *s = (const char *)sqlite3_column_text(samples, 0);
                    const size_t len = (size_t)sqlite3_column_bytes(samples, 0);
                    if (json) {
                        if (!first)
                            putText(", ");
                        jsonString(s, len);
                        first = 0;
                        continue;
                    }
                    if (n + 2 * len + 1 > cellRoom) {
                        cellRoom = 2 * (n + 2 * len + 1);
                        cell = realloc(cell, cellRoom);
                    }
                    if (!first)
                        cell[n++] = '\n';
                    first = 0;
                    for (size_t i = 0; i < len; ++i) {
                        const char ch = s[i];
                        if (ch == '\\' || ch == '\r' || ch == '\n') {
                            cell[n++] = '\\';
                            cell[n++] = ch == '\\' ? '\\' : ch == '\r' ? 'r' : 'n';
                        } else {
                            cell[n++] = ch;
                        }
                    }
                }
                if (json)
                    putc1(']');
                else
                    csvCell(cell, n);
                break;
            }
            }
            if (json)
                putText(c == columns - 1 ? "\n" : ",\n");
        }
        putText(json ? "    }" : "\r\n");
    }
    if (rc != SQLITE_DONE) {
        fprintf(stderr, "history_floor: %s\n", sqlite3_errmsg(db));
        return 1;
    }
    if (json)
        putText(rows ? "\n]\n" : "]\n");
    fwrite(out, 1, used, stdout);
    sqlite3_finalize(jobs);
    sqlite3_finalize(samples);
    sqlite3_close(db);
    return fflush(stdout) == 0 ? 0 : 1;
}
