// Opaque stand-ins for the platform's handles, so that the host's and the saver's records and
// decision logic compile without windows.h and can be tested natively. The Win32 layer casts
// them to HWND, HINSTANCE, HBITMAP and so on where it calls the system.
#pragma once

#include <cstdint>

using WindowHandle = void*;
using ModuleHandle = void*;
using BitmapHandle = void*;
using ContextHandle = void*;
using InputContextHandle = void*;
using ProcAddress = void*;

// A point in screen coordinates, laid out like the platform's POINT.
struct HostPoint {
    int32_t x;
    int32_t y;
};

// The Win32 message numbers the decision logic works with, spelled as the platform spells
// them so a reader can match them to the documentation; only the password request, which the
// platform knows just as the first number free for programs, is named for what it is.
// host/message_numbers.cpp holds each against the platform's own name when the Windows builds
// compile.
namespace msg {
constexpr uint32_t kCreate = 0x0001;
constexpr uint32_t kDestroy = 0x0002;
constexpr uint32_t kSetText = 0x000C;
constexpr uint32_t kPaint = 0x000F;
constexpr uint32_t kClose = 0x0010;
constexpr uint32_t kEraseBkgnd = 0x0014;
constexpr uint32_t kShowWindow = 0x0018;
constexpr uint32_t kActivateApp = 0x001C;
constexpr uint32_t kSetCursor = 0x0020;
constexpr uint32_t kPower = 0x0048;
constexpr uint32_t kHelp = 0x0053;
constexpr uint32_t kContextMenu = 0x007B;
constexpr uint32_t kNcDestroy = 0x0082;
constexpr uint32_t kKeyDown = 0x0100;
constexpr uint32_t kKeyUp = 0x0101;
constexpr uint32_t kChar = 0x0102;
constexpr uint32_t kSysKeyDown = 0x0104;
constexpr uint32_t kInitDialog = 0x0110;
constexpr uint32_t kCommand = 0x0111;
constexpr uint32_t kSysCommand = 0x0112;
constexpr uint32_t kTimer = 0x0113;
constexpr uint32_t kMouseMove = 0x0200;
constexpr uint32_t kLButtonDown = 0x0201;
constexpr uint32_t kLButtonUp = 0x0202;
constexpr uint32_t kLButtonDblClk = 0x0203;
constexpr uint32_t kRButtonDown = 0x0204;
constexpr uint32_t kMButtonDown = 0x0207;
constexpr uint32_t kMouseWheel = 0x020A;
constexpr uint32_t kPowerBroadcast = 0x0218;
constexpr uint32_t kPasswordRequest = 0x8000;  // WM_APP, which the host sends its own window

constexpr uint32_t kScNextWindow = 0xF040;
constexpr uint32_t kScPrevWindow = 0xF050;
constexpr uint32_t kScScreenSave = 0xF140;
constexpr uintptr_t kPwrCriticalResume = 3;

// The identifiers WM_COMMAND carries for a dialog's standard buttons (and Enter and Escape).
constexpr uint32_t kIdOk = 1;
constexpr uint32_t kIdCancel = 2;
}  // namespace msg
