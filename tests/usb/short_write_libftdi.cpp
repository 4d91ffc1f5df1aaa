// libftdi1 with a write that sends one byte fewer than it is given, as a transfer that ends
// early would: loaded in libftdi1's place, it hands every other function on to the real one,
// which it depends on.
#include <dlfcn.h>
#include <ftdi.h>

extern "C" __attribute__((visibility("default"))) int ftdi_write_data(ftdi_context* ftdi,
                                                                      const unsigned char* buffer,
                                                                      int size) {
    using WriteFn = int (*)(ftdi_context*, const unsigned char*, int);
    static const auto write = reinterpret_cast<WriteFn>(
        dlsym(dlopen("libftdi1.so.2", RTLD_NOW | RTLD_NOLOAD), "ftdi_write_data"));
    return write(ftdi, buffer, size > 1 ? size - 1 : size);
}
