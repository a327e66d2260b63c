#pragma once
// A fresh folder per test and process under the system's temporary directory, removed
// with its contents.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

class SettingsTempDir {
public:
    SettingsTempDir() {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("quorvel-settings-" + std::to_string(getpid()) + "-" + std::to_string(seed()));
        std::filesystem::create_directories(path_);
    }
    ~SettingsTempDir() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    SettingsTempDir(const SettingsTempDir&) = delete;
    SettingsTempDir& operator=(const SettingsTempDir&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(File(name), std::ios::binary) << text;
        return File(name);
    }
    static std::string Read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path path_;
};
