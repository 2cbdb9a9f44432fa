// FindResourceW, LoadResource, SizeofResource, LoadStringW.
//
// A resource handle (HRSRC) is the address of the module table's entry; a
// loaded resource (HGLOBAL) is the address of its data, which is what
// LockResource (windows.h) hands back.
#include <algorithm>
#include <cstring>

#include <windows.h>

#include "resources/compiled_resources.h"

namespace {

const sim::ResourceEntry* entry_of(HMODULE module, HRSRC info) {
    if (!info) return nullptr;
    const sim::ResourceTable* table = module ? sim::module_resources(module) : sim::table_owning_entry(info);
    if (!table || !table->owns(info)) return nullptr;
    return reinterpret_cast<const sim::ResourceEntry*>(info);
}

}  // namespace

extern "C" HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) {
    const sim::ResourceTable* table = sim::module_resources(hModule);
    if (!table) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    auto type = sim::ResourceId::from_win32(lpType);
    if (!type || !table->has_type(*type)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    auto name = sim::ResourceId::from_win32(lpName);
    const sim::ResourceEntry* entry = name ? table->find(*type, *name) : nullptr;
    if (!entry) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<sim::ResourceEntry*>(entry));
}

extern "C" HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
    const sim::ResourceEntry* entry = entry_of(hModule, hResInfo);
    if (!entry) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return const_cast<uint8_t*>(entry->data);
}


extern "C" DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
    const sim::ResourceEntry* entry = entry_of(hModule, hResInfo);
    if (!entry) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return entry->size;
}

extern "C" int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
    if (!lpBuffer || cchBufferMax < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const uint16_t id = uint16_t(uID);
    const WCHAR* block_name = MAKEINTRESOURCE((id >> 4) + 1);
    const char16_t* text = nullptr;
    size_t length = 0;
    bool found = false;
    // The block lookup sets the error when the table or block is missing.
    if (FindResourceW(hInstance, block_name, MAKEINTRESOURCE(sim::kRtString))) {
        found = sim::module_resources(hInstance)->find_string(id, &text, &length);
        if (!found) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    }
    if (cchBufferMax == 0) {
        if (!found) return 0;
        *reinterpret_cast<const WCHAR**>(lpBuffer) = text;
        return int(length);
    }
    const size_t copied = found ? std::min(length, size_t(cchBufferMax - 1)) : 0;
    if (copied) std::memcpy(lpBuffer, text, copied * sizeof(WCHAR));
    lpBuffer[copied] = 0;
    return int(copied);
}
