#pragma once

#include <windows.h>

namespace velmora {

// The platform calls through which the starter changes files, folders and registry values. A start
// uses the platform's own functions; a test swaps entries to make a change fail, once or for good,
// as a scanner holding a file, a full disk or a denied write would on Windows. One indirect call a
// change costs nothing next to the change itself.
struct PlatformCalls {
  BOOL(WINAPI* createDirectory)(LPCWSTR path, LPSECURITY_ATTRIBUTES security);
  BOOL(WINAPI* removeDirectory)(LPCWSTR path);
  BOOL(WINAPI* copyFile)(LPCWSTR source, LPCWSTR destination, BOOL failIfExists);
  BOOL(WINAPI* moveFile)(LPCWSTR from, LPCWSTR to, DWORD flags);
  BOOL(WINAPI* deleteFile)(LPCWSTR path);
  BOOL(WINAPI* setFileAttributes)(LPCWSTR path, DWORD attributes);
  // Only for files the starter creates to write them.
  HANDLE(WINAPI* createFile)(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                             DWORD disposition, DWORD flags, HANDLE templateFile);
  BOOL(WINAPI* writeProfileString)(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file);
  LSTATUS(WINAPI* regCreateKey)(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options,
                                REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
  LSTATUS(WINAPI* regSetValue)(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
  LSTATUS(WINAPI* regDeleteValue)(HKEY key, LPCWSTR name);
  // The pause between attempts after a refusal.
  void(WINAPI* sleep)(DWORD milliseconds);
};

// The platform's own functions.
PlatformCalls SystemCalls();

// The calls in use: the platform's, unless a test has put others in place.
PlatformCalls& Platform();

}  // namespace velmora
