#include "platform/win/Win32Registry.h"

// After RegistryApi.h: windows.h defines the ERROR_ names as macros, so this
// file speaks in the Win32 names only.
#include <windows.h>

namespace orvex::platform {
namespace {

// The callers name the predefined roots by their 32-bit numbers; the real
// handles are those numbers sign-extended to pointer width.
HKEY keyOf(RegHandle handle) {
    if (handle >= 0x80000000u && handle <= 0x80000006u)
        return reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(static_cast<uint32_t>(handle))));
    return reinterpret_cast<HKEY>(static_cast<uintptr_t>(handle));
}

RegHandle handleOf(HKEY key) { return static_cast<RegHandle>(reinterpret_cast<uintptr_t>(key)); }

// Key paths, value names and data travel as bytes; a NUL inside a name would
// silently name another key or value.
bool validName(const std::string& name) { return name.find('\0') == std::string::npos; }

reg_code code(LONG rc) { return static_cast<reg_code>(rc); }

const char* nameOrNull(const std::string& path) { return path.empty() ? nullptr : path.c_str(); }

}  // namespace

reg_code Win32Registry::openKey(RegHandle root, const std::string& path, RegHandle& key) {
    key = 0;
    if (root == 0) return code(ERROR_INVALID_HANDLE);
    if (!validName(path)) return code(ERROR_INVALID_PARAMETER);
    HKEY opened = nullptr;
    const LONG rc = RegOpenKeyExA(keyOf(root), nameOrNull(path), 0, KEY_READ, &opened);
    if (rc == ERROR_SUCCESS) key = handleOf(opened);
    return code(rc);
}

reg_code Win32Registry::createKey(RegHandle root, const std::string& path, RegHandle& key) {
    key = 0;
    if (root == 0) return code(ERROR_INVALID_HANDLE);
    if (!validName(path)) return code(ERROR_INVALID_PARAMETER);
    HKEY created = nullptr;
    const LONG rc = RegCreateKeyExA(keyOf(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_READ | KEY_WRITE, nullptr, &created, nullptr);
    if (rc == ERROR_SUCCESS) key = handleOf(created);
    return code(rc);
}

reg_code Win32Registry::closeKey(RegHandle key) {
    if (key == 0) return code(ERROR_INVALID_HANDLE);
    return code(RegCloseKey(keyOf(key)));
}

reg_code Win32Registry::queryValue(RegHandle key, const std::string& name, uint32_t& type, std::string& data,
                                   uint32_t capacity, uint32_t& dataSize) {
    if (!validName(name)) return code(ERROR_INVALID_PARAMETER);
    std::string buffer(capacity, '\0');
    DWORD valueType = 0;
    DWORD size = capacity;
    const LONG rc = RegQueryValueExA(keyOf(key), name.c_str(), nullptr, &valueType,
                                     reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return code(rc);
    type = valueType;
    dataSize = size;
    if (rc == ERROR_MORE_DATA || size > capacity) return code(ERROR_MORE_DATA);
    buffer.resize(size);
    data = std::move(buffer);
    return code(ERROR_SUCCESS);
}

reg_code Win32Registry::setValue(RegHandle key, const std::string& name, uint32_t type, const std::string& data) {
    if (!validName(name) || data.size() > 0x7FFFFFFFu) return code(ERROR_INVALID_PARAMETER);
    return code(RegSetValueExA(keyOf(key), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                               static_cast<DWORD>(data.size())));
}

reg_code Win32Registry::flushKey(RegHandle key) { return code(RegFlushKey(keyOf(key))); }

reg_code Win32Registry::enumKey(RegHandle key, uint32_t index, std::string& name, uint32_t nameCapacity) {
    std::string buffer(nameCapacity, '\0');
    DWORD length = nameCapacity;  // in characters, the NUL included
    const LONG rc = RegEnumKeyExA(keyOf(key), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) return code(rc);
    if (length >= nameCapacity) return code(ERROR_MORE_DATA);
    buffer.resize(length);
    name = std::move(buffer);
    return code(ERROR_SUCCESS);
}

reg_code Win32Registry::enumValue(RegHandle key, uint32_t index, std::string& name, uint32_t nameCapacity,
                                  uint32_t& type, std::string& data, uint32_t dataCapacity) {
    std::string nameBuffer(nameCapacity, '\0');
    std::string dataBuffer(dataCapacity, '\0');
    DWORD nameLength = nameCapacity;
    DWORD dataLength = dataCapacity;
    DWORD valueType = 0;
    const LONG rc = RegEnumValueA(keyOf(key), index, nameBuffer.data(), &nameLength, nullptr, &valueType,
                                  reinterpret_cast<BYTE*>(dataBuffer.data()), &dataLength);
    if (rc != ERROR_SUCCESS) return code(rc);
    if (nameLength >= nameCapacity || dataLength > dataCapacity) return code(ERROR_MORE_DATA);
    nameBuffer.resize(nameLength);
    dataBuffer.resize(dataLength);
    name = std::move(nameBuffer);
    data = std::move(dataBuffer);
    type = valueType;
    return code(ERROR_SUCCESS);
}

reg_code Win32Registry::deleteKey(RegHandle key, const std::string& subkey) {
    // An empty name would delete the key the handle stands for.
    if (subkey.empty() || !validName(subkey)) return code(ERROR_INVALID_PARAMETER);
    return code(RegDeleteKeyA(keyOf(key), subkey.c_str()));
}

// A key opened for reading may not change its values; the value is then
// deleted through a second handle with the right to do so.
reg_code Win32Registry::deleteValue(RegHandle key, const std::string& name) {
    if (!validName(name)) return code(ERROR_INVALID_PARAMETER);
    LONG rc = RegDeleteValueA(keyOf(key), name.c_str());
    if (rc != ERROR_ACCESS_DENIED) return code(rc);
    HKEY writable = nullptr;
    rc = RegOpenKeyExA(keyOf(key), nullptr, 0, KEY_SET_VALUE, &writable);
    if (rc != ERROR_SUCCESS) return code(rc);
    rc = RegDeleteValueA(writable, name.c_str());
    RegCloseKey(writable);
    return code(rc);
}

}  // namespace orvex::platform
