// The one header through which the program reaches the system.
//
// On the device and in the desktop cross-compile it is the platform SDK's
// <windows.h>; on the simulated device it is the simulator's.  CE-only
// interfaces come from ce_api.h in both non-device builds.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif

#include <windows.h>

#if defined(_WIN32) && !defined(_WIN32_WCE)
// Desktop headers, used only to prove the program compiles as Windows code.
#include <shlobj.h>
#include <mmsystem.h>
#include "ce_api.h"
// CE's entry point takes the command line as wide text; the desktop name for
// that signature is wWinMain.
#define WinMain wWinMain
#elif !defined(_WIN32)
#include "ce_api.h"
extern "C" int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nShowCmd);
#else
#include "ce_api.h"  // on the device: only the names the SDK leaves out
#endif
