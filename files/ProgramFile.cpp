#include "files/ProgramFile.h"

#include <algorithm>

std::string gProgramFileName;
bool gProgramFileReady = false;

ProgramFileType ProgramFileTypeOf(const std::string& name) {
    if (name.empty()) return ProgramFileType::Unknown;
    // The usual extension of 8051 toolchains' HEX output, whose third letter from the end
    // would otherwise say nothing.
    if (name.size() >= 4 && (name.compare(name.size() - 4, 4, ".ihx") == 0 ||
                             name.compare(name.size() - 4, 4, ".IHX") == 0))
        return ProgramFileType::Hex;
    const char letter = name.size() < 3 ? name.front() : name[name.size() - 3];
    if (letter == 'b' || letter == 'B') return ProgramFileType::Binary;
    if (letter == 'h' || letter == 'H') return ProgramFileType::Hex;
    return ProgramFileType::Unknown;
}

ProgramFileLoad ReadImageFile(const std::string& name) {
    if (name.empty()) {
        ProgramFileLoad load;
        load.error = ProgramFileError::NoFileName;
        load.reason = "no file name";
        load.message = "Program File Not Ready !!    ";
        return load;
    }
    switch (ProgramFileTypeOf(name)) {
        case ProgramFileType::Binary: return ReadBinaryFile(name);
        case ProgramFileType::Hex: return ReadHexFile(name);
        case ProgramFileType::Unknown: break;
    }
    return ProgramFileFailed(name, ProgramFileError::UnknownType,
                             "is neither an Intel HEX file (.hex, .h00) nor a binary file (.bin)");
}

ProgramFileLoad LoadProgramFile(const std::string& name) {
    ProgramFileLoad load = ReadImageFile(name);
    gProgramFileReady = load.ok;
    return load;
}

size_t RememberProgramFile(std::vector<std::string>& names, const std::string& name) {
    const auto found = std::find(names.begin(), names.end(), name);
    if (found != names.end()) return static_cast<size_t>(found - names.begin());
    names.push_back(name);
    return names.size() - 1;
}
