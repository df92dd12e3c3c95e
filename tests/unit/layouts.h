// Keyboard layouts and preload lists set up in a few lines.
#pragma once

#include "base/ime_texts.h"
#include "platform/sim/machine.h"

#include <string>
#include <vector>

const char kKeyboardLayouts[] = "System\\CurrentControlSet\\Control\\Keyboard Layouts";

// A layout key with its "layout text" (8-bit, in the machine's code page).
inline void AddLayoutKey(SimMachine& machine, const std::string& id, const std::string& layoutText) {
    machine.SetString(HKEY_LOCAL_MACHINE, std::string(kKeyboardLayouts) + "\\" + id, "layout text", layoutText);
}

inline std::string LayoutValue(const SimMachine& machine, const std::string& id, const char* name) {
    return machine.String(HKEY_LOCAL_MACHINE, std::string(kKeyboardLayouts) + "\\" + id, name).value_or("<none>");
}

inline bool LayoutExists(const SimMachine& machine, const std::string& id) {
    return machine.KeyExists(HKEY_LOCAL_MACHINE, std::string(kKeyboardLayouts) + "\\" + id);
}

// The preload list of the current user (NT: values; 9x: numbered sub keys),
// or of the default profile.
inline void SetPreload(SimMachine& machine, const std::vector<std::string>& ids, HKEY root = HKEY_CURRENT_USER) {
    const std::string key = root == HKEY_USERS ? ".DEFAULT\\Keyboard Layout\\Preload" : "Keyboard Layout\\Preload";
    for (size_t k = 1; k <= ids.size(); ++k) {
        if (machine.Setup().win9x)
            machine.SetString(root, key + "\\" + std::to_string(k), "", ids[k - 1]);
        else
            machine.SetString(root, key, std::to_string(k), ids[k - 1]);
    }
}

inline std::vector<std::string> Preload(const SimMachine& machine, HKEY root = HKEY_CURRENT_USER) {
    const std::string key = root == HKEY_USERS ? ".DEFAULT\\Keyboard Layout\\Preload" : "Keyboard Layout\\Preload";
    std::vector<std::string> ids;
    for (int k = 1; k <= 60; ++k) {
        std::optional<std::string> id =
            machine.Setup().win9x ? machine.String(root, key + "\\" + std::to_string(k), "")
                                  : machine.String(root, key, std::to_string(k));
        if (!id) break;
        ids.push_back(*id);
    }
    return ids;
}

inline std::string Gbk(const char* text) { return AnsiFromUtf8(text, 936); }

// The layout text of an older version of this input method.
inline std::string OldLayoutText() { return std::string(kImeDescriptionGbk) + "  6.3"; }
