// Loads one program file the way the ISP page does and prints its checksum and length:
//   load_image FILE
// Exit status 0 when the file loaded, 1 when it was rejected (the reason on stderr), 2 on
// wrong usage. Used to time whole-process loading against other tools.

#include <cstdio>

#include "files/FlashImage.h"
#include "files/ProgramFile.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: load_image FILE\n");
        return 2;
    }
    const ProgramFileLoad load = LoadProgramFile(argv[1]);
    if (!load.ok) {
        std::fprintf(stderr, "%s\n", load.message.c_str());
        return 1;
    }
    std::printf("%s  length 0x%X\n", ChecksumCaption(load.checksum).c_str(), load.length);
    return 0;
}
