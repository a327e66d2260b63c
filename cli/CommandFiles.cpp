// The commands that work on files only: checksum and gen-bin.

#include "cli/CliApp.h"
#include "cli/Commands.h"
#include "files/FlashImage.h"
#include "files/ParameterTable.h"
#include "files/ProgramFile.h"

int ChecksumCommand(CliSession& session, const std::string& file) {
    const ProgramFileLoad load = LoadProgramFile(file);
    if (!load.ok) {
        session.err << "quorvel-isp: " << load.message << "\n";
        return kExitUsage;
    }
    session.out << ChecksumCaption(load.checksum) << "\n"
                << "Length : " << load.length << "\n";
    session.Data()["checksum"] = load.checksum;
    session.Data()["length"] = load.length;
    return kExitOk;
}

int GenBinCommand(CliSession& session, const std::string& in, const std::string& out,
                  const GenBinOptions& options) {
    if (!LoadModifyImage(in) || !FindParameterTable()) {
        session.out << "Load file is invalid for modify\n";
        return kExitFailed;
    }
    session.out << "Load file ready\n";
    TableTexts texts;
    for (size_t i = 0; i < texts.size(); ++i) texts[i] = options.strings[i];
    const TableWrite write = WriteModifiedImage(out, options.vid, options.pid, texts);
    switch (write.error) {
        case TableWriteError::None:
            session.out << HexDigits4(write.sum) << "\n";
            session.Data()["file"] = out;
            session.Data()["checksum"] = write.sum;
            return kExitOk;
        case TableWriteError::InvalidInteger:
            session.err << "quorvel-isp: " << write.message << "\n";
            return kExitUsage;
        default:
            session.err << "quorvel-isp: " << (write.message.empty() ? "cannot write " + out
                                                                     : write.message)
                        << "\n";
            return kExitFailed;
    }
}
