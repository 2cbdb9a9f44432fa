#include "app/device_path.h"

LPWSTR BuildDevicePath(LPWSTR path, LPCWSTR folder, LPCWSTR file) {
    lstrcpyW(path, TEXT("\\"));
    if (folder != NULL) {
        lstrcatW(path, folder);
        lstrcatW(path, TEXT("\\"));
    }
    lstrcatW(path, file);
    return path;
}
