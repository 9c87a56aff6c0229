// varda-register REGFILE TYPE LIBPATH: names LIBPATH as the device library of device type TYPE
// in the registry file REGFILE ([HKEY_LOCAL_MACHINE\SOFTWARE\BRAMWELL\VARDA\<TYPE>] "DLL").
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/registry_file.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: varda-register REGFILE TYPE LIBPATH\n");
        return 2;
    }
    const std::string type = argv[2];
    char* end = nullptr;
    const unsigned long value = std::strtoul(type.c_str(), &end, 10);
    if (type.empty() || *end != '\0' || value > 0xFFFFFFFFul) {
        std::fprintf(stderr, "varda-register: device type must be a decimal number: %s\n", argv[2]);
        return 2;
    }
    const std::string key = "SOFTWARE\\BRAMWELL\\VARDA\\" + std::to_string(value);
    if (!platform::RegWriteString(argv[1], key, "DLL", argv[3])) {
        std::fprintf(stderr, "varda-register: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
