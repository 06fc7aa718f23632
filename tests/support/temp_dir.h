// temp_dir.h: a private folder for one test, removed with everything in it afterwards; and a scoped
// environment variable.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace tsv::test {

struct TempDir {
  std::filesystem::path path;
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessivar-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    char* made = ::mkdtemp(buffer.data());
    path = made ? made : "";
  }
  ~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(path, error);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string operator/(const std::string& name) const { return (path / name).string(); }
  std::string str() const { return path.string(); }
};

inline void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline void WriteFileText(const std::string& path, const std::string& text) {
  WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline std::string ReadFileText(const std::string& path) {
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// Sets (or unsets, with nullopt) an environment variable for one scope.
struct ScopedEnv {
  std::string name;
  std::optional<std::string> old;
  ScopedEnv(std::string variable, std::optional<std::string> value) : name(std::move(variable)) {
    if (const char* current = std::getenv(name.c_str())) old = current;
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
  ~ScopedEnv() {
    if (old) {
      ::setenv(name.c_str(), old->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
};

}  // namespace tsv::test
