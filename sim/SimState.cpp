// Saving and loading the simulated chip's lasting state.
//
// DIR/flash.bin holds the whole flash, raw. DIR/chip.txt holds the rest as "key value"
// lines (blank lines and lines starting with '#' are skipped):
//   identity normal | update-7c3d | update-0b7e
//   normal-ids 7c3d 6012
//   jedec c2 20 14
//   flash-status 00            (the lasting status bits: protect and bit 7)
//   isp-mode 0                 (1: the chip was left in ISP mode)
//   bank 0d                    (the selected register bank)
//   register 0d 07 10          (bank, register, value: every register that differs from
//                               its power-on value; the I2C master's own ones excepted)
//   i2c 20 05 3c               (slave, register, value: every non-zero slave register)
// The chip keeps its registers and slaves between two runs, as attached hardware stays
// powered between two uses of the tool.
//   eeprom-present 1
//   option 10 00 00 80
//   vid 37 43 33 44
//   pid 36 30 31 32
//   string1 .. string3         (the 32-byte records, as hex bytes)
//   fault ...                  (see SimulatedChip.h; read, never written back)
//
// A save is all or nothing, even when the process is killed part way: both new files are
// written and flushed under temporary names, then a commit mark is put down, then the
// files are renamed into place and the mark is removed. A load first finishes a save
// whose mark is there (the new files are complete) or throws away the temporary files of
// one whose mark is not (the old files are intact). So the directory holds the state of
// before or of after a save, never one file of each. Callers hold the directory's lock
// (SimStateLock) around load and save.
//
// A flash.bin of another size than the flash is refused.

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "files/ReplaceFile.h"
#include "sim/SimulatedChip.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kFlashFile = "flash.bin";
constexpr const char* kChipFile = "chip.txt";
constexpr const char* kCommitMark = ".save-commit";
constexpr const char* kNewSuffix = ".new";

bool Fail(std::string* error, const std::string& text) {
    if (error != nullptr) *error = text;
    return false;
}

const char* IdentityName(SimIdentity id) {
    switch (id) {
        case SimIdentity::Normal: return "normal";
        case SimIdentity::Update7C3D: return "update-7c3d";
        case SimIdentity::Update0B7E: return "update-0b7e";
    }
    return "normal";
}

std::optional<SimIdentity> IdentityFromName(const std::string& name) {
    for (SimIdentity id : {SimIdentity::Normal, SimIdentity::Update7C3D, SimIdentity::Update0B7E}) {
        if (name == IdentityName(id)) return id;
    }
    return std::nullopt;
}

template <typename Bytes>
std::string Hex(const Bytes& bytes) {
    std::string text;
    char part[4];
    for (uint8_t b : bytes) {
        std::snprintf(part, sizeof part, text.empty() ? "%02x" : " %02x", b);
        text += part;
    }
    return text;
}

// Reads exactly `count` hexadecimal values no larger than `max` from `text`.
bool ParseHexList(const std::string& text, size_t count, unsigned max, std::vector<unsigned>& out) {
    std::istringstream in(text);
    out.clear();
    std::string word;
    while (in >> word) {
        if (word.empty() || word.size() > 4) return false;
        unsigned value = 0;
        for (char c : word) {
            const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                              : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                              : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                                          : -1;
            if (digit < 0) return false;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        if (value > max) return false;
        out.push_back(value);
    }
    return out.size() == count;
}

template <size_t N>
bool ParseBytes(const std::string& text, std::array<uint8_t, N>& bytes) {
    std::vector<unsigned> values;
    if (!ParseHexList(text, N, 0xFF, values)) return false;
    for (size_t i = 0; i < N; ++i) bytes[i] = static_cast<uint8_t>(values[i]);
    return true;
}

fs::path NewName(const fs::path& dir, const char* file) {
    return dir / (std::string(".") + file + kNewSuffix);
}

bool WriteNew(const fs::path& dir, const char* file, const std::string& bytes,
              std::string* error) {
    std::string reason;
    if (WriteFileSynced(NewName(dir, file).string(),
                        reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), reason))
        return true;
    return Fail(error, reason);
}

// Moves the new files of a committed save into place and removes the mark.
bool FinishCommittedSave(const fs::path& dir, std::string* error) {
    for (const char* file : {kFlashFile, kChipFile}) {
        const fs::path fresh = NewName(dir, file);
        if (!fs::exists(fresh)) continue;  // already moved before the interruption
        std::string reason;
        if (!RenameSynced(fresh.string(), (dir / file).string(), reason))
            return Fail(error, reason);
    }
    std::error_code ec;
    fs::remove(dir / kCommitMark, ec);
    SyncFolderOf((dir / kCommitMark).string());
    return true;
}

// Brings the directory back to one whole state after an interrupted save.
bool RecoverInterruptedSave(const fs::path& dir, std::string* error) {
    if (fs::exists(dir / kCommitMark)) return FinishCommittedSave(dir, error);
    std::error_code ec;
    for (const char* file : {kFlashFile, kChipFile}) fs::remove(NewName(dir, file), ec);
    return true;
}

bool ReadWhole(const fs::path& path, std::string& bytes, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Fail(error, "cannot open " + path.string());
    std::ostringstream all;
    all << in.rdbuf();
    if (in.bad()) return Fail(error, "cannot read " + path.string());
    bytes = all.str();
    return true;
}

}  // namespace

bool SimulatedChip::SaveState(const std::string& dirName, std::string* error) const {
    const fs::path dir(dirName);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) return Fail(error, "cannot create directory " + dirName);
    if (!RecoverInterruptedSave(dir, error)) return false;

    const SimEeprom& e = mailbox_.Eeprom();
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x %04x", normalVid_, normalPid_);
    std::ostringstream text;
    text << "# Quorvel simulated chip\n"
         << "identity " << IdentityName(identity_) << "\n"
         << "normal-ids " << ids << "\n"
         << "jedec " << Hex(flash_.JedecId()) << "\n"
         << "flash-status "
         << Hex(std::array<uint8_t, 1>{
                static_cast<uint8_t>(flash_.Status() & SimFlash::kStatusWritableMask)})
         << "\n"
         << "isp-mode " << (ispMode_ ? 1 : 0) << "\n"
         << "eeprom-present " << (e.present ? 1 : 0) << "\n"
         << "option " << Hex(e.option) << "\n"
         << "vid " << Hex(e.vid) << "\n"
         << "pid " << Hex(e.pid) << "\n";
    for (int n = 0; n < 3; ++n) text << "string" << n + 1 << " " << Hex(e.strings[n]) << "\n";
    text << "bank " << Hex(std::array<uint8_t, 1>{bank_}) << "\n";
    for (int b = 0; b < 256; ++b) {
        for (int r = 1; r < 256; ++r) {
            const auto bank = static_cast<uint8_t>(b), reg = static_cast<uint8_t>(r);
            if (bank == 14 && SimI2c::Owns(reg)) continue;
            if (banks_[b][r] != PowerOnValue(bank, reg))
                text << "register " << Hex(std::array<uint8_t, 3>{bank, reg, banks_[b][r]}) << "\n";
        }
    }
    for (const auto& [address, slave] : i2c_.Slaves())
        for (int r = 0; r < 256; ++r)
            if (slave.registers[r] != 0)
                text << "i2c " << Hex(std::array<uint8_t, 3>{address, uint8_t(r), slave.registers[r]}) << "\n";

    const std::vector<uint8_t>& flash = flash_.Contents();
    if (!WriteNew(dir, kFlashFile, std::string(flash.begin(), flash.end()), error) ||
        !WriteNew(dir, kChipFile, text.str(), error))
        return false;
    // From here on the save counts as done: a crash is finished by the next load.
    std::string reason;
    const fs::path mark = dir / kCommitMark;
    const std::string markTemp = mark.string() + kNewSuffix;
    if (!WriteFileSynced(markTemp, reinterpret_cast<const uint8_t*>("commit\n"), 7, reason) ||
        !RenameSynced(markTemp, mark.string(), reason))
        return Fail(error, reason);
    return FinishCommittedSave(dir, error);
}

bool SimulatedChip::LoadState(const std::string& dir, std::string* error) {
    if (fs::exists(dir) && !RecoverInterruptedSave(dir, error)) return false;
    // Everything is read into a fresh chip first; only a complete state replaces ours.
    SimIdentity identity = SimIdentity::Normal;
    uint16_t vid = 0x7c3d;
    uint16_t pid = 0x6012;
    std::array<uint8_t, 3> jedec{0xC2, 0x20, 0x14};
    std::array<uint8_t, 1> flashStatus{0};
    bool ispMode = false;
    std::array<uint8_t, 1> bank{0};
    std::vector<std::array<uint8_t, 3>> registers, slaveRegisters;
    SimEeprom eeprom;
    std::vector<FaultLine> faults;

    const fs::path chipPath = fs::path(dir) / kChipFile;
    if (fs::exists(chipPath)) {
        std::string text;
        if (!ReadWhole(chipPath, text, error)) return false;
        std::istringstream lines(text);
        std::string line;
        int number = 0;
        while (std::getline(lines, line)) {
            ++number;
            const auto bad = [&] {
                return Fail(error, chipPath.string() + ":" + std::to_string(number) +
                                       ": bad line: " + line);
            };
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
            std::istringstream words(line);
            std::string key;
            words >> key;
            std::string rest;
            std::getline(words, rest);
            std::vector<unsigned> values;
            bool ok = true;
            if (key == "identity") {
                std::istringstream r(rest);
                std::string name, extra;
                r >> name;
                const auto id = IdentityFromName(name);
                ok = id.has_value() && !(r >> extra);
                if (ok) identity = *id;
            } else if (key == "normal-ids") {
                ok = ParseHexList(rest, 2, 0xFFFF, values);
                if (ok) {
                    vid = static_cast<uint16_t>(values[0]);
                    pid = static_cast<uint16_t>(values[1]);
                }
            } else if (key == "jedec") {
                ok = ParseBytes(rest, jedec);
            } else if (key == "flash-status") {
                ok = ParseBytes(rest, flashStatus);
            } else if (key == "isp-mode") {
                ok = ParseHexList(rest, 1, 1, values);
                if (ok) ispMode = values[0] == 1;
            } else if (key == "bank") {
                ok = ParseBytes(rest, bank);
            } else if (key == "register" || key == "i2c") {
                std::array<uint8_t, 3> entry{};
                ok = ParseBytes(rest, entry) && (key == "i2c" || entry[1] != 0);
                if (ok) (key == "register" ? registers : slaveRegisters).push_back(entry);
            } else if (key == "fault") {
                FaultLine fault;
                ok = ParseFaultLine(rest, fault);
                if (ok) faults.push_back(fault);
            } else if (key == "eeprom-present") {
                ok = ParseHexList(rest, 1, 1, values);
                if (ok) eeprom.present = values[0] == 1;
            } else if (key == "option") {
                ok = ParseBytes(rest, eeprom.option);
            } else if (key == "vid") {
                ok = ParseBytes(rest, eeprom.vid);
            } else if (key == "pid") {
                ok = ParseBytes(rest, eeprom.pid);
            } else if (key == "string1" || key == "string2" || key == "string3") {
                ok = ParseBytes(rest, eeprom.strings[key.back() - '1']);
            } else {
                ok = false;
            }
            if (!ok) return bad();
        }
    }

    SimFlash flash(clock_);
    flash.SetJedecId(jedec[0], jedec[1], jedec[2]);
    flash.SetStatus(static_cast<uint8_t>(flashStatus[0] & SimFlash::kStatusWritableMask));
    const fs::path flashPath = fs::path(dir) / kFlashFile;
    if (fs::exists(flashPath)) {
        std::string bytes;
        if (!ReadWhole(flashPath, bytes, error)) return false;
        // A flash.bin of another size is not this flash's image: a truncated copy would
        // otherwise read as a partly erased chip.
        if (bytes.size() != flash.Size()) {
            return Fail(error, flashPath.string() + " holds " + std::to_string(bytes.size()) +
                                   " bytes, not the flash's " + std::to_string(flash.Size()));
        }
        std::copy(bytes.begin(), bytes.end(), flash.Contents().begin());
    }

    ResetToDefaults();
    identity_ = identity;
    normalVid_ = vid;
    normalPid_ = pid;
    flash_.SetJedecId(jedec[0], jedec[1], jedec[2]);
    flash_.Contents() = flash.Contents();
    flash_.SetStatus(flash.Status());
    mailbox_.Eeprom() = eeprom;
    ispMode_ = ispMode;
    bank_ = bank[0];
    for (const auto& [b, r, v] : registers) SetRegister(b, r, v);
    for (const auto& [address, r, v] : slaveRegisters) SetI2cSlaveRegister(address, r, v);
    for (const FaultLine& fault : faults) ApplyFault(fault);
    return true;
}
