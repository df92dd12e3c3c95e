// The registry: a tree of keys with case-insensitive names, sub keys enumerated
// in name order (as Windows and Wine keep them), strings stored as UTF-16 and
// converted through the ANSI code page by the A functions.
#include "platform/sim/sim_internal.h"

#include <algorithm>
#include <cstring>

namespace {

SimMachine::Impl& Sys() { return SimMachine::Current().impl(); }

const DWORD kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | 0x00010000 /*DELETE*/ |
                           0x00040000 /*WRITE_DAC*/ | 0x00080000 /*WRITE_OWNER*/;

bool IsString(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::vector<std::string> SplitKeyPath(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

unsigned CodePage() { return SimMachine::Current().Setup().codePage; }

std::string AnsiName(LPCWSTR name) {
    if (name == nullptr) return std::string();
    size_t n = 0;
    while (name[n]) ++n;
    return AnsiFromWideBytes(WideBytesFromUtf16(name, n), CodePage());
}

// The key behind a handle: a predefined root or one this process opened.
std::shared_ptr<SimKey> KeyOf(HKEY handle, REGSAM* access) {
    auto& sys = Sys();
    auto root = sys.roots.find(handle);
    if (root != sys.roots.end()) {
        if (access) *access = KEY_ALL_ACCESS;
        return root->second;
    }
    auto it = sys.keyHandles.find(handle);
    if (it == sys.keyHandles.end()) return nullptr;
    if (access) *access = it->second.access;
    return it->second.key;
}

HKEY NewHandle(const std::shared_ptr<SimKey>& key, REGSAM access) {
    auto& sys = Sys();
    HKEY handle = reinterpret_cast<HKEY>(sys.nextKeyHandle);
    sys.nextKeyHandle += 4;
    sys.keyHandles[handle] = {key, access};
    return handle;
}

LSTATUS CheckAccess(const SimKey& key, REGSAM wanted) {
    switch (Sys().EffectiveAccess(key)) {
    case SimKeyAccess::None: return ERROR_ACCESS_DENIED;
    case SimKeyAccess::ReadOnly: return (wanted & kWriteRights) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    case SimKeyAccess::Full: return ERROR_SUCCESS;
    }
    return ERROR_ACCESS_DENIED;
}

std::shared_ptr<SimKey> Child(const SimKey& key, const std::string& name) {
    auto it = key.children.find(name);
    return it == key.children.end() ? nullptr : it->second;
}

LSTATUS OpenKey(HKEY base, const std::string& subKey, REGSAM access, PHKEY result, bool create, LPDWORD disposition) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::shared_ptr<SimKey> key = KeyOf(base, nullptr);
    if (!key) return ERROR_INVALID_HANDLE;
    if (key->deleted) return ERROR_KEY_DELETED;
    bool created = false;
    for (const std::string& part : SplitKeyPath(subKey)) {
        std::shared_ptr<SimKey> next = Child(*key, part);
        if (!next) {
            if (!create) return ERROR_FILE_NOT_FOUND;
            if (Sys().EffectiveAccess(*key) != SimKeyAccess::Full) return ERROR_ACCESS_DENIED;
            next = std::make_shared<SimKey>();
            next->name = part;
            next->parent = key.get();
            key->children[part] = next;
            created = true;
        }
        key = next;
    }
    if (!created) {
        LSTATUS status = CheckAccess(*key, access);
        if (status != ERROR_SUCCESS) return status;
    }
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(key, access);
    return ERROR_SUCCESS;
}

LSTATUS WritableKey(HKEY handle, std::shared_ptr<SimKey>* key) {
    REGSAM access = 0;
    *key = KeyOf(handle, &access);
    if (!*key) return ERROR_INVALID_HANDLE;
    if ((*key)->deleted) return ERROR_KEY_DELETED;
    if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

LSTATUS ReadableKey(HKEY handle, REGSAM right, std::shared_ptr<SimKey>* key) {
    REGSAM access = 0;
    *key = KeyOf(handle, &access);
    if (!*key) return ERROR_INVALID_HANDLE;
    if ((*key)->deleted) return ERROR_KEY_DELETED;
    if (!(access & right)) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

// Hands out a value's data the way RegQueryValueEx does: the size needed when
// the buffer is missing or short (ERROR_MORE_DATA, nothing written), and for a
// string that lacks its terminator a zero behind it when there is room.
LSTATUS HandOut(const std::string& data, DWORD type, size_t terminatorSize, LPBYTE out, LPDWORD size) {
    if (out != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
    if (size == nullptr) return ERROR_SUCCESS;
    if (out == nullptr) {
        *size = static_cast<DWORD>(data.size());
        return ERROR_SUCCESS;
    }
    if (data.size() > *size) {
        *size = static_cast<DWORD>(data.size());
        return ERROR_MORE_DATA;
    }
    std::memcpy(out, data.data(), data.size());
    if (IsString(type) && data.size() >= terminatorSize && data.size() + terminatorSize <= *size) {
        bool terminated = true;
        for (size_t i = data.size() - terminatorSize; i < data.size(); ++i) terminated = terminated && data[i] == 0;
        if (!terminated) std::memset(out + data.size(), 0, terminatorSize);
    }
    *size = static_cast<DWORD>(data.size());
    return ERROR_SUCCESS;
}

LSTATUS QueryValue(HKEY handle, const std::string& name, LPDWORD type, LPBYTE data, LPDWORD size, bool wide) {
    std::shared_ptr<SimKey> key;
    LSTATUS status = ReadableKey(handle, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS) return status;
    auto it = key->values.find(name);
    if (it == key->values.end()) return ERROR_FILE_NOT_FOUND;
    const SimValue& value = it->second;
    if (type) *type = value.type;
    if (wide || !IsString(value.type)) return HandOut(value.bytes, value.type, wide ? 2 : 1, data, size);
    return HandOut(AnsiFromWideBytes(value.bytes, CodePage()), value.type, 1, data, size);
}

LSTATUS SetValue(HKEY handle, const std::string& name, DWORD type, std::string bytes) {
    std::shared_ptr<SimKey> key;
    LSTATUS status = WritableKey(handle, &key);
    if (status != ERROR_SUCCESS) return status;
    key->values[name] = SimValue{type, std::move(bytes)};
    return ERROR_SUCCESS;
}

}  // namespace

// ---------------------------------------------------------------- machine side

void SimMachine::Impl::InitRegistry() {
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS})
        roots[root] = std::make_shared<SimKey>();
    // What every Windows has under the keys the installer opens for reading.
    Ensure(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    Ensure(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    Ensure(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent");
    Ensure(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Keyboard Layouts");
    Ensure(HKEY_CURRENT_USER, "Keyboard Layout\\Preload");
    Ensure(HKEY_CURRENT_USER, "Software");
    Ensure(HKEY_USERS, ".DEFAULT\\Keyboard Layout\\Preload");
}

std::shared_ptr<SimKey> SimMachine::Impl::Lookup(HKEY root, const std::string& path) const {
    auto it = roots.find(root);
    if (it == roots.end()) return nullptr;
    std::shared_ptr<SimKey> key = it->second;
    for (const std::string& part : SplitKeyPath(path)) {
        key = Child(*key, part);
        if (!key) return nullptr;
    }
    return key;
}

std::shared_ptr<SimKey> SimMachine::Impl::Ensure(HKEY root, const std::string& path) {
    std::shared_ptr<SimKey> key = roots.at(root);
    for (const std::string& part : SplitKeyPath(path)) {
        std::shared_ptr<SimKey> next = Child(*key, part);
        if (!next) {
            next = std::make_shared<SimKey>();
            next->name = part;
            next->parent = key.get();
            key->children[part] = next;
        }
        key = next;
    }
    return key;
}

SimKeyAccess SimMachine::Impl::EffectiveAccess(const SimKey& key) const {
    for (const SimKey* k = &key; k != nullptr; k = k->parent)
        if (k->access) return *k->access;
    return SimKeyAccess::Full;
}

void SimMachine::CreateKey(HKEY root, const std::string& key) { impl_->Ensure(root, key); }

bool SimMachine::KeyExists(HKEY root, const std::string& key) const { return impl_->Lookup(root, key) != nullptr; }

void SimMachine::SetValue(HKEY root, const std::string& key, const std::string& name, DWORD type,
                          const std::string& raw) {
    impl_->Ensure(root, key)->values[name] = SimValue{type, raw};
}

void SimMachine::SetString(HKEY root, const std::string& key, const std::string& name, const std::string& ansi) {
    SetValue(root, key, name, REG_SZ, WideBytesFromAnsi(ansi, setup_.codePage));
}

std::optional<SimValue> SimMachine::Value(HKEY root, const std::string& key, const std::string& name) const {
    std::shared_ptr<SimKey> k = impl_->Lookup(root, key);
    if (!k) return std::nullopt;
    auto it = k->values.find(name);
    if (it == k->values.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> SimMachine::String(HKEY root, const std::string& key, const std::string& name) const {
    std::optional<SimValue> v = Value(root, key, name);
    if (!v) return std::nullopt;
    std::string text = AnsiFromWideBytes(v->bytes, setup_.codePage);
    return text.substr(0, text.find('\0'));
}

std::optional<std::u16string> SimMachine::WideString(HKEY root, const std::string& key,
                                                     const std::string& name) const {
    std::optional<SimValue> v = Value(root, key, name);
    if (!v) return std::nullopt;
    std::u16string text(reinterpret_cast<const char16_t*>(v->bytes.data()), v->bytes.size() / 2);
    return text.substr(0, text.find(u'\0'));
}

std::vector<std::string> SimMachine::ValueNames(HKEY root, const std::string& key) const {
    std::vector<std::string> names;
    if (std::shared_ptr<SimKey> k = impl_->Lookup(root, key))
        for (const auto& v : k->values) names.push_back(v.first);
    return names;
}

void SimMachine::SetKeyAccess(HKEY root, const std::string& key, SimKeyAccess access) {
    impl_->Ensure(root, key)->access = access;
}

// ---------------------------------------------------------------- Win32

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
    if (DWORD fault = Sys().Fault()) return fault;
    return OpenKey(key, subKey ? subKey : "", access, result, false, nullptr);
}

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM access, PHKEY result) {
    if (DWORD fault = Sys().Fault()) return fault;
    return OpenKey(key, AnsiName(subKey), access, result, false, nullptr);
}

LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access, void*, PHKEY result,
                        LPDWORD disposition) {
    if (DWORD fault = Sys().Fault()) return fault;
    if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
    return OpenKey(key, subKey, access, result, true, disposition);
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM access, void*, PHKEY result,
                        LPDWORD disposition) {
    if (DWORD fault = Sys().Fault()) return fault;
    if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
    return OpenKey(key, AnsiName(subKey), access, result, true, disposition);
}

// A string counted without its terminator gets it back when the byte after the
// count is zero: the NT family looks one place past what it was given.
LSTATUS RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    if (DWORD fault = Sys().Fault()) return fault;
    if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
    if (IsString(type) && size > 0 && data[size - 1] != 0 && data[size] == 0) ++size;
    std::string bytes(reinterpret_cast<const char*>(data), data ? size : 0);
    if (IsString(type)) bytes = WideBytesFromAnsi(bytes, CodePage());
    return SetValue(key, name ? name : "", type, std::move(bytes));
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    if (DWORD fault = Sys().Fault()) return fault;
    if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
    const WCHAR* text = reinterpret_cast<const WCHAR*>(data);
    size_t units = size / sizeof(WCHAR);
    if (IsString(type) && units > 0 && text[units - 1] != 0 && text[units] == 0) size = DWORD((units + 1) * sizeof(WCHAR));
    return SetValue(key, AnsiName(name), type, std::string(reinterpret_cast<const char*>(data), data ? size : 0));
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (DWORD fault = Sys().Fault()) return fault;
    return QueryValue(key, name ? name : "", type, data, size, false);
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (DWORD fault = Sys().Fault()) return fault;
    return QueryValue(key, AnsiName(name), type, data, size, true);
}

LSTATUS RegDeleteValueA(HKEY key, LPCSTR name) {
    if (DWORD fault = Sys().Fault()) return fault;
    std::shared_ptr<SimKey> k;
    LSTATUS status = WritableKey(key, &k);
    if (status != ERROR_SUCCESS) return status;
    return k->values.erase(name ? name : "") ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// Deletes one key without sub keys, as RegDeleteKey does on the NT family.
LSTATUS RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    if (DWORD fault = Sys().Fault()) return fault;
    if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
    std::shared_ptr<SimKey> base = KeyOf(key, nullptr);
    if (!base) return ERROR_INVALID_HANDLE;
    std::shared_ptr<SimKey> target = base;
    for (const std::string& part : SplitKeyPath(subKey)) {
        target = Child(*target, part);
        if (!target) return ERROR_FILE_NOT_FOUND;
    }
    if (target->parent == nullptr) return ERROR_ACCESS_DENIED;
    if (!target->children.empty()) return ERROR_ACCESS_DENIED;
    if (Sys().EffectiveAccess(*target) != SimKeyAccess::Full) return ERROR_ACCESS_DENIED;
    target->deleted = true;
    target->parent->children.erase(target->name);
    target->parent = nullptr;
    return ERROR_SUCCESS;
}

LSTATUS RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPSTR, LPDWORD, void*) {
    if (DWORD fault = Sys().Fault()) return fault;
    if (name == nullptr || nameLength == nullptr) return ERROR_INVALID_PARAMETER;
    std::shared_ptr<SimKey> k;
    LSTATUS status = ReadableKey(key, KEY_ENUMERATE_SUB_KEYS, &k);
    if (status != ERROR_SUCCESS) return status;
    if (index >= k->children.size()) return ERROR_NO_MORE_ITEMS;
    auto it = k->children.begin();
    std::advance(it, index);
    const std::string& found = it->first;
    if (found.size() >= *nameLength) return ERROR_MORE_DATA;
    std::memcpy(name, found.c_str(), found.size() + 1);
    *nameLength = static_cast<DWORD>(found.size());
    return ERROR_SUCCESS;
}

LSTATUS RegQueryInfoKeyA(HKEY key, LPSTR, LPDWORD, LPDWORD, LPDWORD subKeys, LPDWORD maxSubKeyLength, LPDWORD,
                         LPDWORD values, LPDWORD, LPDWORD, LPDWORD, void*) {
    std::shared_ptr<SimKey> k;
    LSTATUS status = ReadableKey(key, KEY_QUERY_VALUE, &k);
    if (status != ERROR_SUCCESS) return status;
    if (subKeys) *subKeys = static_cast<DWORD>(k->children.size());
    if (values) *values = static_cast<DWORD>(k->values.size());
    if (maxSubKeyLength) {
        size_t longest = 0;
        for (const auto& child : k->children) longest = std::max(longest, child.first.size());
        *maxSubKeyLength = static_cast<DWORD>(longest);
    }
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
    auto& sys = Sys();
    if (sys.roots.count(key)) return ERROR_SUCCESS;
    return sys.keyHandles.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
