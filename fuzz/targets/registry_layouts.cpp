// The preload list and the keyboard-layout scan over arbitrary registry
// contents: the input is cut into records "key index, value name, value
// bytes" under the Keyboard Layouts key and the user's preload list.
#include "fuzz_machine.h"
#include "registration/keyboard_layout.h"
#include "registration/preload_list.h"

#include <string>

namespace {

const char* const kKeys[] = {
    "System\\CurrentControlSet\\Control\\Keyboard Layouts\\E0100804",
    "System\\CurrentControlSet\\Control\\Keyboard Layouts\\00000409",
    "System\\CurrentControlSet\\Control\\Keyboard Layouts\\E0200404",
    "System\\CurrentControlSet\\Control\\Keyboard Layouts\\FFFFFFFF",
    "Keyboard Layout\\Preload",
    ".DEFAULT\\Keyboard Layout\\Preload",
};

// Records separated by a NUL: first byte the key, then the name up to "=",
// then the value's bytes.
void Fill(SimMachine& machine, const std::string& input) {
    size_t start = 0;
    while (start < input.size()) {
        size_t end = input.find('\0', start);
        if (end == std::string::npos) end = input.size();
        std::string record = input.substr(start, end - start);
        start = end + 1;
        if (record.size() < 2) continue;
        size_t key = static_cast<unsigned char>(record[0]) % 6;
        size_t equals = record.find('=', 1);
        std::string name = record.substr(1, equals == std::string::npos ? std::string::npos : equals - 1);
        std::string value = equals == std::string::npos ? "" : record.substr(equals + 1);
        HKEY root = key < 4 ? HKEY_LOCAL_MACHINE : key == 4 ? HKEY_CURRENT_USER : HKEY_USERS;
        machine.SetString(root, kKeys[key], name, value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    for (const SimSetup& setup : {SimSetup::Windows7(), SimSetup::WindowsXP(), SimSetup::Windows98()}) {
        FuzzMachine machine(setup);
        Fill(machine, input);
        context.oemCodePage = input.size() % 2 ? 950 : 936;
        int count = ReadPreloadList();
        FuzzCheck(count >= 0 && count <= kPreloadEntries, "a preload list beyond its entries");
        if (FindImeInPreload()) MoveImeToSecondPlace();
        IsImeFileRegistered("morahu4.ime");
        RegisterKeyboardLayout();
        VerifyOldImeNotDefault();
    }
    return 0;
}
