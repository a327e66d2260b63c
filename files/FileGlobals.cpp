#include "files/FileGlobals.h"

#include <cstring>

#include "files/FlashImage.h"
#include "files/ParameterTable.h"
#include "files/ProgramFile.h"

void ResetFileGlobals() {
    std::memset(gFlashImage, 0, sizeof gFlashImage);
    gImageLength = 0;
    gProgramFileName.clear();
    gProgramFileReady = false;
    std::memset(gModifyImage, 0, sizeof gModifyImage);
    gModifyLength = 0;
    gTableOffset = 0;
    gTableFound = false;
}
