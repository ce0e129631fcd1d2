/* The write floor: the least a process can do to put the game's output on its
 * standard output in the game's own pieces. It replays a saved output file in
 * the chunk lengths that the game used (a file of little-endian 32-bit
 * lengths), one write(2) per chunk, and does nothing else.
 *
 *   write_floor OUTPUT CHUNKS > /dev/null
 *
 * Both files are mapped, not read, so that no copying is added to the time:
 * writing to /dev/null never touches the bytes. */

#include <fcntl.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

static const unsigned char* mapFile(const char* path, size_t* size) {
  const int fd = open(path, O_RDONLY);
  struct stat status;
  if (fd < 0 || fstat(fd, &status) != 0) {
    perror(path);
    return NULL;
  }
  *size = (size_t)status.st_size;
  static const unsigned char empty = 0;
  const void* data = *size ? mmap(NULL, *size, PROT_READ, MAP_PRIVATE, fd, 0) : &empty;
  close(fd);
  if (data == MAP_FAILED) {
    perror(path);
    return NULL;
  }
  return data;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s OUTPUT CHUNKS\n", argv[0]);
    return 2;
  }
  size_t outputSize = 0;
  size_t chunksSize = 0;
  const unsigned char* output = mapFile(argv[1], &outputSize);
  const unsigned char* chunks = mapFile(argv[2], &chunksSize);
  if (!output || !chunks) return 2;

  size_t at = 0;
  for (size_t i = 0; i + 4 <= chunksSize; i += 4) {
    const size_t length = (size_t)chunks[i] | (size_t)chunks[i + 1] << 8 |
                          (size_t)chunks[i + 2] << 16 | (size_t)chunks[i + 3] << 24;
    if (length > outputSize - at || write(1, output + at, length) != (ssize_t)length) {
      fprintf(stderr, "%s: chunk %zu does not fit the output\n", argv[0], i / 4);
      return 1;
    }
    at += length;
  }
  return at == outputSize ? 0 : 1;
}
