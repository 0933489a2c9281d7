#include "link/win32/com_ports.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <optional>

#include "base/win32_text.h"
#include "link/port_names.h"

namespace orv {
namespace {

// "COM12" -> 12, for any number (the system may have ports beyond COM16).
std::optional<int> ComNumber(const std::string& name) {
    if (name.size() < 4 || _strnicmp(name.c_str(), "COM", 3) != 0) return std::nullopt;
    int n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || n > 100000) return std::nullopt;
        n = n * 10 + (name[i] - '0');
    }
    return n > 0 ? std::optional<int>(n) : std::nullopt;
}

// The ports the serial drivers announce: name "\Device\Serial0", data "COM1".
void AddAnnouncedPorts(std::map<int, ComPortInfo>& ports) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &key) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t valueName[256];
        DWORD nameLength = 256;
        wchar_t data[256] = {};
        DWORD dataBytes = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG r = ::RegEnumValueW(key, i, valueName, &nameLength, nullptr, &type,
                                       reinterpret_cast<BYTE*>(data), &dataBytes);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;
        const std::string name = Utf8FromWide(data);
        if (const auto n = ComNumber(name))
            ports[*n] = {ComName(*n), Utf8FromWide(std::wstring_view(valueName, nameLength))};
    }
    ::RegCloseKey(key);
}

// Every COM name the system resolves (adapters whose driver announces nothing, links made by
// hand).
void AddDosDevices(std::map<int, ComPortInfo>& ports) {
    std::wstring all(65536, L'\0');
    DWORD n = ::QueryDosDeviceW(nullptr, all.data(), static_cast<DWORD>(all.size()));
    if (n == 0) return;
    for (std::size_t at = 0; at < n && all[at] != L'\0';) {
        const std::wstring entry(all.c_str() + at);
        at += entry.size() + 1;
        const auto number = ComNumber(Utf8FromWide(entry));
        if (!number || ports.count(*number)) continue;
        wchar_t target[1024] = {};
        std::string device;
        if (::QueryDosDeviceW(entry.c_str(), target, 1024) != 0) device = Utf8FromWide(target);
        ports[*number] = {ComName(*number), device};
    }
}

}  // namespace

std::vector<ComPortInfo> ListComPorts() {
    std::map<int, ComPortInfo> ports;
    AddAnnouncedPorts(ports);
    AddDosDevices(ports);
    std::vector<ComPortInfo> out;
    for (auto& [n, info] : ports) out.push_back(std::move(info));
    return out;
}

}  // namespace orv
