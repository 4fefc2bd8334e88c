// decode_command.cpp: `oargala --decode PICTURE OUT.pam` and the PAM writer.
// Depends on image_loader.h and platform/ (headless backend, so that a
// message box becomes a line on stderr).
#include "decode_command.h"

#include "image_loader.h"
#include "platform/platform.h"
#include "platform/say.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

bool write_pam(const char* path, const uint8_t* bottom_up_pixels, uint32_t width, uint32_t height,
               unsigned channels)
{
    // errno is cleared first so that the reason is this file's, and kept
    // from the first call that failed (fclose may set another).
    errno = 0;
    FILE* out = fopen(path, "wb");
    if (!out) return false;
    fprintf(out, "P7\nWIDTH %u\nHEIGHT %u\nDEPTH %u\nMAXVAL 255\nTUPLTYPE %s\nENDHDR\n", width, height, channels,
            channels == 4 ? "RGB_ALPHA" : "RGB");
    size_t row_bytes = (size_t)width * channels;
    bool written = true;
    for (uint32_t r = height; written && r-- > 0;)
        written = fwrite(bottom_up_pixels + (size_t)r * row_bytes, 1, row_bytes, out) == row_bytes;
    int reason = errno;   // of the write that failed, if one did
    bool closed = fclose(out) == 0;
    if (!written || !closed) errno = reason ? reason : errno ? errno : EIO;
    return written && closed;
}

int decode_command(const char* picture, const char* pam_output)
{
    const char* why = "";
    platform_select(PLATFORM_BACKEND_OFFSCREEN, &why);
    ImageLoader loader;
    loader.read_image(picture, 0);
    fflush(stdout);
    if (!loader.decoded) {
        say("%s: no picture decoded (%s)", picture, loader.failure);
        return 1;
    }
    if (!write_pam(pam_output, loader.pixels, loader.width, loader.height, loader.bits_per_pixel / 8u)) {
        say("cannot write %s: %s", pam_output, strerror(errno));
        // What was written is not left as if whole; a device (/dev/full)
        // or anything else that is not a plain file stays.
        struct stat st;
        if (stat(pam_output, &st) == 0 && S_ISREG(st.st_mode)) remove(pam_output);
        return 1;
    }
    return 0;
}
