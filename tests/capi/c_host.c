/* A host written in C, built against zephrinimport.h and the shared library
 * alone, as a host developer would write one:
 *   - a streamed read of a generated file of RECORDS records, whose peak
 *     memory (getrusage) must stay within the data file's size + 64 MB when
 *     the third argument is "bounded";
 *   - the same read cancelled from the progress callback;
 *   - two service objects with two writable folders (two stores) reading on
 *     two threads at once.
 * Usage: c_host RECORDS bounded|unbounded */
#define _GNU_SOURCE
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <zephrinimport.h>

static char work[] = "/tmp/zephrin-c-host-XXXXXX";
static int passes = 0, failures = 0;

static void check(int ok, const char* what) {
  printf("%s: %s\n", ok ? "ok" : "FAIL", what);
  if (ok) passes++;
  else failures++;
}

static void path_of(char* out, size_t size, const char* name) { snprintf(out, size, "%s/%s", work, name); }

static int write_file(const char* name, const char* text) {
  char path[512];
  path_of(path, sizeof path, name);
  FILE* f = fopen(path, "w");
  if (!f) return 0;
  fputs(text, f);
  return fclose(f) == 0;
}

/* The template CHART of kind COA, in a store of its own folder. */
static int make_store(const char* folder, const char* name) {
  char ini[256], path[256];
  path_of(path, sizeof path, folder);
  if (mkdir(path, 0700) != 0) return 0;
  snprintf(ini, sizeof ini,
           "[Import:%s]\nInfo=COA\nFsiType=FEDERAL\nAccount_Number=0 2 0\nAccount_Caption=1 2 0\n"
           "Account_Balance=2 2 0\n[Import:Layout]\n1=%s\n",
           name, name);
  snprintf(path, sizeof path, "%s/import.ini", folder);
  return write_file(path, ini);
}

static long long make_data(const char* name, long records) {
  char path[512];
  path_of(path, sizeof path, name);
  FILE* f = fopen(path, "w");
  if (!f) return -1;
  fputs("Account,Caption,Balance\n", f);
  for (long i = 0; i < records; i++) fprintf(f, "%ld,Account number %ld,%ld.50\n", 100000 + i, i, i % 9000);
  long long size = ftell(f);
  return fclose(f) == 0 ? size : -1;
}

/* What a streamed read handed: its size since the last discard, and its end. */
struct received {
  unsigned long long bytes;
  int discards;
  char tail[64];
  size_t tail_size;
  int cancel;
};

static int take_piece(void* user, const char* piece, size_t size) {
  struct received* r = user;
  if (!piece) {
    r->discards++;
    r->bytes = 0;
    r->tail_size = 0;
    return 0;
  }
  r->bytes += size;
  size_t keep = size < sizeof r->tail - 1 ? size : sizeof r->tail - 1;
  if (r->tail_size + keep >= sizeof r->tail) r->tail_size = 0;
  memcpy(r->tail + r->tail_size, piece + size - keep, keep);
  r->tail_size += keep;
  r->tail[r->tail_size] = '\0';
  return 0;
}

static int report(void* user, unsigned long long done, unsigned long long total) {
  struct received* r = user;
  return !(r->cancel && done < total);
}

static int ends_with(const struct received* r, const char* end) {
  size_t n = strlen(end);
  return r->tail_size >= n && strcmp(r->tail + r->tail_size - n, end) == 0;
}

static zephrinimport_service* service_in(const char* folder) {
  char path[512];
  char* listing = NULL;
  zephrinimport_service* s = zephrinimport_create();
  path_of(path, sizeof path, folder);
  if (!s || zephrinimport_set_writable_folder(s, path) != ZEPHRINIMPORT_OK ||
      zephrinimport_call(s, "GetTemplateInfo", "[]", &listing) != ZEPHRINIMPORT_OK) {
    fprintf(stderr, "no service object in %s\n", path);
    exit(1);
  }
  zephrinimport_free(listing);
  return s;
}

static void streamed_reads(long records, int bounded) {
  char data[512];
  long long size = make_data("big.csv", records);
  path_of(data, sizeof data, "big.csv");
  zephrinimport_service* s = service_in("a");
  struct received r = {0};
  zephrinimport_outcome outcome = ZEPHRINIMPORT_EMPTY;
  int code = zephrinimport_stream_import_file(s, data, "CHART", "FCOA", "1", NULL, take_piece, report, &r, &outcome);
  check(code == ZEPHRINIMPORT_OK && outcome == ZEPHRINIMPORT_DOCUMENT && ends_with(&r, "</TMPLT></FCOA>") &&
            r.discards == 0 && r.bytes > (unsigned long long)size,
        "a streamed read hands the whole document");
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  long long peak = (long long)usage.ru_maxrss * 1024, bound = size + (64LL << 20);
  printf("data file %lld MB, text %llu MB, peak %lld MB, bound %lld MB\n", size >> 20, r.bytes >> 20, peak >> 20,
         bound >> 20);
  if (bounded) check(peak <= bound, "the peak memory stays within the data file's size + 64 MB");

  struct received cancelled = {0};
  cancelled.cancel = 1;
  code = zephrinimport_stream_import_file(s, data, "CHART", "FCOA", "1", NULL, take_piece, report, &cancelled, &outcome);
  check(code == ZEPHRINIMPORT_OK && outcome == ZEPHRINIMPORT_ERROR &&
            strcmp(cancelled.tail, "<Error>The import was cancelled.</Error>") == 0,
        "a read cancelled by progress ends with the cancelled document");
  zephrinimport_destroy(s);
}

struct reader {
  const char* folder;
  const char* template_name;
  pthread_barrier_t* start;
  int good;
};

static void* read_many(void* user) {
  struct reader* t = user;
  char data[512];
  path_of(data, sizeof data, "small.csv");
  zephrinimport_service* s = service_in(t->folder);
  pthread_barrier_wait(t->start);
  for (int i = 0; i < 20; i++) {
    char* xml = NULL;
    zephrinimport_outcome outcome = ZEPHRINIMPORT_EMPTY;
    if (zephrinimport_read_import_file(s, data, t->template_name, "FCOA", "9", NULL, &xml, &outcome) ==
            ZEPHRINIMPORT_OK &&
        outcome == ZEPHRINIMPORT_DOCUMENT && strstr(xml, "<Account_Caption>Account number 2</Account_Caption>"))
      t->good++;
    zephrinimport_free(xml);
  }
  zephrinimport_destroy(s);
  return NULL;
}

static void two_threads(void) {
  pthread_barrier_t start;
  pthread_barrier_init(&start, NULL, 2);
  make_data("small.csv", 3);
  /* Each store knows only its own template's name. */
  struct reader a = {"a", "CHART", &start, 0}, b = {"b", "BOOK", &start, 0};
  pthread_t ta, tb;
  pthread_create(&ta, NULL, read_many, &a);
  pthread_create(&tb, NULL, read_many, &b);
  pthread_join(ta, NULL);
  pthread_join(tb, NULL);
  pthread_barrier_destroy(&start);
  check(a.good == 20 && b.good == 20, "two objects with two stores read on two threads");
}

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  if (!mkdtemp(work)) return 1;
  if (!make_store("a", "CHART") || !make_store("b", "BOOK")) return 1;
  check(zephrinimport_version_number() >= ZEPHRINIMPORT_VERSION_NUMBER, "the library is as new as the header");
  streamed_reads(atol(argv[1]), strcmp(argv[2], "bounded") == 0);
  two_threads();
  char command[600];
  snprintf(command, sizeof command, "rm -rf '%s'", work);
  if (system(command) != 0) return 1;
  printf("c host: %d passed, %d failed\n", passes, failures);
  return failures == 0 ? 0 : 1;
}
