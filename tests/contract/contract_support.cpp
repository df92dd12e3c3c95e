#include "contract/contract.h"

#include <algorithm>

void ContractTest::SetUp() {
    CreateDirectoryA(kScratchFolder, nullptr);
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void ContractTest::TearDown() {
    for (HKEY h : handles_) RegCloseKey(h);
    std::sort(keys_.begin(), keys_.end());
    for (auto it = keys_.rbegin(); it != keys_.rend(); ++it) RegDeleteKeyA(HKEY_CURRENT_USER, it->c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, kScratchKey);
    for (auto it = paths_.rbegin(); it != paths_.rend(); ++it) {
        SetFileAttributesA(it->c_str(), FILE_ATTRIBUTE_ARCHIVE);
        if (!DeleteFileA(it->c_str())) RemoveDirectoryA(it->c_str());
    }
    RemoveDirectoryA(kScratchFolder);
}

std::string ContractTest::Path(const std::string& name) {
    std::string path = std::string(kScratchFolder) + "\\" + name;
    paths_.push_back(path);
    return path;
}

std::string ContractTest::KeyPath(const std::string& name) const { return std::string(kScratchKey) + "\\" + name; }

HKEY ContractTest::Key(const std::string& name) {
    std::string path = KeyPath(name);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    // Every level is deleted afterwards, deepest first.
    for (size_t at = path.find('\\', sizeof kScratchKey); at != std::string::npos; at = path.find('\\', at + 1))
        keys_.push_back(path.substr(0, at));
    keys_.push_back(path);
    handles_.push_back(key);
    return key;
}

void ContractTest::MakeFile(const std::string& path, const std::string& bytes) {
    HFILE file = _lcreat(path.c_str(), 0);
    ASSERT_NE(file, HFILE_ERROR) << path << " error " << GetLastError();
    ASSERT_EQ(_lwrite(file, bytes.data(), static_cast<UINT>(bytes.size())), bytes.size()) << path;
    _lclose(file);
}
